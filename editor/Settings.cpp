#include "editor/Settings.h"

#include "editor/SafeFile.h"

#include <QFile>
#include <climits>

namespace kelpa::editor {

namespace {

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

void readInt(const NameValueLines &lines, const char *key, int &into)
{
    if (const auto text = lines.value(QLatin1String(key)))
        if (const auto n = parseDecimal(*text))
            into = *n;
}

void readBool(const NameValueLines &lines, const char *key, bool &into)
{
    if (const auto b = parseYN(lines.value(QLatin1String(key))))
        into = *b;
}

QString recentKey(int i) { return QStringLiteral("PrevLoaded%1").arg(i); }

} // namespace

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
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('-') || t[i] == QLatin1Char('+'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    if (i == t.size())
        return std::nullopt;
    long long value = 0;
    for (; i < t.size(); ++i) {
        const QChar c = t[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX || value < INT_MIN)
        return std::nullopt;
    return static_cast<int>(value);
}

KelpaSettings::KelpaSettings() { prevLoaded.fill(kEmptyRecent); }

KelpaSettings KelpaSettings::fromLines(const NameValueLines &lines)
{
    KelpaSettings s;
    readInt(lines, "NormalWidth", s.normalWidth);
    readInt(lines, "NormalHeight", s.normalHeight);
    readBool(lines, "Maximized", s.maximized);
    readInt(lines, "DateFormatOption", s.dateFormatOption);
    readInt(lines, "Separator", s.separatorLength);
    readBool(lines, "FindCapture", s.findCapture);
    readBool(lines, "Batchscope", s.batchScope);
    readBool(lines, "AutoWrap", s.autoWrap);
    readBool(lines, "EncEC4", s.encEC4);
    readBool(lines, "ShowToolbar", s.showToolbar);
    // Only "N" changes the common password; any other value leaves it on.
    if (const auto b = parseYN(lines.value(QStringLiteral("CommonPWD"))); b && !*b)
        s.commonPassword = false;
    if (const auto name = lines.value(QStringLiteral("DefaultFontName")); name && !name->isEmpty())
        s.defaultFontName = *name;
    readInt(lines, "DefaultFontSize", s.defaultFontSize);
    if (const auto text = lines.value(QStringLiteral("DefaultFontColor")))
        if (const auto n = parseDecimal(*text))
            s.defaultFontColor = *n;
    for (int i = 0; i < kRecentCount; ++i)
        if (const auto text = lines.value(recentKey(i)); text && !text->isEmpty())
            s.prevLoaded[static_cast<std::size_t>(i)] = *text;
    return s;
}

NameValueLines KelpaSettings::toLines() const
{
    NameValueLines l;
    l.set(QStringLiteral("NormalWidth"), QString::number(normalWidth));
    l.set(QStringLiteral("NormalHeight"), QString::number(normalHeight));
    l.set(QStringLiteral("Maximized"), yn(maximized));
    l.set(QStringLiteral("DateFormatOption"), QString::number(dateFormatOption));
    l.set(QStringLiteral("Separator"), QString::number(separatorLength));
    l.set(QStringLiteral("FindCapture"), yn(findCapture));
    l.set(QStringLiteral("Batchscope"), yn(batchScope));
    l.set(QStringLiteral("AutoWrap"), yn(autoWrap));
    l.set(QStringLiteral("CommonPWD"), yn(commonPassword));
    l.set(QStringLiteral("ShowToolbar"), yn(showToolbar));
    l.set(QStringLiteral("EncEC4"), yn(encEC4));
    l.set(QStringLiteral("DefaultFontName"), defaultFontName);
    l.set(QStringLiteral("DefaultFontSize"), QString::number(defaultFontSize));
    l.set(QStringLiteral("DefaultFontColor"), QString::number(defaultFontColor));
    for (int i = 0; i < kRecentCount; ++i)
        l.set(recentKey(i), prevLoaded[static_cast<std::size_t>(i)]);
    return l;
}

KelpaSettings loadSettings(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return KelpaSettings();
    return KelpaSettings::fromBytes(f.readAll());
}

bool saveSettings(const QString &fileName, const KelpaSettings &settings, QString *error)
{
    return writeFileReplacing(fileName, settings.toBytes(), error);
}

int usableClientExtent(int stored, int fallback, int screenExtent)
{
    constexpr int kSmallest = 100;
    if (stored < kSmallest)
        return fallback;
    if (screenExtent > 0 && stored > screenExtent)
        return screenExtent;
    return stored;
}

} // namespace kelpa::editor
