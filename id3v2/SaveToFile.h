#pragma once
// Saving a tag object into a file, with the per-save options that
// Tid3v2tag::SaveToFile leaves at their defaults.

#include "SaveOptions.h"
#include "StatusWord.h"
#include "Tid3v2tag.h"

#include <cstdint>
#include <string>

namespace varnello {

StatusWord SaveTagToFile(Tid3v2tag& tag, const std::string& fileName, std::uint8_t majorVersion,
                         std::uint8_t revision, std::int64_t offset, const SaveOptions& options);

// Removes the ID3v2 tag at the offset from the file.
StatusWord RemoveTagFromFile(const std::string& path, std::uint64_t offset);

} // namespace varnello
