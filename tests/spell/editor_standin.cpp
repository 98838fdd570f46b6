// A stand-in for the editor in the spell checker's start-up tests: its application window
// ("TApplication", "Kelpa") and a main window, registered on the message layer. Every message
// either gets is appended to the record file as "app|main message wParam lParam". Prints
// "ready <main window handle>" once both exist, and runs until it is killed.
//   spell_editor_standin <record-file>
// A line "check <text>" on stdin hands <text> to the checker as a selection of a plain page
// (on the clipboard, code 1002). A 1124 that follows is answered by pasting once the checker's
// window has gone, the latest an editor could paste: the record gets "pasted <text>". A line
// "hold <text>" hands it over the same way but never pastes.
#include "platform/WindowMessages.h"
#include "support/CheckerHandOff.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <cstdio>
#include <unistd.h>

using namespace kelpa::platform;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (app.arguments().size() != 2)
        return 2;
    const QString recordFile = app.arguments().at(1);
    auto append = [recordFile](const QByteArray &line) {
        QFile f(recordFile);
        if (f.open(QIODevice::Append))
            f.write(line + '\n');
    };
    auto record = [&append](const char *who, std::uint32_t m, WPARAM w, LPARAM l) {
        append(QByteArray(who) + ' ' + QByteArray::number(m) + ' ' + QByteArray::number(w) + ' '
               + QByteArray::number(l));
    };
    Window application(QStringLiteral("TApplication"), QStringLiteral("Kelpa"));
    Window main(QStringLiteral("TForm1"), QStringLiteral("Kelpa - notes.txt"));
    if (!application.handle() || !main.handle())
        return 3;
    bool handedOver = false;
    QObject::connect(&application, &Window::messageReceived,
                     [&](std::uint32_t m, WPARAM w, LPARAM l) { record("app", m, w, l); });
    QObject::connect(&main, &Window::messageReceived, [&](std::uint32_t m, WPARAM w, LPARAM l) {
        record("main", m, w, l);
        if (m != kelpa::WM_CHECKTEXT || !handedOver)
            return;
        handedOver = false;
        QElapsedTimer t;
        t.start();
        while (FindWindow(kelpa::SpellCheckerWindowClass) && t.elapsed() < 10000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        append("pasted " + QGuiApplication::clipboard()->text().toUtf8());
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending.append(buffer, n);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QByteArray line = pending.left(end);
            const bool paste = line.startsWith("check ");
            if (!paste && !line.startsWith("hold "))
                continue;
            QGuiApplication::clipboard()->setText(QString::fromUtf8(line.mid(line.indexOf(' ') + 1)));
            handedOver = PostMessage(FindWindow(kelpa::SpellCheckerWindowClass), kelpa::WM_CHECKTEXT, main.handle(),
                                     kelpa::TransferClipboard + kelpa::TransferPlainText)
                         && paste;
        }
    });
    std::printf("ready %llu\n", static_cast<unsigned long long>(main.handle()));
    std::fflush(stdout);
    return app.exec();
}
