#pragma once
// The cover picture of a file as a viewer and the tool see it, and picture
// files given by the user to become a cover.

#include "Pictures.h"
#include "StatusWord.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace varnello {

enum class CoverAction
{
    kKeep,
    kSet,
    kRemove
};

struct CoverEdit
{
    CoverAction Action = CoverAction::kKeep;
    std::vector<std::uint8_t> Image; // for kSet: JPEG or PNG bytes
};

// The cover of one file for a viewer. Status is the ID3v2 load's status word
// (kNoTag etc.); Cover is empty when the file has no picture; Check is filled
// from CheckImage on the cover's data; PictureCount counts every picture. A
// cover larger than kLargestPicture is reported with its Size but no Data.
struct CoverRead
{
    StatusWord Status;
    std::optional<AttachedPicture> Cover;
    ImageCheck Check;
    std::size_t PictureCount = 0;
};

CoverRead ReadCover(const std::string& path);

// A picture file given by the user for a cover, read through the platform
// layer: a regular file only, at most kLargestPicture bytes. Refusal is empty
// when the picture is taken, else the reason: "not a JPEG or PNG picture",
// "larger than 16 MiB", "cannot be read: …".
struct PictureFile
{
    std::vector<std::uint8_t> Bytes;
    ImageCheck Check;
    std::string Refusal;
};

PictureFile ReadPictureFile(const std::string& path);

} // namespace varnello
