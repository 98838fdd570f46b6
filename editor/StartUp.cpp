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
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

namespace kelpa::editor {

namespace {
const QString kApplicationClass = QStringLiteral("TApplication");
const QString kApplicationTitle = QStringLiteral("Kelpa");
} // namespace

bool HandOffToRunningInstance(const QStringList &arguments)
{
    // A relative path means the folder the user started in; the running editor and this one
    // (once its window exists) work in the program folder.
    QStringList documents = DocumentPathArguments(arguments, QDir::currentPath());
    DocumentPathArgumentText = documents.isEmpty() ? QString() : documents.takeFirst();
    MoreDocumentArguments = documents;
    const platform::WindowHandle running = platform::FindWindow(kApplicationClass, kApplicationTitle);
    // The title is ours only after the search, which would otherwise find this process.
    QCoreApplication::setApplicationName(kApplicationTitle);
    if (!running)
        return true;
    const QString folder = KeptFilesFolder();
    if (multipleWindowsAllowed(folder))
        return true;
    // A request that cannot be written would be lost: this start becomes an editor instead.
    // Several documents go one request at a time, each once the last one was taken; what the
    // running editor does not take in time opens here.
    for (;;) {
        if (!writeLoadRequest(folder, DocumentPathArgumentText))
            return true;
        platform::BringWindowToFront(running);
        platform::SendKeystroke(running, QKeyCombination(Qt::ControlModifier, Qt::Key_J));
        if (MoreDocumentArguments.isEmpty())
            return false;
        QElapsedTimer waited;
        waited.start();
        while (QFileInfo::exists(loadRequestFile(folder)) && waited.elapsed() < 5000)
            QThread::msleep(20);
        if (QFileInfo::exists(loadRequestFile(folder))) {
            // Not taken: it stays for the running editor, and the rest opens here.
            DocumentPathArgumentText = MoreDocumentArguments.takeFirst();
            return true;
        }
        DocumentPathArgumentText = MoreDocumentArguments.takeFirst();
    }
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
