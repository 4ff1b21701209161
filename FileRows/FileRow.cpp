#include "FileRow.h"

#include <filesystem>

namespace varnello {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    constexpr char kSeparator = std::filesystem::path::preferred_separator;
    if (folder.empty()) {
        return name;
    }
    // Built in one allocation: a listing joins a path for every file.
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (folder.back() != kSeparator && folder.back() != '/') {
        path += kSeparator;
    }
    path += name;
    return path;
}

} // namespace varnello
