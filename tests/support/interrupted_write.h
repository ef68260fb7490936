#pragma once
// Stopping a file save part-way: in this process, by failing the writes past
// a point, or for real, by killing a forked child while it is blocked inside
// its write. Both act through the AtomicFile write hook, so no timing is guessed.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/atomic_file.h"

namespace tandrel::testing {

namespace detail {
inline std::int64_t writeLimit = 0;
inline int killPipe = -1;

inline bool FailPastLimit(const std::string&, std::int64_t written) { return written < writeLimit; }

// In the child: tell the parent the writer is part-way, then wait for the kill.
inline bool BlockPastLimit(const std::string&, std::int64_t written) {
    if (written < writeLimit) return true;
    const char mark = 'w';
    if (::write(killPipe, &mark, 1) != 1) ::_exit(3);
    for (;;) ::pause();
}
}  // namespace detail

// While it lives, every AtomicFile write fails once the file holds
// `afterBytes` or more: a save stops as on a full disk.
class FailWritesAfter {
public:
    explicit FailWritesAfter(std::int64_t afterBytes) {
        detail::writeLimit = afterBytes;
        platform::test_hooks::SetAtomicWriteHook(&detail::FailPastLimit);
    }
    ~FailWritesAfter() { platform::test_hooks::SetAtomicWriteHook(nullptr); }
    FailWritesAfter(const FailWritesAfter&) = delete;
    FailWritesAfter& operator=(const FailWritesAfter&) = delete;
};

// Runs save in a forked child and kills it with SIGKILL once its file holds
// `afterBytes` or more. True when the child died that way there; false when
// it ended without reaching that point.
inline bool KillWhileWriting(const std::function<void()>& save, std::int64_t afterBytes = 1) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::close(fds[0]);
        detail::killPipe = fds[1];
        detail::writeLimit = afterBytes;
        platform::test_hooks::SetAtomicWriteHook(&detail::BlockPastLimit);
        save();
        ::_exit(0);
    }
    ::close(fds[1]);
    char mark = 0;
    const bool reached = ::read(fds[0], &mark, 1) == 1;
    ::close(fds[0]);
    if (reached) ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return reached && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace tandrel::testing
