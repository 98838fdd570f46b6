#pragma once
// How the main window makes its actions: a named action with caption, shortcut and hint, and
// its command run so that an exception ends there (Abort silently).
#include "support/Abort.h"

#include <QAction>
#include <QBoxLayout>
#include <QIcon>
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

// A flat tool button that runs its command itself, not a menu item's: a button follows its
// own enabled state. Placed before the row's closing stretch when the row has one.
template <class F>
QToolButton *makeToolButton(QBoxLayout *row, QWidget *parent, const char *objectName, const QIcon &icon,
                            const QString &hint, F command, bool beforeStretch = false)
{
    auto *b = new QToolButton(parent);
    b->setObjectName(QLatin1String(objectName));
    b->setAutoRaise(true);
    b->setIcon(icon);
    b->setToolTip(hint);
    b->setStatusTip(hint);
    QObject::connect(b, &QToolButton::clicked, b, [command](bool) { RunGuarded(command); });
    if (beforeStretch)
        row->insertWidget(row->count() - 1, b);
    else
        row->addWidget(b);
    return b;
}

} // namespace kelpa::editor
