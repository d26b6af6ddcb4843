#pragma once

#include "classlib/Variant.h"
#include "shell/SettingFont.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace qd {

class TIniFile;
class TSettingCollection;
class TSettings;

// How a setting's value is read, written and edited (stored as one byte, in this order).
enum TSettingType : quint8 { stBoolean, stInteger, stString, stEncrypted, stFont, stDropList };
// Where a setting lives; an item with any other storage is neither read nor written.
enum TSettingStorage : quint8 { ssIniFile };

// One named, typed setting: its ini section and key, default, range and editor texts, and its
// current value. Every setter that changes something tells the collection, which tells the
// store.
class TSettingItem {
public:
    explicit TSettingItem(TSettingCollection *collection);

    TSettingCollection *Collection() const { return m_collection; }
    int Index() const;
    // Name, or a generic text when it is empty.
    QString DisplayName() const;

    const QString &Name() const { return m_name; }
    void SetName(const QString &value);
    const QString &ShortDesc() const { return m_shortDesc; }
    void SetShortDesc(const QString &value);
    const QString &LongDesc() const { return m_longDesc; }
    void SetLongDesc(const QString &value);
    TSettingType DataType() const { return m_dataType; }
    void SetDataType(TSettingType value);
    // Range of an integer setting (both 0: none); for text settings Max is the editor's limit.
    qint32 Max() const { return m_max; }
    void SetMax(qint32 value);
    qint32 Min() const { return m_min; }
    void SetMin(qint32 value);
    TSettingStorage Storage() const { return m_storage; }
    void SetStorage(TSettingStorage value);
    // Boolean, integer or string by type; for stEncrypted the cipher text (bytes).
    const Variant &Value() const { return m_value; }
    // Takes the value when the old or the new one is unassigned or they differ; an
    // stEncrypted item enciphers the new value as text with Password first.
    void SetValue(const Variant &value);
    // The ini section.
    const QString &Key() const { return m_key; }
    void SetKey(const QString &value);
    const QString &FieldName() const { return m_fieldName; }
    void SetFieldName(const QString &value);
    bool Display() const { return m_display; }
    void SetDisplay(bool value);
    const QString &DefaultValue() const { return m_defaultValue; }
    void SetDefaultValue(const QString &value);
    // The choices of an stDropList setting, comma-separated.
    const QString &ValueOptions() const { return m_valueOptions; }
    void SetValueOptions(const QString &value);
    // The key of an stEncrypted value; never written anywhere.
    const QString &Password() const { return m_password; }
    void SetPassword(const QString &value) { m_password = value; }

    // The cipher text deciphered with Password. A wrong password gives other text, not an
    // error: callers compare the result with what they expect.
    QString GetDecryptedValue() const;
    // The value's font for a non-empty stFont item, else MS Sans Serif 8 in colour 0. Raises
    // EConvertError when the stored size or colour is not a number.
    SettingFont GetFont() const;
    void SetFont(const SettingFont &font);

    bool GetBoolDefault() const;
    int GetIntDefault() const;
    QString GetStringDefault() const;

    // Copies every property, the value and the password.
    void Assign(const TSettingItem &source);

private:
    friend class TSettings;
    void changed();
    // Stores a value read from the file as it is: no enciphering, no notification.
    void setStoredValue(const Variant &value) { m_value = value; }

    TSettingCollection *m_collection;
    QString m_name;
    QString m_shortDesc;
    QString m_longDesc;
    TSettingType m_dataType = stBoolean;
    qint32 m_max = 0;
    qint32 m_min = 0;
    TSettingStorage m_storage = ssIniFile;
    Variant m_value;
    QString m_key;
    QString m_fieldName;
    bool m_display = false;
    QString m_defaultValue;
    QString m_valueOptions;
    QString m_password;
};

// The items of one store, in declaration order. Owns them.
class TSettingCollection {
public:
    explicit TSettingCollection(TSettings *owner);
    ~TSettingCollection();
    TSettingCollection(const TSettingCollection &) = delete;
    TSettingCollection &operator=(const TSettingCollection &) = delete;

    TSettings *Owner() const { return m_owner; }
    int Count() const { return int(m_items.size()); }
    // Raises Exception for an index outside 0..Count-1.
    TSettingItem *Items(int index) const;
    TSettingItem *Add();
    void Delete(int index);
    void Clear();
    int IndexOf(const TSettingItem *item) const;

    // Inside the bracket, changes are gathered into one notification at its end.
    void BeginUpdate();
    void EndUpdate();

private:
    friend class TSettingItem;
    void update();

    TSettings *m_owner;
    std::vector<std::unique_ptr<TSettingItem>> m_items;
    int m_updateCount = 0;
    bool m_changedInUpdate = false;
};

// The settings store: declared items read from and written to an ini file with Windows ini
// semantics ("QuarloDesk.Ini" for the main window). Reading and writing happen only when asked
// unless Active or AutoSave say otherwise.
class TSettings {
public:
    TSettings();
    ~TSettings();
    TSettings(const TSettings &) = delete;
    TSettings &operator=(const TSettings &) = delete;

    // When true, every change of any item writes all settings.
    bool AutoSave() const { return m_autoSave; }
    void SetAutoSave(bool value) { m_autoSave = value; }
    // Becoming active reads all settings; becoming inactive writes them (once a file is named).
    bool Active() const { return m_active; }
    void SetActive(bool value);
    const QString &IniFileName() const { return m_iniFileName; }
    // A different name drops the old ini reader and, when not empty, opens one on the new file
    // and reads all settings when Active.
    void SetIniFileName(const QString &value);
    TSettingCollection &Settings() { return m_settings; }
    const TSettingCollection &Settings() const { return m_settings; }
    const QString &BaseKey() const { return m_baseKey; }
    void SetBaseKey(const QString &value) { m_baseKey = value; }
    // Called after any item changed.
    std::function<void(TSettings *sender)> OnChange;

    // The first item whose name equals name without regard to case; raises
    // "Setting value %s not found." when there is none.
    TSettingItem *FindSetting(const QString &name) const;

    // Reads every ini-file item; a missing file or key reads as the item's default. Raises
    // Exception when no file is named.
    void LoadSettings();
    // Writes every ini-file item in one atomic rewrite that keeps every other key, section and
    // comment of the file. On failure the file is left whole and Exception says why.
    void SaveSettings();
    // One item; items without a name or section, or of another storage, are skipped.
    void ReadItem(TSettingItem &item);
    void WriteItem(TSettingItem &item);

    // Replaces the items with copies of source's.
    void Assign(const TSettings &source);

private:
    friend class TSettingCollection;
    void settingsChanged();
    TIniFile &iniFile() const;

    bool m_autoSave = false;
    bool m_active = false;
    QString m_iniFileName;
    QString m_baseKey = QStringLiteral("Software");
    std::unique_ptr<TIniFile> m_iniFile;
    TSettingCollection m_settings;
};

} // namespace qd
