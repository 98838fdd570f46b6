// The second process of the icon clipboard tests.
//   clip_peer copy <file.ico>   puts the icon on the clipboard, says "held", keeps the
//                               clipboard until a line arrives on stdin (or stdin closes)
//   clip_peer paste <file>      writes the clipboard's icon to <file>; says "pasted <bytes>
//                               <width>x<height>" (the plain image's size) or "none"
#include "widgets/Clipicon.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

using namespace kelpa::widgets;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QByteArray mode = argv[1];
    const QString path = QString::fromLocal8Bit(argv[2]);
    if (mode == "copy") {
        QFile f(path);
        TIcon icon;
        if (!f.open(QIODevice::ReadOnly) || !icon.LoadFromData(f.readAll()))
            return 3;
        CopyIconToClipboard(icon, Qt::white);
        std::printf("held\n");
        std::fflush(stdout);
        QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(&input, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        QTimer::singleShot(30000, &app, &QCoreApplication::quit);
        return app.exec();
    }
    if (mode == "paste") {
        const std::unique_ptr<TIcon> icon = CreateIconFromClipboard();
        if (!icon) {
            std::printf("none\n");
            return 0;
        }
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(icon->SaveToData()) < 0)
            return 4;
        const QImage image = QGuiApplication::clipboard()->image();
        std::printf("pasted %lld %dx%d\n", static_cast<long long>(icon->SaveToData().size()),
                    image.width(), image.height());
        return 0;
    }
    return 2;
}
