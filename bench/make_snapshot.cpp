// Writes a snapshot of a tree shaped like shared/bench/make_tree.py's
// (files per folder drawn around 40, 1..12 subfolders each, realistic names,
// long-tailed sizes, times over 16 years) without creating any file: the
// lines go through the program's own line format and snapshot writer, so the
// file is one a scan could have saved.
//
//   build/bench/make_snapshot OUT.snapshot [--files N] [--root /PATH] [--seed S]
//
// Deterministic: the same arguments give the same file.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "common/date_time.h"
#include "common/text_file.h"
#include "platform/file_system.h"
#include "platform/memory_pages.h"
#include "scan/snapshot_file.h"
#include "scan/snapshot_line_format.h"
#include "scan/snapshot_lines.h"

using namespace tandrel;

namespace {

const char* const kWords[] = {"report", "Photo", "backup",  "data",   "Projekt", "notes", "IMG",       "invoice",
                              "draft",  "final", "archive", "music",  "Video",   "log",   "build",     "cache",
                              "src",    "lib",   "test",    "résumé", "naïve",   "日本",  "Übersicht", "old",
                              "new",    "copy",  "temp",    "docs",   "readme",  "misc"};
const char* const kExts[] = {".txt", ".jpg", ".png", ".mp3", ".pdf",  ".docx", ".cpp", ".h",
                             ".log", ".zip", ".iso", ".mkv", ".json", ".csv",  ".dat", ""};

class Generator {
public:
    explicit Generator(std::uint64_t seed) : rng_(seed) {}

    double Uniform() { return std::uniform_real_distribution<double>(0, 1)(rng_); }
    std::int64_t Between(std::int64_t a, std::int64_t b) {
        return std::uniform_int_distribution<std::int64_t>(a, b)(rng_);
    }
    const char* Word() { return kWords[Between(0, std::size(kWords) - 1)]; }

    std::string Name(std::int64_t i) {
        const std::string w = Word();
        const double style = Uniform();
        char digits[32];
        if (style < 0.3) return w + "_" + std::to_string(i);
        if (style < 0.5) return w + " " + Word() + " " + std::to_string(i);
        if (style < 0.7) {
            std::snprintf(digits, sizeof digits, "-%lld-%05lld", static_cast<long long>(Between(1990, 2026)),
                          static_cast<long long>(i));
            return w + digits;
        }
        return w + std::to_string(i);
    }
    std::string Ext() { return kExts[Between(0, std::size(kExts) - 1)]; }

    std::int64_t Size() {
        const double r = Uniform();
        if (r < 0.05) return 0;
        if (r < 0.70) return Between(1, 16 << 10);
        if (r < 0.95) return Between(16 << 10, 4 << 20);
        if (r < 0.995) return Between(std::int64_t(4) << 20, std::int64_t(512) << 20);
        return Between(std::int64_t(512) << 20, std::int64_t(8) << 30);
    }
    std::int64_t FilesInFolder(double perDir) {
        return std::max<std::int64_t>(
            1, static_cast<std::int64_t>(std::exponential_distribution<double>(1.0 / perDir)(rng_)));
    }

private:
    std::mt19937_64 rng_;
};

struct Folder {
    std::string name;
    std::int64_t firstFile = 0;  // the number of the folder's first file
    std::int64_t files = 0;
    std::vector<std::uint32_t> subfolders;
};

}  // namespace

int main(int argc, char** argv) {
    platform::TuneAllocatorForScans();
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_snapshot OUT.snapshot [--files N] [--root /PATH] [--seed S]\n");
        return 2;
    }
    const std::string out = argv[1];
    std::int64_t files = 10000000;
    std::string root = "/tmp/tandrel-bench/tree10m";
    std::uint64_t seed = 1;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--files") files = std::atoll(argv[i + 1]);
        if (key == "--root") root = argv[i + 1];
        if (key == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    }
    if (root.empty() || root.back() != platform::PathDelim) root += platform::PathDelim;

    // The shape first, breadth first as make_tree.py builds it; the lines
    // then follow the walk's order (a folder, its files, its subfolders).
    Generator gen(seed);
    std::vector<Folder> folders(1);
    std::int64_t made = 0, dirs = 0;
    for (std::size_t at = 0; at < folders.size() && made < files; ++at) {
        const std::int64_t n = std::min(files - made, gen.FilesInFolder(40));
        folders[at].firstFile = made;
        folders[at].files = n;
        made += n;
        const std::int64_t subs = gen.Between(1, 12);
        for (std::int64_t j = 0; j < subs; ++j) {
            Folder sub;
            sub.name = gen.Name(dirs++);
            folders[at].subfolders.push_back(static_cast<std::uint32_t>(folders.size()));
            folders.push_back(std::move(sub));
        }
    }

    SnapshotLinesWriter lines;
    lines.Add(kFilesSectionMarker);
    std::string line, path = root;
    const platform::FileTime t0 = platform::FileTimeFromUnix(1262304000, 0);  // 2010-01-01
    TDirectoryStats counts;
    struct Step {
        std::uint32_t folder;
        std::size_t pathLength;
        std::size_t next = 0;
    };
    std::vector<Step> stack;
    const auto open = [&](std::uint32_t index) {
        const Folder& f = folders[index];
        line.clear();
        if (index == 0) {
            AppendFolderLine(line, path, nullptr);
        } else {
            platform::FindRecord find;
            find.name = f.name;
            find.attributes = platform::FILE_ATTRIBUTE_DIRECTORY;
            find.creationTime = find.lastWriteTime = t0;
            AppendFolderLine(line, path, &find);
        }
        lines.Add(line);
        // Each folder's files come from its own seed, so they do not depend
        // on the order the folders are written in.
        Generator fileGen(seed * 1000003 + index);
        platform::FindRecord file;
        for (std::int64_t k = 0; k < f.files; ++k) {
            file.name = fileGen.Name(f.firstFile + k) + fileGen.Ext();
            file.size = fileGen.Size();
            file.attributes = platform::FILE_ATTRIBUTE_ARCHIVE;
            file.lastWriteTime = file.creationTime = t0 + fileGen.Between(0, 16LL * 365 * 86400) * 10000000LL;
            line.clear();
            AppendFileLine(line, file, ScanTimeToDateTime(file.lastWriteTime));
            lines.Add(line);
            counts.FilesCount++;
            counts.Size += file.size;
        }
        stack.push_back(Step{index, path.size()});
    };
    open(0);
    while (!stack.empty()) {
        Step& top = stack.back();
        const Folder& f = folders[top.folder];
        if (top.next == f.subfolders.size()) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t sub = f.subfolders[top.next++];
        path.resize(top.pathLength);
        path += folders[sub].name;
        path += platform::PathDelim;
        counts.DirectoriesCount++;
        open(sub);
    }

    const TStringList header =
        BuildSnapshotHeader(root, FormatDateTimeMs(Now()), "generated benchmark snapshot", counts);
    if (!SaveExtendedVolume(out, LinesToText(header), lines.TakeBody())) {
        std::fprintf(stderr, "cannot write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %d files, %d folders\n", out.c_str(), counts.FilesCount, counts.DirectoriesCount);
    return 0;
}
