// The program's parameters (NUL separates them, as in the process's own
// argument block): the switch and option lookups, the date options of
// snapshot names, and the command line's "--name value" parser.
#include "cli/cli_args.h"
#include "common/command_line.h"
#include "common/date_time.h"
#include "common/types.h"
#include "fuzz_support.h"

using namespace tandrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzHome();
    std::vector<std::string> args;
    const std::string_view bytes = fuzz::Bytes(data, size);
    for (std::size_t start = 0; start <= bytes.size();) {
        const std::size_t end = std::min(bytes.find('\0', start), bytes.size());
        args.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }

    SetCommandLineArgs(args);
    for (const char* name : {"debug", "/debug", "is_admin", "date", "fn", ""}) {
        const int index = SwitchIndex(name);
        FUZZ_CHECK(index == -1 || (index >= 1 && index <= static_cast<int>(args.size())));
        GetOption(name);
    }
    try {
        ExpandDatePattern(args.front());
    } catch (const TandrelError&) {
        // A bad "date" or "dateoffset" is reported to the user.
    }

    const std::set<std::string> values = {"top", "saveas", "comment", "filter", "exclude", "min-size", "sort", "mask"};
    const std::set<std::string> flags = {"tsv", "all", "no-subdirs", "yes"};
    const cli::ParsedArgs parsed = cli::ParseArgs(args, values, flags);
    if (parsed.error.empty()) {
        for (const auto& [name, value] : parsed.options) FUZZ_CHECK(values.count(name) || flags.count(name));
        FUZZ_CHECK(parsed.positional.size() + parsed.options.size() <= args.size());
    }
    return 0;
}
