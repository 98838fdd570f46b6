#include "spell/SpellCheckerProgram.h"

int main(int argc, char **argv) { return kelpa::spell::RunSpellChecker(argc, argv); }
