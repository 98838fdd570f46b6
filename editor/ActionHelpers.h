#pragma once
// How the main window makes its actions: a named action with caption, shortcut and hint, and
// its command run so that an exception ends there (Abort silently).
#include "support/Abort.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QString>
#include <QToolButton>

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

// A tool button put before the row's closing stretch; a button runs its command itself, not
// through a menu item, so that it follows its own enabled state.
template <class F>
QToolButton *addToolButton(QHBoxLayout *row, const char *objectName, const QIcon &icon, const QString &hint, F command)
{
    auto *b = new QToolButton(row->parentWidget());
    b->setObjectName(QLatin1String(objectName));
    b->setAutoRaise(true);
    b->setIcon(icon);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    QObject::connect(b, &QToolButton::clicked, b, [command](bool) { RunGuarded(command); });
    row->insertWidget(row->count() - 1, b);
    return b;
}

} // namespace kelpa::editor
