#include "widgets/Kpconst.h"

namespace kelpa::widgets {

QString LoadStr(int id)
{
    switch (id) {
    case SDetails: return QStringLiteral("Details");
    case SLoadLibError: return QStringLiteral("Could not load '%s' library");
    case SInvalidExecutable:
        return QStringLiteral(
            "File specified is not an executable file, dynamic-link library, or icon file");
    case SNotImplemented: return QStringLiteral("Function not yet implemented");
    case SPrevMonth: return QStringLiteral("Previous Month|");
    case SPrevYear: return QStringLiteral("Previous Year|");
    case SNextMonth: return QStringLiteral("Next Month|");
    case SNextYear: return QStringLiteral("Next Year|");
    case SSelectDate: return QStringLiteral("Select a Date");
    case SAllFilesFilter: return QStringLiteral("All files (*.*)|*.*");
    case SBrowse: return QStringLiteral("Browse");
    default: return QString();
    }
}

} // namespace kelpa::widgets
