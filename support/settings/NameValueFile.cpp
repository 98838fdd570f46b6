#include "support/settings/NameValueFile.h"

#include "platform/FileBytes.h"
#include "platform/numbers/IntegerText.h"
#include "platform/safefile/SafeFile.h"

#include <QFile>

#include <cerrno>

namespace kelpa {

namespace {

bool sameNameAnyCase(std::string_view a, std::string_view b)
{
    const auto q = [](std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
    return sameAsciiName(a, b) || q(a).compare(q(b), Qt::CaseInsensitive) == 0;
}

constexpr SettingsSyntax kEditorSettings{SettingsSyntax::LineEnds::Lf, false, true, sameNameAnyCase};

std::string_view bytesOf(const QByteArray &bytes)
{
    return std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace

NameValueLines::NameValueLines() : text_(kEditorSettings) {}

NameValueLines NameValueLines::parse(const QByteArray &bytes)
{
    NameValueLines result;
    result.text_ = SettingsText::parse(bytesOf(bytes), kEditorSettings);
    return result;
}

std::optional<QString> NameValueLines::value(const QString &name) const
{
    const auto v = text_.value(bytesOf(name.toUtf8()));
    if (!v)
        return std::nullopt;
    return QString::fromStdString(*v);
}

void NameValueLines::set(const QString &name, const QString &value)
{
    text_.set(bytesOf(name.toUtf8()), bytesOf(value.toUtf8()));
}

QByteArray NameValueLines::toBytes() const { return QByteArray::fromStdString(text_.toBytes()); }

std::optional<int> parseDecimal(const QString &text)
{
    return parseInteger(text.trimmed().toStdString(), IntegerSyntax::Decimal);
}

std::optional<bool> parseYN(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    const QString t = text->toUpper();
    if (t == QLatin1String("Y"))
        return true;
    if (t == QLatin1String("N"))
        return false;
    return std::nullopt;
}

QString yn(bool value) { return value ? QStringLiteral("Y") : QStringLiteral("N"); }

NameValueLines readNameValueFile(const QString &fileName, int *systemError)
{
    if (systemError)
        *systemError = 0;
    const platform::FileBytes read = platform::readFileBytes(fileName);
    if (!read.bytes) {
        if (systemError && read.error != ENOENT)
            *systemError = read.error != 0 ? read.error : EIO;
        return {};
    }
    return NameValueLines::parse(*read.bytes);
}

int writeNameValueFile(const QString &fileName, const NameValueLines &lines)
{
    const QByteArray bytes = lines.toBytes();
    SafeFileWriter out(QFile::encodeName(fileName).toStdString());
    if (!out.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) || !out.commit())
        return out.systemError() ? out.systemError() : EIO;
    return 0;
}

} // namespace kelpa
