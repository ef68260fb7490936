#pragma once
// Splitting a verb's arguments into positional ones and "--name value" options.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace tandrel::cli {

struct ParsedArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // name without "--"
    std::string error;                           // set when the arguments are not valid
};

// valueOptions take a value ("--top 5" or "--top=5"); flags take none.
ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flags = {});

}  // namespace tandrel::cli
