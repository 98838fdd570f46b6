#include "spell/CheckerFiles.h"

#include "engine/SafeFile.h"
#include "engine/TOBRINEngine.h"
#include "spell/SettingsText.h"
#include "support/CheckerHandOff.h"

#include <QFile>
#include <cstring>

namespace kelpa::spell {

namespace {

std::string exchangePath(const QString &folder)
{
    return (folder + QLatin1String(ExchangeFileName)).toStdString();
}

} // namespace

ExchangeText ReadExchangeFile(const QString &folder)
{
    ExchangeText out;
    TOBRINEngine engine;
    const std::string path = exchangePath(folder);
    if (!engine.LoadFromFile(ExchangeKey, path)) {
        out.error = QString::fromStdString(engine.ErrorText());
        return out;
    }
    const auto *data = reinterpret_cast<const char *>(engine.Result.data());
    const std::size_t length = static_cast<std::size_t>(engine.ResultLength);
    out.text.assign(data, ::strnlen(data, length));
    out.ok = true;
    QFile::remove(QString::fromStdString(path));
    return out;
}

bool WriteExchangeFile(const QString &folder, std::string_view text, QString *error)
{
    TOBRINEngine engine;
    engine.CipherId = TOBRINEngine::CipherEC4;
    if (engine.SaveToFile(ExchangeKey, exchangePath(folder),
                          reinterpret_cast<const std::uint8_t *>(text.data()), text.size()))
        return true;
    if (error)
        *error = QString::fromStdString(engine.ErrorText());
    return false;
}

QString ReadDictionarySetting(const QString &folder)
{
    QFile file(folder + QLatin1String(SettingsFileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Settings files are short; anything past 64 KB is not ours.
    const QByteArray bytes = file.read(65536);
    return QString::fromStdString(
        SettingValue(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), "Dictionary"));
}

bool WriteDictionarySetting(const QString &folder, const QString &dictionary)
{
    const QByteArray bytes = dictionary.isEmpty() ? QByteArray()
                                                  : "Dictionary=" + dictionary.toUtf8() + "\r\n";
    SafeFileWriter writer((folder + QLatin1String(SettingsFileName)).toStdString());
    return writer.isOpen() && writer.write(bytes.constData(), static_cast<std::size_t>(bytes.size()))
           && writer.commit();
}

} // namespace kelpa::spell
