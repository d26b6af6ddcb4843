// Settings file reader: any file reads (fonts may refuse their text with EConvertError), and
// what was read saves and reads back to the same values.
#include "classlib/Exception.h"
#include "shell/MainSettings.h"
#include "shell/Settings.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

namespace {

QList<qd::Variant> values(const qd::TSettings &settings)
{
    QList<qd::Variant> out;
    for (int i = 0; i < settings.Settings().Count(); ++i)
        out << settings.Settings().Items(i)->Value();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath("QuarloDesk.Ini");
    QFile::remove(path);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
    qd::TSettings settings;
    qd::declareMainSettings(settings);
    settings.SetIniFileName(path);
    settings.LoadSettings();
    for (int i = 0; i < settings.Settings().Count(); ++i) {
        qd::TSettingItem *item = settings.Settings().Items(i);
        try {
            item->GetFont();
        } catch (const qd::EConvertError &) {
        }
        if (item->DataType() == qd::stEncrypted) {
            item->SetPassword(QStringLiteral("fuzz"));
            item->GetDecryptedValue();
        }
    }
    const QList<qd::Variant> first = values(settings);
    settings.SaveSettings();

    qd::TSettings again;
    qd::declareMainSettings(again);
    again.SetIniFileName(path);
    again.LoadSettings();
    if (values(again) != first)
        std::abort();
    return 0;
}
