// A stand-in for the editor in the spell checker's start-up tests: its application window
// ("TApplication", "Kelpa") and a main window, registered on the message layer. Every message
// either gets is appended to the record file as "app|main message wParam lParam". Prints
// "ready <main window handle>" once both exist, and runs until it is killed.
//   spell_editor_standin <record-file>
#include "platform/WindowMessages.h"

#include <QApplication>
#include <QFile>
#include <cstdio>

using namespace kelpa::platform;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2)
        return 2;
    const QString recordFile = app.arguments().at(1);
    auto record = [recordFile](const char *who, std::uint32_t m, WPARAM w, LPARAM l) {
        QFile f(recordFile);
        if (f.open(QIODevice::Append))
            f.write(QByteArray(who) + ' ' + QByteArray::number(m) + ' ' + QByteArray::number(w) + ' '
                    + QByteArray::number(l) + '\n');
    };
    Window application(QStringLiteral("TApplication"), QStringLiteral("Kelpa"));
    Window main(QStringLiteral("TForm1"), QStringLiteral("Kelpa - notes.txt"));
    if (!application.handle() || !main.handle())
        return 3;
    QObject::connect(&application, &Window::messageReceived,
                     [&](std::uint32_t m, WPARAM w, LPARAM l) { record("app", m, w, l); });
    QObject::connect(&main, &Window::messageReceived,
                     [&](std::uint32_t m, WPARAM w, LPARAM l) { record("main", m, w, l); });
    std::printf("ready %llu\n", static_cast<unsigned long long>(main.handle()));
    std::fflush(stdout);
    return app.exec();
}
