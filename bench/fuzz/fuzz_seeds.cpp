// Writes valid inputs for every fuzz target with the program's own writers:
// fuzz_seeds OUT_FOLDER makes OUT_FOLDER/<target>/seed_N.
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/column_layout.h"
#include "common/compressed_text.h"
#include "common/text_encoding.h"
#include "common/text_file.h"
#include "compare/compare_cache.h"
#include "compare/duplicate_finder.h"
#include "fuzz_support.h"
#include "gui/shell/settings_file.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_line_format.h"

using namespace tandrel;

namespace {

std::string out;

void Seed(const std::string& target, std::string_view bytes) {
    static std::map<std::string, int> counts;
    const std::string folder = out + "/" + target;
    platform::ForceFolders(folder);
    const std::string file = folder + "/seed_" + std::to_string(++counts[target]);
    if (!platform::WriteFileBytes(file, bytes)) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::exit(1);
    }
}

std::string FileBytes(const std::string& file) {
    std::string bytes;
    platform::ReadFileBytes(file, bytes);
    return bytes;
}

const std::string kTimes = "|2020-01-02 03:04:05.000|2020-01-02 03:04:05.678|32";

TStringList BodyLines() {
    return {std::string(kFilesSectionMarker),
            "|/c/a/",
            "f1|10" + kTimes,
            "|/c/a/b/|2020-01-01 00:00:00.000|2020-01-01 00:00:00.000|16",
            "f2|5" + kTimes,
            "na%7Cme%0Aodd|7" + kTimes,
            "|/c/a/b/deep/",
            "f3|1" + kTimes,
            "|/c/a/c/",
            "f4|123456789" + kTimes};
}

void Snapshots() {
    const TStringList body = BodyLines();
    TDirectoryStats counts;
    counts.DirectoriesCount = 4;
    counts.FilesCount = 5;
    counts.Size = 123456812;
    const TStringList header = BuildSnapshotHeader("/c/a|odd", "2020-01-02 03:04:05", "a description", counts);
    const std::string headerText = LinesToText(header);

    const std::string container = fuzz::FuzzPath("seed.snapshot");
    SnapshotLinesWriter writer;
    for (const std::string& line : body) writer.Add(line);
    const std::string compressed = writer.TakeCompressed();
    SaveExtendedVolume(container, headerText, compressed);
    const std::string containerBytes = FileBytes(container);
    Seed("snapshot_container", containerBytes);
    Seed("snapshot_header", containerBytes);
    // The older forms: plain text, UTF-16 text, a bare zlib stream.
    const std::string text = LinesToText(body);
    Seed("snapshot_container", text);
    Seed("snapshot_container", std::string(kUtf16LeBom) + Utf8ToUtf16Le(text));
    Seed("snapshot_container", CompressZlib(std::string(kUtf8Bom) + text, 1));
    // A container with a UTF-16 header and body.
    Seed("snapshot_header", std::string(kUtf16LeBom) + Utf8ToUtf16Le("[extended volume]\r\n" + headerText) +
                                std::string("\0\0\x01", 3) + CompressZlib(Utf8ToUtf16Le(text), 1));

    for (int mode = 0; mode < 8; ++mode)
        Seed("snapshot_body", std::string(1, static_cast<char>(mode)) + ((mode & 1) ? compressed : text));
    for (const std::string& line : body) Seed("snapshot_line", line);
}

void Settings() {
    TStringList lines;
    AppendSection(lines, "Main", Escape("value one\r\n[looks like a section]\r\n\r\nlast"));
    AppendSection(lines, "Columns", Escape("Total Size:90:R:101\r\nPath:200:L:0"));
    const auto geometry = EncodeGeometryLine({10, 20, 800, 600}, false, {0, 0, 1920, 1080});
    AppendSection(lines, kFormGeometrySection, geometry ? *geometry : "");
    AppendSection(lines, "Treemap Frm", ">1");
    const std::string file = fuzz::FuzzPath("seed.ini");
    SaveSettingsLines(lines, file);
    Seed("settings_file", FileBytes(file));

    for (const char* line : {"Total Size:90:R:101", "Date:70:L:0", "At 10:30:40:R:5", "Path"})
        Seed("column_layout", line);
}

