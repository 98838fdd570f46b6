#pragma once
// How the main window makes its actions: a named action with caption, shortcut and hint, and
// its command run so that an exception ends there (Abort silently).
#include "support/Abort.h"

#include <QAction>
#include <QKeySequence>
#include <QString>

namespace kelpa::editor {

template <class F>
void bind(QAction *action, F f)
{
    QObject::connect(action, &QAction::triggered, action, [f](bool) { RunGuarded(f); });
}

inline QAction *makeAction(QObject *owner, const char *objectName, const QString &caption,
                           const QKeySequence &shortcut = {}, const QString &hint = {})
{
    auto *a = new QAction(caption, owner);
    a->setObjectName(QLatin1String(objectName));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    if (!hint.isEmpty())
        a->setStatusTip(hint);
    return a;
}

} // namespace kelpa::editor
