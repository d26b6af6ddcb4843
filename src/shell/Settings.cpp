#include "shell/Settings.h"

#include "classlib/Exception.h"
#include "classlib/IniFile.h"
#include "shell/Encrypt.h"

namespace qd {

namespace {

template <typename T> bool assignIfDifferent(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

// ---- TSettingItem

TSettingItem::TSettingItem(TSettingCollection *collection)
    : m_collection(collection)
{
}

int TSettingItem::Index() const
{
    return m_collection ? m_collection->IndexOf(this) : -1;
}

QString TSettingItem::DisplayName() const
{
    return m_name.isEmpty() ? QStringLiteral("TSettingItem") : m_name;
}

void TSettingItem::changed()
{
    if (m_collection)
        m_collection->update();
}

#define QD_SETTING_SETTER(Setter, field, Type)                                                     \
    void TSettingItem::Setter(Type value)                                                          \
    {                                                                                              \
        if (assignIfDifferent(field, value))                                                       \
            changed();                                                                             \
    }

QD_SETTING_SETTER(SetName, m_name, const QString &)
QD_SETTING_SETTER(SetShortDesc, m_shortDesc, const QString &)
QD_SETTING_SETTER(SetLongDesc, m_longDesc, const QString &)
QD_SETTING_SETTER(SetDataType, m_dataType, TSettingType)
QD_SETTING_SETTER(SetMax, m_max, qint32)
QD_SETTING_SETTER(SetMin, m_min, qint32)
QD_SETTING_SETTER(SetStorage, m_storage, TSettingStorage)
QD_SETTING_SETTER(SetKey, m_key, const QString &)
QD_SETTING_SETTER(SetFieldName, m_fieldName, const QString &)
QD_SETTING_SETTER(SetDisplay, m_display, bool)
QD_SETTING_SETTER(SetDefaultValue, m_defaultValue, const QString &)
QD_SETTING_SETTER(SetValueOptions, m_valueOptions, const QString &)

#undef QD_SETTING_SETTER

void TSettingItem::SetValue(const Variant &value)
{
    // An enciphered item compares cipher texts, so giving it the text it already holds is no
    // change either.
    const Variant stored = m_dataType == stEncrypted && !value.IsUnassigned()
        ? Variant(EncryptString(value.AsString().toUtf8(), m_password, true, false))
        : value;
    if (!m_value.IsUnassigned() && !stored.IsUnassigned() && m_value == stored)
        return;
    m_value = stored;
    changed();
}

QString TSettingItem::GetDecryptedValue() const
{
    QByteArray plain;
    DecryptString(m_value.AsBytes(), plain, m_password, true, false);
    return QString::fromUtf8(plain);
}

SettingFont TSettingItem::GetFont() const
{
    SettingFont font;
    if (m_dataType == stFont) {
        const QString text = m_value.AsString();
        if (!text.isEmpty())
            SettingStringToFont(text, font);
    }
    return font;
}

void TSettingItem::SetFont(const SettingFont &font)
{
    SetValue(FontToSettingString(font));
}

bool TSettingItem::GetBoolDefault() const
{
    return m_defaultValue.toUpper() == u"TRUE";
}

int TSettingItem::GetIntDefault() const
{
    bool ok = false;
    const int value = m_defaultValue.toInt(&ok, 10);
    return ok ? value : 0;
}

QString TSettingItem::GetStringDefault() const
{
    return m_defaultValue;
}

void TSettingItem::Assign(const TSettingItem &source)
{
    if (&source == this)
        return;
    if (m_collection)
        m_collection->BeginUpdate();
    SetName(source.m_name);
    SetShortDesc(source.m_shortDesc);
    SetLongDesc(source.m_longDesc);
    SetDataType(source.m_dataType);
    SetMax(source.m_max);
    SetMin(source.m_min);
    SetStorage(source.m_storage);
    SetKey(source.m_key);
    SetFieldName(source.m_fieldName);
    SetDisplay(source.m_display);
    SetDefaultValue(source.m_defaultValue);
    SetValueOptions(source.m_valueOptions);
    m_password = source.m_password;
    // The value as it stands: an enciphered one is not enciphered again.
    if (!(m_value == source.m_value) || m_value.Kind() != source.m_value.Kind()) {
        m_value = source.m_value;
        changed();
    }
    if (m_collection)
        m_collection->EndUpdate();
}

// ---- TSettingCollection

TSettingCollection::TSettingCollection(TSettings *owner)
    : m_owner(owner)
{
}

TSettingCollection::~TSettingCollection() = default;

TSettingItem *TSettingCollection::Items(int index) const
{
    if (index < 0 || index >= Count())
        throw Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
    return m_items[size_t(index)].get();
}

TSettingItem *TSettingCollection::Add()
{
    m_items.push_back(std::make_unique<TSettingItem>(this));
    update();
    return m_items.back().get();
}

void TSettingCollection::Delete(int index)
{
    Items(index);
    m_items.erase(m_items.begin() + index);
    update();
}

void TSettingCollection::Clear()
{
    if (m_items.empty())
        return;
    m_items.clear();
    update();
}

int TSettingCollection::IndexOf(const TSettingItem *item) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].get() == item)
            return int(i);
    return -1;
}

