// The test hook that makes a subtree unreadable even for root.
#include <cerrno>
#include <atomic>
#include <mutex>

#include "platform/file_system.h"
#include "platform/posix_support.h"

namespace tandrel::platform {

namespace {
// Tested first on every open and enumeration, so the hook costs one relaxed
// load when unused.
std::atomic<bool> hookActive{false};
std::mutex hookMutex;
std::string deniedPrefix;

bool IsAtOrBelow(const std::string& path, const std::string& prefix) {
    if (path.compare(0, prefix.size(), prefix) != 0) return false;
    if (path.size() == prefix.size()) return true;
    return prefix.back() == '/' || path[prefix.size()] == '/';
}
}  // namespace

namespace test_hooks {
void DenyAccessBelow(const std::string& pathPrefix) {
    std::lock_guard lock(hookMutex);
    deniedPrefix = pathPrefix;
    while (deniedPrefix.size() > 1 && deniedPrefix.back() == '/') deniedPrefix.pop_back();
    hookActive.store(!deniedPrefix.empty(), std::memory_order_release);
}
}  // namespace test_hooks

namespace detail {
bool ReadAccessDenied(const std::string& path) {
    if (!hookActive.load(std::memory_order_acquire)) return false;
    std::lock_guard lock(hookMutex);
    if (deniedPrefix.empty() || !IsAtOrBelow(path, deniedPrefix)) return false;
    Fail(EACCES);
    return true;
}
}  // namespace detail

}  // namespace tandrel::platform
