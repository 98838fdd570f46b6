#include "editor/StartUp.h"

#include "editor/HandOff.h"
#include "editor/TForm1.h"

#include "platform/WindowMessages.h"
#include "support/Abort.h"
#include "support/Application.h"
#include "support/MessageBoxes.h"
#include "support/PasswordDialog.h"
#include "support/Prompter.h"
#include "support/Shell.h"

#include <QDir>
#include <QFileInfo>

namespace kelpa::editor {

namespace {
const QString kApplicationClass = QStringLiteral("TApplication");
const QString kApplicationTitle = QStringLiteral("Kelpa");
} // namespace

StartDecision HandOffToRunningInstance(const QStringList &arguments)
{
    StartDecision decision;
    decision.documentPath = DocumentPathArgument(arguments);
    // A relative path means the folder the user started in; the running editor and this one
    // (once its window exists) work in the program folder.
    if (!decision.documentPath.isEmpty() && QFileInfo(decision.documentPath).isRelative())
        decision.documentPath = QDir::cleanPath(QDir::current().absoluteFilePath(decision.documentPath));
    const platform::WindowHandle running = platform::FindWindow(kApplicationClass, kApplicationTitle);
    // The title is ours only after the search, which would otherwise find this process.
    QCoreApplication::setApplicationName(kApplicationTitle);
    if (!running)
        return decision;
    const QString folder = ProgramFolder();
    if (multipleWindowsAllowed(folder))
        return decision;
    // A request that cannot be written would be lost: this start becomes an editor instead.
    if (!writeLoadRequest(folder, decision.documentPath))
        return decision;
    platform::BringWindowToFront(running);
    platform::SendKeystroke(running, QKeyCombination(Qt::ControlModifier, Qt::Key_J));
    decision.becomeEditor = false;
    return decision;
}

int RunEditor(int &argc, char **argv)
{
    KelpaApplication app(argc, argv);
    SetCaptionRules(CaptionRules::Basic);
    try {
        const StartDecision start = HandOffToRunningInstance(app.programArguments());
        if (!start.becomeEditor)
            return 0;
        TForm1 form(start.documentPath);
        SetMainForm(&form);
        TOBRINPasswordDlg passwordDialog(&form, 256);
        // The window by which a second start finds this editor.
        platform::Window window(kApplicationClass, kApplicationTitle, &form);
        form.show();
        app.exec();
    } catch (const std::exception &e) {
        ShowException(e);
    }
    return 0;
}

} // namespace kelpa::editor
