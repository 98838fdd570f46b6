// A second process for the cross-process tests.
//   serve <class> <title> <record-file>   registers a window and appends every message it gets to
//                                          the record file ("message wParam lParam" lines); a
//                                          Ctrl+J action appends "ctrl+j"; message 1134 ends it
//   post <class> <title> <first> <count>  posts `count` messages 1124 with lParam first.. to the
//                                          window and exits at once
//   junk <class> <title>                  sends the window a frame none of ours writes followed by
//                                          a good one (1124, 8, 8) on one connection, then posts
//                                          1124 (9, 9) the proper way, and exits
//   mutex <name>                           takes the named mutex, prints "held" or "busy", and
//                                          waits to be killed when it holds it
#include "platform/NamedMutex.h"
#include "platform/WindowMessages.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLocalSocket>
#include <QMainWindow>
#include <QThread>
#include <cstdio>

using namespace kelpa::platform;

namespace {

void record(const QString &file, const QByteArray &line)
{
    QFile f(file);
    if (f.open(QIODevice::Append))
        f.write(line + '\n');
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() == 4 && args[0] == QLatin1String("serve")) {
        const QString recordFile = args[3];
        QMainWindow main;
        auto *ctrlJ = new QAction(&main);
        ctrlJ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_J));
        main.addAction(ctrlJ);
        QObject::connect(ctrlJ, &QAction::triggered, [&] { record(recordFile, "ctrl+j"); });
        main.show();
        Window window(args[1], args[2], &main);
        if (!window.handle())
            return 3;
        QObject::connect(&window, &Window::messageReceived,
                         [&](std::uint32_t message, WPARAM wParam, LPARAM lParam) {
                             record(recordFile, QByteArray::number(message) + ' '
                                                    + QByteArray::number(wParam) + ' '
                                                    + QByteArray::number(lParam));
                             if (message == 1134)
                                 app.quit();
                         });
        std::printf("ready %llu\n", static_cast<unsigned long long>(window.handle()));
        std::fflush(stdout);
        return app.exec();
    }
    if (args.size() == 5 && args[0] == QLatin1String("post")) {
        const WindowHandle target = FindWindow(args[1], args[2]);
        if (!target)
            return 4;
        const long long first = args[3].toLongLong();
        const long long count = args[4].toLongLong();
        for (long long i = 0; i < count; ++i)
            if (!PostMessage(target, 1124, 7, first + i))
                return 5;
        return 0;
    }
    if (args.size() == 3 && args[0] == QLatin1String("junk")) {
        const WindowHandle target = FindWindow(args[1], args[2]);
        if (!target)
            return 4;
        QLocalSocket raw;
        raw.connectToServer(windowsFolder() + QStringLiteral("/w") + QString::number(target)
                            + QStringLiteral(".sock"));
        if (!raw.waitForConnected(5000))
            return 6;
        struct {
            std::uint32_t message = 1124, reserved = 0;
            std::uint64_t wParam = 8;
            std::int64_t lParam = 8;
        } good;
        static_assert(sizeof good == 24);
        raw.write(QByteArray("KELPAWM1") + QByteArray(24, '\xFF')
                  + QByteArray(reinterpret_cast<const char *>(&good), sizeof good));
        if (!raw.waitForBytesWritten(5000))
            return 7;
        return PostMessage(target, 1124, 9, 9) ? 0 : 5;
    }
    if (args.size() == 2 && args[0] == QLatin1String("mutex")) {
        NamedMutex mutex(args[1]);
        std::printf("%s\n", mutex.owned() ? "held" : mutex.alreadyExists() ? "busy" : "error");
        std::fflush(stdout);
        if (!mutex.owned())
            return 1;
        for (;;)
            QThread::sleep(1);
    }
    return 2;
}
