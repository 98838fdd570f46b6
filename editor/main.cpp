#include "editor/StartUp.h"

int main(int argc, char **argv) { return kelpa::editor::RunEditor(argc, argv); }

