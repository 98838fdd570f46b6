#include "platform/Fonts.h"

#include <QFont>
#include <QFontDatabase>

namespace kelpa::platform {

namespace {

struct StandIn {
    const char *windowsName;
    const char *family;
};

constexpr StandIn standIns[] = {
    {"Courier New", "Liberation Mono"},
    {"Courier", "Liberation Mono"},
    {"Arial", "Liberation Sans"},
    {"Helvetica", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
};

bool installed(const QString &family)
{
    return QFontDatabase::families().contains(family, Qt::CaseInsensitive);
}

} // namespace

QString standInFamily(const QString &windowsName)
{
    for (const StandIn &s : standIns)
        if (windowsName.compare(QLatin1String(s.windowsName), Qt::CaseInsensitive) == 0)
            return QLatin1String(s.family);
    return QString();
}

bool fontIsAvailable(const QString &family)
{
    if (installed(family))
        return true;
    const QString standIn = standInFamily(family);
    return !standIn.isEmpty() && installed(standIn);
}

QStringList installedFontFamilies()
{
    QStringList families = QFontDatabase::families();
    for (const StandIn &s : standIns) {
        const QString name = QLatin1String(s.windowsName);
        if (!families.contains(name, Qt::CaseInsensitive) && installed(QLatin1String(s.family)))
            families << name;
    }
    families.sort(Qt::CaseInsensitive);
    families.removeDuplicates();
    return families;
}

void installFontSubstitutions()
{
    for (const StandIn &s : standIns) {
        const QString name = QLatin1String(s.windowsName);
        if (!installed(name) && installed(QLatin1String(s.family))
            && !QFont::substitutes(name).contains(QLatin1String(s.family)))
            QFont::insertSubstitution(name, QLatin1String(s.family));
    }
}

} // namespace kelpa::platform
