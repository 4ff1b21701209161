#pragma once
// Files the user asks for (a cover picture, an exported table) written whole
// or not at all.

#include <cstdint>
#include <span>
#include <string>

namespace varnello {

// Writes `bytes` to `path` through a temporary file in its folder, flushed
// and renamed over it. An existing file keeps its mode; a new one may be read
// by everyone. A path that is a symbolic link or not a regular file is
// refused. Returns the reason it was not written, or empty.
std::string WriteFileWhole(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace varnello
