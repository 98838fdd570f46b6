#pragma once
// The session's request to end a program (SIGTERM at logout, SIGHUP when the terminal goes):
// the program leaves the way it does when the user closes its windows, so that what its windows
// own (a preview's page folder) is removed on the way out.
namespace kelpa::platform {

// From now on those signals close every window of the application, deleting those that are
// deleted on close, and end its event loops. Call once a QApplication exists.
void CloseWindowsOnTermination();

} // namespace kelpa::platform
