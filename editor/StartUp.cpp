#include "editor/StartUp.h"

#include "editor/HandOff.h"
#include "editor/TForm1.h"

#include "platform/NamedMutex.h"
#include "platform/WindowMessages.h"
#include "support/Abort.h"
#include "support/Application.h"
#include "support/MessageBoxes.h"
#include "support/PasswordDialog.h"
#include "support/Prompter.h"
#include "platform/ProgramFolder.h"
#include "support/Launch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace kelpa::editor {

namespace {
const QString kApplicationClass = QStringLiteral("TApplication");
const QString kApplicationTitle = QStringLiteral("Kelpa");
// Held from the look-up for a running editor until this start has either handed its document
// over or registered its own window, so that starts at the same moment give one editor and
// one request file at a time.
const QString kStartMutex = QStringLiteral("Kelpa start");
// Beyond this another start is stuck holding it: this one goes on without.
constexpr int kStartMutexWaitMs = 15000;
// How long the running editor has to take the request before this start opens the document
// itself, and how often it is reminded meanwhile (a reminder lost to a full window is sent
// again; one that comes after the request was taken finds nothing to do).
constexpr int kHandOffWaitMs = 2000;
constexpr int kHandOffReminderMs = 250;

// Asks the running editor to take the request and waits for it to confirm that it has.
bool handedOver(platform::WindowHandle running, const QString &folder, const handoff::FileId &written)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kHandOffWaitMs) {
        platform::BringWindowToFront(running);
        platform::SendKeystroke(running, QKeyCombination(Qt::ControlModifier, Qt::Key_J));
        QElapsedTimer reminder;
        reminder.start();
        while (reminder.elapsed() < kHandOffReminderMs && waited.elapsed() < kHandOffWaitMs) {
            // Gone is not taken: only the editor's confirmation is.
            if (!loadRequestPending(folder) && loadRequestConfirmed(folder, written))
                return true;
            QThread::msleep(10);
        }
    }
    // Not confirmed in time: the request comes back, unless the editor had it at the last moment.
    return !withdrawLoadRequest(folder, written);
}

} // namespace

StartDecision HandOffToRunningInstance(const QStringList &arguments)
{
    StartDecision decision;
    // A relative path means the folder the user started in; the running editor and this one
    // (once its window exists) work in the program folder.
    QStringList documents = DocumentPathArguments(arguments, QDir::currentPath());
    if (!documents.isEmpty())
        decision.documentPath = documents.takeFirst();
    decision.moreDocuments = documents;
    const platform::WindowHandle running = platform::FindWindow(kApplicationClass, kApplicationTitle);
    // The title is ours only after the search, which would otherwise find this process.
    QCoreApplication::setApplicationName(kApplicationTitle);
    if (!running)
        return decision;
    const QString folder = platform::keptFilesFolder();
    if (multipleWindowsAllowed(folder))
        return decision;
    // Several documents go one request at a time. A request that cannot be written would be
    // lost, and a hand-off nobody confirms (an editor that is stuck, or of another program
    // folder) would lose the document: this start opens it and those after it itself.
    for (;;) {
        const handoff::FileId written = writeLoadRequest(folder, decision.documentPath);
        if (!written)
            return decision;
        if (!handedOver(running, folder, written))
            return decision;
        if (decision.moreDocuments.isEmpty())
            break;
        decision.documentPath = decision.moreDocuments.takeFirst();
    }
    decision.becomeEditor = false;
    return decision;
}

int RunEditor(int argc, char **argv)
{
    KelpaApplication app(argc, argv);
    SetCaptionRules(CaptionRules::Basic);
    try {
        platform::NamedMutex startLock(kStartMutex, kStartMutexWaitMs);
        const StartDecision start = HandOffToRunningInstance(app.programArguments());
        if (!start.becomeEditor)
            return 0;
        TForm1 form(start.documentPath, start.moreDocuments);
        SetMainForm(&form);
        TOBRINPasswordDlg passwordDialog(&form, 256);
        // The window by which a second start finds this editor.
        platform::Window window(kApplicationClass, kApplicationTitle, &form);
        startLock.release();
        form.show();
        app.exec();
    } catch (const std::exception &e) {
        ShowException(e);
    }
    return 0;
}

} // namespace kelpa::editor
