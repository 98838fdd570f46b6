#include "printmod/PrintModule.h"

int main(int argc, char **argv) { return kelpa::printmod::RunPrintModule(argc, argv); }
