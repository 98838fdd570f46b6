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

bool HandOffToRunningInstance(const QStringList &arguments)
{
    DocumentPathArgumentText = DocumentPathArgument(arguments);
    // A relative path means the folder the user started in; the running editor and this one
    // (once its window exists) work in the program folder.
    if (!DocumentPathArgumentText.isEmpty() && QFileInfo(DocumentPathArgumentText).isRelative())
        DocumentPathArgumentText = QDir::current().absoluteFilePath(DocumentPathArgumentText);
    const platform::WindowHandle running = platform::FindWindow(kApplicationClass, kApplicationTitle);
    // The title is ours only after the search, which would otherwise find this process.
    QCoreApplication::setApplicationName(kApplicationTitle);
    if (!running)
        return true;
    const QString folder = KeptFilesFolder();
    if (multipleWindowsAllowed(folder))
        return true;
    // A request that cannot be written would be lost: this start becomes an editor instead.
    if (!writeLoadRequest(folder, DocumentPathArgumentText))
        return true;
    platform::BringWindowToFront(running);
    platform::SendKeystroke(running, QKeyCombination(Qt::ControlModifier, Qt::Key_J));
    return false;
}

int RunEditor(int &argc, char **argv)
{
    KelpaApplication app(argc, argv);
    SetCaptionRules(CaptionRules::Basic);
    try {
        if (!HandOffToRunningInstance(app.programArguments()))
            return 0;
        TForm1 form;
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
