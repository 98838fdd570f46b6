#include "support/Application.h"

#include "support/Abort.h"

namespace kelpa {

KelpaApplication::KelpaApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool KelpaApplication::notify(QObject *receiver, QEvent *event)
{
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

} // namespace kelpa
