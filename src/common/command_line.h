#pragma once
// Command-line switches and options. The process entry stores the
// parameters once at start; everything else only reads them.
#include <string>
#include <string_view>
#include <vector>

namespace tandrel {

// The parameters without the program name.
void SetCommandLineArgs(std::vector<std::string> params);
const std::vector<std::string>& CommandLineArgs();

// True when a parameter equals the name exactly, or equals it once both have
// a leading "/" ("debug" matches "/debug" and the other way round).
bool HasSwitch(std::string_view name);
// The 1-based position of that parameter, or -1.
int SwitchIndex(std::string_view name);
// The value of the first parameter "name=value" or "name:value"; a leading
// "/" on the name and on the parameter is ignored, ":" separates only when it
// comes before any "=", the name part is compared exactly. Empty when absent.
std::string GetOption(std::string_view name);

// Administrator rights, or the switch "is_admin" that claims them.
bool IsAdmin();

}  // namespace tandrel
