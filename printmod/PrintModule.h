#pragma once
// The print module's entry: the application, the main window, the password dialog, the loop.
namespace kelpa::printmod {

int RunPrintModule(int &argc, char **argv);

} // namespace kelpa::printmod