void CompareCache() {
    const std::string identical = fuzz::FuzzPath("seed_identical.ini");
    const std::string different = fuzz::FuzzPath("seed_different.ini");
    TCompareCache cache(identical, different);
    cache.Store(MakePairKeysAt("/a/one", 45000.5, "/b/one", 45000.75), FC_IDENTICAL);
    cache.Store(MakePairKeysAt("/a/Two|x", 45001.5, "/b/two", 45002.5), FC_IDENTICAL);
    cache.Store(MakePairKeysAt("/a/three", 45003.5, "/b/three", 45004.5), FC_LOOSE_COPY);
    cache.Save();
    const std::string a = FileBytes(identical), b = FileBytes(different);
    Seed("compare_cache", a + b);
    Seed("compare_cache", a + a);
}

void DuplicateLists() {
    ScanModel model;
    TCompareCache cache(fuzz::FuzzPath("dup_identical.ini"), fuzz::FuzzPath("dup_different.ini"));
    TDuplicateFinder finder(model, cache);
    const struct {
        const char* name;
        const char* path;
        std::int64_t size;
        int group;
    } files[] = {{"a.bin", "/d/x/", 4096, 1001},
                 {"b.bin", "/d/y/", 4096, 1001},
                 {"c.bin", "/d/y/", 2048, 1002},
                 {"c copy.bin", "/d/z/", 2048, 1002},
                 {"alone", "/d/", 5000, 0}};
    for (const auto& f : files) {
        auto entry = std::make_unique<TFileEntryDuplicates>();
        entry->FileName = f.name;
        entry->Path = f.path;
        entry->Size = f.size;
        entry->DateM = 45000.5;
        entry->DuplicateGroupId = f.group;
        entry->Checksum = f.group ? DuplicateGroupKey(*entry) : "";
        finder.Entries.push_back(std::move(entry));
    }
    finder.FillIndexList();
    const std::string folders = "/seed/folders";
    finder.SaveFileList(folders);
    finder.SaveResults(folders);
    for (int mode = 0; mode < 16; mode += 2) {
        Seed("duplicate_lists", std::string(1, static_cast<char>(mode)) + FileBytes(DuplicatesFileListFile(folders)));
        Seed("duplicate_lists",
             std::string(1, static_cast<char>(mode | 1)) + FileBytes(DuplicatesResultsFile(folders)));
    }
}

void Texts() {
    const TStringList lines = {"plain line", "äöü € line", "", "last"};
    const std::string file = fuzz::FuzzPath("seed.txt");
    SaveTextFile(lines, file);
    Seed("text_file", FileBytes(file));
    SaveAnsiTextFile(lines, file);
    Seed("text_file", FileBytes(file));
    const std::string text = LinesToText(lines);
    Seed("text_file", std::string(kUtf16LeBom) + Utf8ToUtf16Le(text));
    Seed("text_file", std::string(kUtf16BeBom) + Utf8ToUtf16Be(text));
    Seed("text_file", text);
    Seed("text_file", std::string("\x7F"
                                  "ELF\x02\x01\x01\0\0\0binary",
                                  16));
}

void CommandLines() {
    using namespace std::string_literals;
    Seed("command_line", "snap_[yyyy]-[mm]-[dd]_[hh][ii][ss]\0/debug\0date=2020/01/02\0dateoffset=-3"s);
    Seed("command_line",
         "[yy][m][d]\0scan\0/tmp\0--top\0"
         "5\0--tsv\0--saveas=x.snapshot"s);
    Seed("command_line",
         "x\0fn:/a/b.snapshot\0/is_admin\0--min-size\0"
         "1024\0--filter\0*.txt"s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds OUT_FOLDER\n");
        return 2;
    }
    out = argv[1];
    Snapshots();
    Settings();
    CompareCache();
    DuplicateLists();
    Texts();
    CommandLines();
    return 0;
}
