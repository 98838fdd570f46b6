#include "caller/Launcher.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return kelpa::caller::LauncherMain(app.arguments().mid(1));
}
