#pragma once
// The spell checker program: one instance, started by the editor with the launch token, and
// only beside a running editor.

namespace kelpa::spell {

// Exit code 0 in every case, as the editor does not look at it.
int RunSpellChecker(int &argc, char **argv);

} // namespace kelpa::spell
