// Shows the editor-style menu over a small window, for looking at it under X:
//   menu_demo [select-index]
#include "MenuExample.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(420, 320);
    window.move(0, 0);
    window.show();
    auto *menu = kelpa::test::EditorStyleMenu(&window);
    const int select = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : -1;
    QTimer::singleShot(300, [menu, select] {
        menu->Popup(40, 40);
        if (select >= 0 && select < menu->actions().size())
            menu->setActiveAction(menu->actions().at(select));
    });
    return app.exec();
}
