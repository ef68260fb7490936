#pragma once
// Shared by the fuzz targets: a private home for the settings and cache
// folders, a message sink that stays quiet, and the input written to a file
// for the readers that take a path.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/messages.h"
#include "platform/file_system.h"

namespace tandrel::fuzz {

class QuietMessages : public Messages {
public:
    void ShowMessage(MessageKind, const std::string&) override {}
    void AddErrorLine(const std::string&) override {}
    void ShowNotification(const std::string&) override {}
    MessageAnswer Ask(AskButtons, const std::string&, const std::string&) override { return MessageAnswer::Cancel; }
};

// Once per process: HOME and the XDG folders in a fresh temporary folder, so
// a reader that falls back to the settings folder never touches the real one.
// Gone at a normal exit; a crash leaves it for a look.
struct PrivateHome {
    std::string path;
    ~PrivateHome() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

inline const std::string& FuzzHome() {
    static const PrivateHome home = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tandrel-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
            const std::string folder = pattern + "/" + name;
            platform::ForceFolders(folder);
            setenv(name, folder.c_str(), 1);
        }
        static QuietMessages quiet;
        SetMessages(&quiet);
        return PrivateHome{pattern};
    }();
    return home.path;
}

// A file name inside the private home.
inline std::string FuzzPath(std::string_view name) { return FuzzHome() + "/" + std::string(name); }

inline std::string_view Bytes(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// Replaces the file with the input; a failed write is the harness's fault.
inline void WriteInput(const std::string& file, std::string_view bytes) {
    if (!platform::WriteFileBytes(file, bytes)) std::abort();
}

// A property the reader promised does not hold: crash, so the fuzzer keeps the input.
inline void CheckFailed(const char* what, int line) {
    std::fprintf(stderr, "check failed at line %d: %s\n", line, what);
    std::abort();
}
#define FUZZ_CHECK(holds) ((holds) ? (void)0 : ::tandrel::fuzz::CheckFailed(#holds, __LINE__))

}  // namespace tandrel::fuzz
