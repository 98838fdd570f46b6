// Windows core font names on Linux.
#include "platform/Fonts.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>
#include <gtest/gtest.h>

using namespace kelpa::platform;

TEST(Fonts, CoreNamesResolveToTheirStandIns)
{
    if (!QFontDatabase::families().contains(QStringLiteral("Liberation Mono")))
        GTEST_SKIP() << "fonts-liberation is not installed";
    installFontSubstitutions();
    const std::pair<const char *, const char *> cases[] = {
        {"Courier New", "Liberation Mono"},
        {"Arial", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},
        {"Times New Roman", "Liberation Serif"},
    };
    const QStringList listed = installedFontFamilies();
    for (const auto &[name, family] : cases) {
        EXPECT_TRUE(fontIsAvailable(QLatin1String(name))) << name;
        EXPECT_TRUE(listed.contains(QLatin1String(name))) << name;
        EXPECT_EQ(QFontInfo(QFont(QLatin1String(name))).family(), QLatin1String(family)) << name;
    }
    EXPECT_FALSE(fontIsAvailable(QStringLiteral("No Such Font Family")));
    EXPECT_EQ(standInFamily(QStringLiteral("No Such Font Family")), QString());
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](const QString &a, const QString &b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    }));
}
