#pragma once
// Saving a tag object into a file, with the per-save options that
// Tid3v2tag::SaveToFile leaves at their defaults.

#include "SaveOptions.h"
#include "SaveTarget.h"
#include "StatusWord.h"
#include "Tid3v2tag.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace varnello {

StatusWord SaveTagToFile(Tid3v2tag& tag, const std::string& fileName, std::uint8_t majorVersion,
                         std::uint8_t revision, std::int64_t offset, const SaveOptions& options);

// Saves into a file the caller holds open and locked (and has loaded the
// tag from), at the offset. `tail`, when given, replaces the file's last 128
// bytes, an ID3v1 tag, in the same replace: the file ends with both new or
// both old.
StatusWord SaveTagToTarget(Tid3v2tag& tag, SaveTarget& target, std::uint8_t majorVersion,
                           std::uint8_t revision, std::uint64_t offset, const SaveOptions& options,
                           const std::optional<std::array<std::uint8_t, 128>>& tail = std::nullopt);

// Loads the tag at the offset of a file the caller holds open and locked.
StatusWord LoadTagFromTarget(Tid3v2tag& tag, SaveTarget& target, std::uint64_t offset);

// Removes the ID3v2 tag at the offset from a file the caller holds open and
// locked, putting `tail` in place of its last 128 bytes in the same step when
// given. A file without a tag there keeps its bytes (except the tail).
StatusWord RemoveTagFromTarget(SaveTarget& target, std::uint64_t offset, const SaveOptions& options,
                               const std::optional<std::array<std::uint8_t, 128>>& tail);
// The same for a file named by its path.
StatusWord RemoveTagFromFile(const std::string& path, std::uint64_t offset,
                             const SaveOptions& options = {});

} // namespace varnello
