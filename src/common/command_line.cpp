#include "common/command_line.h"

#include "platform/processes.h"

namespace tandrel {

namespace {

std::vector<std::string>& Params() {
    static std::vector<std::string> params;
    return params;
}

std::string WithSlash(std::string_view text) {
    return (!text.empty() && text.front() == '/') ? std::string(text) : "/" + std::string(text);
}

std::string_view WithoutSlash(std::string_view text) {
    if (!text.empty() && text.front() == '/') text.remove_prefix(1);
    return text;
}

}  // namespace

void SetCommandLineArgs(std::vector<std::string> params) { Params() = std::move(params); }

const std::vector<std::string>& CommandLineArgs() { return Params(); }

int SwitchIndex(std::string_view name) {
    if (name.empty()) return -1;
    const std::string slashed = WithSlash(name);
    const auto& params = Params();
    for (std::size_t i = 0; i < params.size(); ++i)
        if (params[i] == name || WithSlash(params[i]) == slashed) return static_cast<int>(i) + 1;
    return -1;
}

bool HasSwitch(std::string_view name) { return SwitchIndex(name) > 0; }

std::string GetOption(std::string_view name) {
    const std::string_view wanted = WithoutSlash(name);
    if (wanted.empty()) return {};
    for (const std::string& param : Params()) {
        std::string_view text = WithoutSlash(param);
        std::size_t equals = text.find('=');
        std::size_t colon = text.find(':');
        std::size_t separator = (colon != std::string_view::npos && colon < equals) ? colon : equals;
        if (separator == std::string_view::npos) continue;
        if (text.substr(0, separator) == wanted) return std::string(text.substr(separator + 1));
    }
    return {};
}

bool IsAdmin() { return platform::IsAdministrator() || HasSwitch("is_admin"); }

}  // namespace tandrel
