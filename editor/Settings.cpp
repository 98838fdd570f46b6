#include "editor/Settings.h"


#include <QFile>
#include <climits>

namespace kelpa::editor {

namespace {

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

KelpaSettings loadSettings(const QString &fileName) { return KelpaSettings::fromLines(readNameValueFile(fileName)); }

int saveSettings(const QString &fileName, const KelpaSettings &settings)
{
    return writeNameValueFile(fileName, settings.toLines());
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
