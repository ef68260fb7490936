#include "scan/check_ins.h"

#include <algorithm>
#include <cmath>

#include "common/date_time.h"
#include "common/split.h"
#include "common/strings.h"
#include "platform/file_system.h"
#include "platform/text_collate.h"
#include "scan/filtered_scan.h"

namespace tandrel {

namespace {

std::string WithSlash(std::string path) {
    if (path.empty() || path.back() != platform::PathDelim) path += platform::PathDelim;
    return path;
}

TStringList Terms(std::string_view text) {
    TStringList terms;
    for (std::string& term : SplitString(platform::LowerCase(text), ";", true))
        if (!term.empty()) terms.push_back(std::move(term));
    return terms;
}

bool HoldsAny(const std::string& text, const TStringList& terms) {
    return std::any_of(terms.begin(), terms.end(),
                       [&](const std::string& term) { return text.find(term) != std::string::npos; });
}

}  // namespace

std::string CheckInsMasks(std::string_view extensions) {
    std::string masks;
    for (const char c : extensions)
        if (c != ' ') masks += c;
    return masks + ";";
}

std::string SourceFolderFor(const std::string& repositoryPath, const std::string& repositoryFolder) {
    const std::string root = WithSlash(repositoryPath);
    const std::string folder = WithSlash(repositoryFolder);
    if (!folder.starts_with(root)) return {};
    // The first folder below the root is the first folder of the source path.
    const std::string source = std::string(1, platform::PathDelim) + folder.substr(root.size());
    const std::string lower = platform::LowerCase(source);
    if (lower.find("_history") != std::string::npos || lower.find("/old") != std::string::npos) return {};
    return source;
}

std::string RepositoryCopyFor(const std::string& repositoryPath, const std::string& sourceFile) {
    std::string_view relative = sourceFile;
    while (!relative.empty() && relative.front() == platform::PathDelim) relative.remove_prefix(1);
    return WithSlash(repositoryPath) + std::string(relative);
}

std::string CheckInResultLine(const std::string& sourceFile, TDateTime sourceTime, TDateTime copyTime) {
    std::string line = EscapeLineName(sourceFile) + "|" + FormatDateTimeMs(sourceTime) + "|";
    if (std::fabs(copyTime) < 0.00001) return line + "|";
    // Whole milliseconds first: an hour of day fractions is not exact in a
    // double, and truncating 3599.9999 seconds would show a second too few.
    const long long milliseconds = std::llround((copyTime - sourceTime) * 86'400'000.0);
    return line + FormatDateTimeMs(copyTime) + "|" + std::to_string(milliseconds / 1000);
}

TCheckInsRun CheckRepository(TStopToken& stop, const std::string& repositoryPath, std::string_view extensions,
                             const std::function<void(const std::string& folder)>& onFolder) {
    TCheckInsRun run;
    run.repositoryPath = WithSlash(repositoryPath);
    const std::string masks = CheckInsMasks(extensions);
    const std::string excluded(kCheckInsExcludedExtensions);

    TStringList folders;
    for (const auto& file : ScanFiles(stop, run.repositoryPath, true, masks, excluded, onFolder)) {
        std::string source = SourceFolderFor(run.repositoryPath, file->Path);
        if (!source.empty()) folders.push_back(std::move(source));
    }
    std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        const int order = platform::CollateCompare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    run.sourceDirectories = folders;

    struct Source {
        std::string path;
        TDateTime time;
    };
    std::vector<Source> sources;
    for (const std::string& folder : folders) {
        if (stop.StopRequested()) break;
        if (!platform::DirectoryExists(folder)) continue;
        for (const auto& file : ScanFiles(stop, folder, false, masks, excluded, onFolder)) {
            sources.push_back({file->FullFileName(), file->DateM});
            run.sourceFiles.push_back(sources.back().path);
        }
    }

    for (const Source& source : sources) {
        if (stop.StopRequested()) break;
        const std::string copy = RepositoryCopyFor(run.repositoryPath, source.path);
        if (!platform::FileExists(copy)) run.missingFiles.push_back(copy);
        const TDateTime copyTime = FileModificationTime(copy);
        if (source.time <= copyTime) continue;
        run.resultLines.push_back(CheckInResultLine(source.path, source.time, copyTime));
    }
    run.cancelled = stop.StopRequested();
    return run;
}

std::vector<TCheckInRow> FilterCheckIns(const TStringList& resultLines, std::string_view include,
                                        std::string_view exclude) {
    const TStringList includes = Terms(include);
    const TStringList excludes = Terms(exclude);
    std::vector<TCheckInRow> rows;
    for (const std::string& line : resultLines) {
        std::vector<std::string> fields = SplitString(line, "|", false);
        fields.resize(4);
        TCheckInRow row{UnescapeLineName(fields[0]), fields[1], fields[2], {}};
        const std::string lower = platform::LowerCase(row.path);
        if (!includes.empty() && !HoldsAny(lower, includes)) continue;
        if (HoldsAny(lower, excludes)) continue;
        std::int64_t seconds = 0;
        if (fields[3].empty() || !TryStrToInt64(fields[3], seconds))
            row.notUpdatedFor = "never updated";
        else
            row.notUpdatedFor = FormatHms(-seconds);
        rows.push_back(std::move(row));
    }
    return rows;
}

void TThreadCheckIns::Init(std::string repositoryPath, std::string extensions) {
    repositoryPath_ = std::move(repositoryPath);
    extensions_ = std::move(extensions);
}

void TThreadCheckIns::Execute() {
    run = CheckRepository(stop_, repositoryPath_, extensions_,
                          [this](const std::string& folder) { SetProgress(folder); });
}

}  // namespace tandrel
