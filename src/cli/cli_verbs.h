#pragma once
// The verbs of tandrel-cli; each returns the process exit code.
#include <string>
#include <vector>

namespace tandrel::cli {

int RunScan(const std::vector<std::string>& args);
int RunSummary(const std::vector<std::string>& args);
int RunSnapshots(const std::vector<std::string>& args);
int RunCompareSnapshots(const std::vector<std::string>& args);
int RunCompareDirs(const std::vector<std::string>& args);
int RunCompareFiles(const std::vector<std::string>& args);
int RunRename(const std::vector<std::string>& args);
int RunDuplicates(const std::vector<std::string>& args);

}  // namespace tandrel::cli
