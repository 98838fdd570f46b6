#include "spell/SpellCheckerProgram.h"

#include "platform/NamedMutex.h"
#include "platform/WindowMessages.h"
#include "spell/ClipboardKeeper.h"
#include "spell/TForm_Merge.h"
#include "spell/TKelpaSpellChecker.h"
#include "support/Abort.h"
#include "support/Application.h"
#include "support/CheckerHandOff.h"
#include "support/MessageBoxes.h"
#include "support/Prompter.h"
#include "platform/ProgramFolder.h"
#include "support/Launch.h"

namespace kelpa::spell {

int RunSpellChecker(int &argc, char **argv)
{
    platform::NamedMutex mutex(QStringLiteral("VOKAT_KPSPELLCHECKER"));
    if (mutex.alreadyExists())
        return 0;
    // Started by hand, or by something that is not the editor: nothing to do.
    if (argc < 2 || std::string(argv[1]) != LaunchToken())
        return 0;
    KelpaApplication app(argc, argv);
    SetCaptionRules(CaptionRules::Extended);
    const platform::WindowHandle editor = platform::FindWindow(EditorApplicationClass, EditorApplicationTitle);
    if (!editor) {
        // Never without the editor: start it instead.
        LaunchFile(platform::programFolder() + QStringLiteral("Kelpa32.exe"), QString(), QString(), true, SW_SHOW);
        return 0;
    }
    platform::PostMessage(editor, WM_CLOSECHECKER, 0, 0);
    platform::WindowHandle pastingEditor = 0;
    try {
        TForm_Merge merge;
        TKelpaSpellChecker form(&merge);
        SetMainForm(&form);
        QObject::connect(&form, &TKelpaSpellChecker::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        QObject::connect(&form, &TKelpaSpellChecker::textLeftOnClipboard,
                         [&pastingEditor](platform::WindowHandle to) { pastingEditor = to; });
        form.show();
        app.exec();
        SetMainForm(nullptr);
    } catch (const std::exception &e) {
        ShowException(e);
    }
    // The window is gone and a new checker may start; the handed-back text, though, lives only
    // as long as this process on X11: it stays until the editor has it.
    if (pastingEditor) {
        mutex.release();
        KeepClipboard(pastingEditor);
    }
    return 0;
}

} // namespace kelpa::spell
