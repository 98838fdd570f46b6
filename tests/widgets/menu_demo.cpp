// Shows the editor-style menu over a small window, for looking at it under X:
//   menu_demo [select-index] [favourites]
#include "MenuExample.h"

#include <QApplication>
#include <QMainWindow>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(420, 320);
    window.move(0, 0);
    window.show();
    const bool favourites = argc > 2 && QByteArray(argv[2]) == "favourites";
    auto *menu = favourites
                     ? kelpa::test::FavouritesStyleMenu(
                           &window, {QStringLiteral("notes.txt"), QStringLiteral("letter.rtf"),
                                     QStringLiteral("-"), QStringLiteral("secrets.eco")})
                     : kelpa::test::EditorStyleMenu(&window);
    QObject::connect(menu, &QMenu::triggered, [](QAction *a) {
        std::printf("triggered %s\n", qPrintable(a->text()));
        std::fflush(stdout);
    });
    const int select = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : -1;
    QTimer::singleShot(300, [menu, select] {
        menu->Popup(40, 40);
        if (select >= 0 && select < menu->actions().size())
            menu->setActiveAction(menu->actions().at(select));
    });
    return app.exec();
}
