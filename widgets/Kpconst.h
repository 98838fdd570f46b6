#pragma once
// Strings of the widget units, kept in one string table by number.
#include <QString>

namespace kelpa::widgets {

enum WidgetStringId : int {
    SDetails = 61254,
    SLoadLibError = 61255,
    SInvalidExecutable = 61256,
    SNotImplemented = 61257,
    SPrevMonth = 61258,
    SPrevYear = 61259,
    SNextMonth = 61260,
    SNextYear = 61261,
    SSelectDate = 61262,
    SAllFilesFilter = 61263,
    SBrowse = 61264,
};

// The table's text for `id`; "" for a number the table does not hold.
QString LoadStr(int id);

} // namespace kelpa::widgets
