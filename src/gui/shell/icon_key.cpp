#include "gui/shell/icon_key.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <memory>

#include "common/paths.h"
#include "platform/text_collate.h"

namespace tandrel {

namespace {

std::string LowerExtension(std::string_view path) { return platform::LowerCase(ExtractFileExt(path)); }

// The file a link finally leads to, "" when it cannot be worked out.
std::string LinkTarget(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

}  // namespace

std::string PaintIconKey(std::string_view path) {
    if (!IconKeyIsPath(path)) return std::string(path);
    return LowerExtension(path);
}

std::string ForcedIconKey(const std::string& path) {
    struct stat own {};
    if (lstat(path.c_str(), &own) != 0) return LowerExtension(path);  // gone: its name is all there is
    std::string target = path;
    struct stat st = own;
    if (S_ISLNK(own.st_mode)) {
        if (stat(path.c_str(), &st) != 0) return path;  // leads nowhere
        if (std::string resolved = LinkTarget(path); !resolved.empty()) target = std::move(resolved);
    }
    if (S_ISDIR(st.st_mode)) return std::string(kFolderIconKey);
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) != 0) return target;
    return LowerExtension(target);
}

}  // namespace tandrel
