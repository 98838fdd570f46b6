// A stand-in for the spell checker in the editor's hand-off tests, on the real message layer.
// Started by the editor as the spell checker (any arguments), it registers the checker's window
// and appends to $KELPA_STANDIN_RECORD a line for each event:
//   "start <arguments>", "pid <n>", "msg <message> <wParam> <lParam>", "text <exchange text>",
//   "clip <clipboard text>".
// $KELPA_STANDIN_MODE says how it answers a text to check:
//   ok       corrects it (upper case) back through the exchange file or the clipboard, posts
//            1124 and, as its window would close, 1134
//   cancel   posts 1134 twice
//   lose     reads and deletes the exchange file, then posts 1124 without a reply in it
//   late     answers as "ok" after two seconds
//   silent   answers nothing
//   nowindow ends at once without a window
//   slow     opens its window after a second and a half, then answers nothing
// 1134 from the editor ends it.
#include "platform/WindowMessages.h"
#include "support/documents/Documents.h"
#include "engine/TOBRINEngine.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

using namespace kelpa::platform;
namespace documents = kelpa::documents;
using kelpa::engine::TOBRINEngine;

namespace {

QString recordFile;

void record(const QByteArray &line)
{
    QFile f(recordFile);
    if (f.open(QIODevice::Append))
        f.write(line + '\n');
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    recordFile = qEnvironmentVariable("KELPA_STANDIN_RECORD");
    const QString mode = qEnvironmentVariable("KELPA_STANDIN_MODE");
    record("start " + app.arguments().mid(1).join(QLatin1Char(' ')).toUtf8());
    record("pid " + QByteArray::number(::getpid()));
    if (mode == QLatin1String("nowindow"))
        return 0;
    if (mode == QLatin1String("slow"))
        ::usleep(1500 * 1000);
    const QString folder = qEnvironmentVariable("KELPA_PROGRAM_DIR") + QLatin1Char('/');
    Window window(QStringLiteral("TKelpaSpellChecker"), QStringLiteral("Spell Checker"));
    if (!window.handle())
        return 3;

    auto answer = [folder, mode](WPARAM editor, LPARAM code) {
        const LPARAM transfer = code % 1000;
        if (mode == QLatin1String("cancel")) {
            PostMessage(editor, 1134, 0, 0);
            PostMessage(editor, 1134, 0, 0);
            return;
        }
        TOBRINEngine engine;
        if (transfer == 1) {
            const auto read = documents::readExchangeFile(engine, folder, documents::ExchangePassword::Key,
                                                          documents::AfterReading::Remove);
            record("text " + read.bytes);
            if (mode != QLatin1String("lose"))
                documents::writeExchangeFile(engine, folder, documents::ExchangePassword::Key, read.bytes.toUpper());
        } else {
            const QString text = QApplication::clipboard()->text();
            record("clip " + text.toUtf8());
            QApplication::clipboard()->setText(text.toUpper());
        }
        PostMessage(editor, 1124, 0, 0);
        PostMessage(editor, 1134, 0, 0);
    };
    QObject::connect(&window, &Window::messageReceived, [&](std::uint32_t m, WPARAM w, LPARAM l) {
        record("msg " + QByteArray::number(m) + ' ' + QByteArray::number(w) + ' ' + QByteArray::number(l));
        if (m == 1134) {
            app.quit();
            return;
        }
        if (m != 1124 || mode == QLatin1String("silent") || mode == QLatin1String("slow"))
            return;
        if (mode == QLatin1String("late"))
            QTimer::singleShot(2000, [=] { answer(w, l); });
        else
            answer(w, l);
    });
    return app.exec();
}
