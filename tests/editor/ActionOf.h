#pragma once
// The window's commands by their object names, as the tests reach them.
#include "editor/TForm1.h"

#include <QAction>
#include <QString>
#include <gtest/gtest.h>

namespace kelpa::editor::test {

// The action named `name` in the window; a missing one fails the test (and gives nullptr).
inline QAction *actionOf(const TForm1 &form, const QString &name)
{
    QAction *action = form.findChild<QAction *>(name);
    if (!action)
        ADD_FAILURE() << "the window has no action \"" << name.toStdString() << "\"";
    return action;
}

} // namespace kelpa::editor::test
