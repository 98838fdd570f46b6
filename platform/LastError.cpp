#include "platform/LastError.h"

#include <cerrno>
#include <cstring>

namespace kelpa::platform {

int lastError()
{
    return errno;
}

void setLastError(int code)
{
    errno = code;
}

QString errorText(int code)
{
    if (code == 0)
        return {};
    char buffer[512];
    // GNU strerror_r returns the text, which may or may not be in the buffer.
    const char *text = strerror_r(code, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

} // namespace kelpa::platform
