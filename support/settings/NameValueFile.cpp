#include "support/settings/NameValueFile.h"

#include "platform/numbers/IntegerText.h"
#include "platform/safefile/SafeFile.h"

#include <QFile>

#include <cerrno>
#include <climits>

namespace kelpa {

NameValueLines NameValueLines::parse(const QByteArray &bytes)
{
    NameValueLines result;
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        const QString text = QString::fromUtf8(line);
        const qsizetype eq = text.indexOf(QLatin1Char('='));
        if (eq < 0)
            result.lines_.append({text, QString()});
        else
            result.lines_.append({text.left(eq), text.mid(eq + 1)});
    }
    return result;
}

std::optional<QString> NameValueLines::value(const QString &name) const
{
    for (const auto &[key, value] : lines_)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}

void NameValueLines::set(const QString &name, const QString &value)
{
    for (auto &line : lines_)
        if (line.first.compare(name, Qt::CaseInsensitive) == 0) {
            line.second = value;
            return;
        }
    lines_.append({name, value});
}

QByteArray NameValueLines::toBytes() const
{
    QByteArray out;
    for (const auto &[key, value] : lines_)
        out += key.toUtf8() + '=' + value.toUtf8() + "\r\n";
    return out;
}

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
    QFile f(fileName);
    errno = 0;
    if (!f.open(QIODevice::ReadOnly)) {
        if (systemError && errno != ENOENT)
            *systemError = errno ? errno : EIO;
        return {};
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (systemError)
            *systemError = errno ? errno : EIO;
        return {};
    }
    return NameValueLines::parse(bytes);
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