void TSettingCollection::BeginUpdate()
{
    ++m_updateCount;
}

void TSettingCollection::EndUpdate()
{
    if (m_updateCount == 0 || --m_updateCount > 0 || !m_changedInUpdate)
        return;
    m_changedInUpdate = false;
    if (m_owner)
        m_owner->settingsChanged();
}

void TSettingCollection::update()
{
    if (m_updateCount > 0) {
        m_changedInUpdate = true;
        return;
    }
    if (m_owner)
        m_owner->settingsChanged();
}

// ---- TSettings

TSettings::TSettings()
    : m_settings(this)
{
}

TSettings::~TSettings() = default;

void TSettings::settingsChanged()
{
    if (OnChange)
        OnChange(this);
    if (m_autoSave)
        SaveSettings();
}

void TSettings::SetActive(bool value)
{
    if (m_active == value)
        return;
    m_active = value;
    // Without a file there is nothing to read or write yet; naming one reads it when active.
    if (!m_iniFile)
        return;
    if (value)
        LoadSettings();
    else
        SaveSettings();
}

void TSettings::SetIniFileName(const QString &value)
{
    if (value == m_iniFileName)
        return;
    m_iniFile.reset();
    m_iniFileName = value;
    if (value.isEmpty())
        return;
    m_iniFile = std::make_unique<TIniFile>(value);
    if (m_active)
        LoadSettings();
}

TIniFile &TSettings::iniFile() const
{
    if (!m_iniFile)
        throw Exception(QStringLiteral("No settings file has been named."));
    return *m_iniFile;
}

TSettingItem *TSettings::FindSetting(const QString &name) const
{
    for (int i = 0; i < m_settings.Count(); ++i) {
        TSettingItem *item = m_settings.Items(i);
        if (item->Name().compare(name, Qt::CaseInsensitive) == 0)
            return item;
    }
    throw Exception(QStringLiteral("Setting value %1 not found.").arg(name));
}

void TSettings::LoadSettings()
{
    iniFile();
    // One notification for the whole read, not one per item.
    m_settings.BeginUpdate();
    try {
        for (int i = 0; i < m_settings.Count(); ++i) {
            TSettingItem *item = m_settings.Items(i);
            if (item->Storage() == ssIniFile)
                ReadItem(*item);
        }
    } catch (...) {
        m_settings.EndUpdate();
        throw;
    }
    m_settings.EndUpdate();
}

void TSettings::SaveSettings()
{
    TIniFile &ini = iniFile();
    ini.beginUpdate();
    try {
        for (int i = 0; i < m_settings.Count(); ++i) {
            TSettingItem *item = m_settings.Items(i);
            if (item->Storage() == ssIniFile)
                WriteItem(*item);
        }
    } catch (...) {
        ini.cancelUpdate();
        throw;
    }
    ini.endUpdate();
}

// An item without a name or section has no place in the file: it is neither read nor written.
static bool storedInIniFile(const TSettingItem &item)
{
    return !item.Name().isEmpty() && !item.Key().trimmed().isEmpty() && item.Storage() == ssIniFile;
}

void TSettings::ReadItem(TSettingItem &item)
{
    if (!storedInIniFile(item))
        return;
    const TIniFile &ini = iniFile();
    const QString &section = item.Key();
    const QString &key = item.Name();
    switch (item.DataType()) {
    case stBoolean:
        item.SetValue(ini.ReadBool(section, key, item.GetBoolDefault()));
        break;
    case stInteger:
        item.SetValue(ini.ReadInteger(section, key, item.GetIntDefault()));
        break;
    case stString:
    case stFont:
    case stDropList:
        item.SetValue(ini.ReadString(section, key, item.GetStringDefault()));
        break;
    case stEncrypted:
        item.setStoredValue(
            DecodeDecimalCodes(ini.ReadString(section, key, item.GetStringDefault())));
        break;
    }
}

void TSettings::WriteItem(TSettingItem &item)
{
    if (!storedInIniFile(item))
        return;
    TIniFile &ini = iniFile();
    const QString &section = item.Key();
    const QString &key = item.Name();
    const Variant &value = item.Value();
    switch (item.DataType()) {
    case stBoolean:
        ini.WriteBool(section, key, value.AsBoolean());
        break;
    case stInteger:
        ini.WriteInteger(section, key, value.toInt());
        break;
    case stString:
    case stFont:
    case stDropList:
        ini.WriteString(section, key, value.AsString());
        break;
    case stEncrypted:
        ini.WriteString(section, key, EncodeDecimalCodes(value.AsBytes()));
        break;
    }
}

void TSettings::Assign(const TSettings &source)
{
    if (&source == this)
        return;
    m_settings.BeginUpdate();
    try {
        m_settings.Clear();
        for (int i = 0; i < source.m_settings.Count(); ++i)
            m_settings.Add()->Assign(*source.m_settings.Items(i));
    } catch (...) {
        m_settings.EndUpdate();
        throw;
    }
    m_settings.EndUpdate();
}

} // namespace qd
