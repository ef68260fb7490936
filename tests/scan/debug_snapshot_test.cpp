#include "scan/debug_snapshot.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "common/text_file.h"
#include "platform/file_system.h"
#include "support/temp_dir.h"

namespace tandrel {
namespace {

using testing::ReadBytes;
using testing::TempDir;

void SetModified(const std::string& path, int year, int month, int day, int hour) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_isdst = -1;
    const timespec times[2] = {{0, UTIME_OMIT}, {std::mktime(&local), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// The subfolders of a folder in the order the file system lists them.
std::vector<std::string> Listed(const std::string& folder) {
    std::vector<std::string> names;
    platform::FolderEnumerator entries(folder);
    platform::FindRecord record;
    while (entries.Next(record))
        if (record.IsDirectory()) names.push_back(record.name);
    return names;
}

TEST(DebugSnapshot, FoldersWithoutTimesThenTheirFilesThenSubfoldersInListingOrder) {
    TempDir dir;
    SetModified(dir.WriteFile("top/a.txt", "hello"), 2024, 1, 31, 12);
    SetModified(dir.WriteFile("top/.hidden", ""), 2023, 6, 1, 8);
    SetModified(dir.WriteFile("top/one/b.bin", std::string(1234, 'b')), 2022, 12, 24, 18);
    dir.MakeFolder("top/two");
    const std::string target = dir.Path("out.txt");
    ASSERT_TRUE(WriteDebugSnapshot(dir.Path("top") + "/", target));

    const std::string bytes = ReadBytes(target);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), std::string::npos) << "plain UTF-8, no byte-order mark";
    const TStringList lines = TextToLines(bytes);
    // Files come in listing order too; compare them as a set per folder.
    const std::string top = dir.Path("top");
    const auto fileLines = [&](std::vector<std::string> files) {
        std::sort(files.begin(), files.end());
        return files;
    };
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "|files.v2|");
    EXPECT_EQ(lines[1], "|" + top);
    const std::vector<std::string> topFiles = fileLines({lines[2], lines[3]});
    // name|size|created|modified|attributes, with milliseconds.
    const std::regex date(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})");
    const auto check = [&](const std::string& line, const std::string& start, const std::string& end) {
        SCOPED_TRACE(line);
        ASSERT_EQ(line.rfind(start, 0), 0u);
        ASSERT_GE(line.size(), start.size() + end.size());
        EXPECT_EQ(line.substr(line.size() - end.size()), end);
        EXPECT_TRUE(std::regex_match(line.substr(start.size(), 23), date));
    };
    check(topFiles[0], ".hidden|0|", "|2023-06-01 08:00:00.000|34");
    check(topFiles[1], "a.txt|5|", "|2024-01-31 12:00:00.000|32");

    std::vector<std::string> rest(lines.begin() + 4, lines.end());
    std::vector<std::string> want;
    for (const std::string& sub : Listed(top)) {
        want.push_back("|" + top + "/" + sub);
        if (sub == "one") want.push_back("b.bin");
    }
    ASSERT_EQ(rest.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        if (want[i] == "b.bin")
            check(rest[i], "b.bin|1234|", "|2022-12-24 18:00:00.000|32");
        else
            EXPECT_EQ(rest[i], want[i]);
    }
    EXPECT_FALSE(WriteDebugSnapshot(top, dir.Path("missing/folder/out.txt")));
}

}  // namespace
}  // namespace tandrel
