#include "printmod/PrintModule.h"

#include "printmod/PrintWindow.h"
#include "platform/Termination.h"
#include "support/Abort.h"
#include "support/Application.h"
#include "support/MessageBoxes.h"
#include "support/PasswordDialog.h"

namespace kelpa::printmod {

int RunPrintModule(int &argc, char **argv)
{
    KelpaApplication app(argc, argv);
    SetCaptionRules(CaptionRules::Extended);
    // At logout the preview's page folder goes as on a normal close.
    platform::CloseWindowsOnTermination();
    try {
        TForm1 form(app.programArguments());
        SetMainForm(&form);
        TOBRINPasswordDlg passwordDialog(&form, 255);
        form.show();
        app.exec();
        SetMainForm(nullptr);
    } catch (const std::exception &e) {
        ShowException(e);
    }
    return 0;
}

} // namespace kelpa::printmod
