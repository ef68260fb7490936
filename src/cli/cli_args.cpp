#include "cli/cli_args.h"

namespace tandrel::cli {

ParsedArgs ParseArgs(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flags) {
    ParsedArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.size() < 3 || arg.compare(0, 2, "--") != 0) {
            parsed.positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        std::string value;
        const std::size_t eq = name.find('=');
        const bool inlineValue = eq != std::string::npos;
        if (inlineValue) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        if (flags.count(name) && !inlineValue) {
            // A string, not a literal: GCC 12 falsely warns (-Wrestrict) on this assignment.
            parsed.options[name] = std::string(1, '1');
        } else if (valueOptions.count(name)) {
            if (!inlineValue) {
                if (i + 1 >= args.size()) {
                    parsed.error = "Option --" + name + " needs a value.";
                    return parsed;
                }
                value = args[++i];
            }
            parsed.options[name] = value;
        } else {
            parsed.error = "Unknown option: " + arg;
            return parsed;
        }
    }
    return parsed;
}

}  // namespace tandrel::cli
