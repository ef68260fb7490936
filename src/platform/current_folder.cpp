#include "platform/current_folder.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

namespace tandrel::platform {

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buffer.resize(buffer.size() * 2);
    }
    return std::string(buffer.data());
}

bool SetCurrentFolder(const std::string& folder) { return chdir(folder.c_str()) == 0; }

}  // namespace tandrel::platform
