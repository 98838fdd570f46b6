#include "spell/CheckerFiles.h"

#include "platform/safefile/SafeFile.h"
#include "engine/TOBRINEngine.h"
#include "support/documents/Documents.h"
#include "support/settings/SettingsText.h"

#include <QFile>

namespace kelpa::spell {

using engine::TOBRINEngine;

namespace {

QString errorText(const documents::DocumentError &e)
{
    QString text = e.engineText();
    const QString system = e.systemText();
    if (!system.isEmpty())
        text = text.isEmpty() ? system : text + QStringLiteral(", ") + system;
    return text;
}

} // namespace

ExchangeText ReadExchangeFile(const QString &folder)
{
    ExchangeText out;
    TOBRINEngine engine;
    // Deleted only once read: a file that cannot be read is left for the user.
    const documents::ReadResult read = documents::readExchangeFile(
        engine, folder, documents::ExchangePassword::Key, documents::AfterReading::Keep);
    if (!read.ok()) {
        out.error = errorText(read.error);
        return out;
    }
    out.text = read.bytes.toStdString();
    out.ok = true;
    QFile::remove(documents::exchangeFilePath(folder));
    return out;
}

bool WriteExchangeFile(const QString &folder, std::string_view text, QString *error)
{
    TOBRINEngine engine;
    const documents::DocumentError e = documents::writeExchangeFile(
        engine, folder, documents::ExchangePassword::Key,
        QByteArray(text.data(), static_cast<qsizetype>(text.size())));
    if (e.ok())
        return true;
    if (error)
        *error = errorText(e);
    return false;
}
QString ReadDictionarySetting(const QString &folder)
{
    QFile file(folder + QLatin1String(SettingsFileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Settings files are short; anything past 64 KB is not ours.
    const QByteArray bytes = file.read(65536);
    const SettingsText text =
        SettingsText::parse(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), kCheckerSettings);
    return QString::fromStdString(text.value("Dictionary").value_or(std::string()));
}

bool WriteDictionarySetting(const QString &folder, const QString &dictionary)
{
    // An empty name leaves the file empty.
    SettingsText text(kCheckerSettings);
    text.add("Dictionary", dictionary.toStdString());
    const std::string bytes = text.toBytes();
    SafeFileWriter writer((folder + QLatin1String(SettingsFileName)).toStdString());
    return writer.isOpen() && writer.write(bytes.data(), bytes.size())
           && writer.commit();
}

} // namespace kelpa::spell
