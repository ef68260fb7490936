#include <cstring>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

namespace {
thread_local int lastError = 0;
}

namespace detail {
bool Fail(int error) {
    lastError = error;
    return false;
}
}  // namespace detail

int LastError() { return lastError; }

std::string LastErrorText() {
    char buffer[256];
    // GNU strerror_r may return a static text instead of filling the buffer.
    return strerror_r(lastError, buffer, sizeof buffer);
}

}  // namespace tandrel::platform
