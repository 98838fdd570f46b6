#pragma once
// The "last error" of the platform calls: errno, turned into the system's message text.
#include <QString>

namespace kelpa::platform {

int lastError();                      // errno now
void setLastError(int code);
// Before an operation whose failure is reported, so that its message does not show what an
// earlier call left behind.
inline void clearLastError() { setLastError(0); }
// The system's text for an error code; empty for 0, which is no error.
QString errorText(int code);
inline QString lastErrorText() { return errorText(lastError()); }

} // namespace kelpa::platform
