#include "support/Application.h"

#include "support/Abort.h"

namespace kelpa {

namespace {
// The toolkit keeps a reference to the count for the life of the application: it parses
// options while it sees the program name only, and sees every argument from then on.
int toolkitArgumentCount = 0;

int &programNameOnly(int argc)
{
    toolkitArgumentCount = argc > 0 ? 1 : 0;
    return toolkitArgumentCount;
}
} // namespace

KelpaApplication::KelpaApplication(int argc, char **argv) : QApplication(programNameOnly(argc), argv)
{
    toolkitArgumentCount = argc;
    programArguments_ = arguments().mid(1);
}

bool KelpaApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace kelpa
