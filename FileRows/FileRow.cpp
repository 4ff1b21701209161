#include "FileRow.h"

#include <filesystem>

namespace varnello {

std::string JoinPath(const std::string& folder, const std::string& name)
{
    constexpr char kSeparator = std::filesystem::path::preferred_separator;
    if (folder.empty()) {
        return name;
    }
    if (folder.back() == kSeparator) {
        return folder + name;
    }
    return folder + kSeparator + name;
}

} // namespace varnello
