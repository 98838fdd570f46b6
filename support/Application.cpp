#include "support/Application.h"

#include "support/Abort.h"

namespace kelpa {

namespace {
// The toolkit keeps a reference to the count for the life of the application.
int &programNameOnly(int argc)
{
    static int count = 0;
    count = argc > 0 ? 1 : 0;
    return count;
}
} // namespace

KelpaApplication::KelpaApplication(int argc, char **argv) : QApplication(programNameOnly(argc), argv)
{
    for (int i = 1; i < argc; ++i)
        programArguments_.append(QString::fromLocal8Bit(argv[i]));
}

bool KelpaApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace kelpa
