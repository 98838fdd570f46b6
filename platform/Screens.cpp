#include "platform/Screens.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace kelpa::platform {

QRect cursorScreenArea()
{
    QScreen *s = QGuiApplication::screenAt(QCursor::pos());
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (!s)
        return {};
    const QRect work = s->availableGeometry();
    return work.isEmpty() ? s->geometry() : work;
}

QPoint centredIn(const QRect &area, const QSize &size)
{
    int x = area.left() + (area.width() - size.width()) / 2;
    int y = area.top() + (area.height() - size.height()) / 2;
    x = std::max(area.left(), std::min(x, area.left() + area.width() - size.width()));
    y = std::max(area.top(), std::min(y, area.top() + area.height() - size.height()));
    return {x, y};
}

void centreOnCursorScreen(QWidget *window)
{
    if (!window)
        return;
    const QRect area = cursorScreenArea();
    if (area.isEmpty())
        return;
    window->move(centredIn(area, window->frameGeometry().size()));
}

} // namespace kelpa::platform
