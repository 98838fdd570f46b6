#pragma once
// The "last error" of the platform calls: errno, turned into the system's message text.
#include <QString>

namespace kelpa::platform {

int lastError();                      // errno now
QString errorText(int code);          // the system's text for an error code
inline QString lastErrorText() { return errorText(lastError()); }

} // namespace kelpa::platform
