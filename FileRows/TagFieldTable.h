#pragma once
// The six fields the editors and the tool work on, described once: the
// member of TagFields, the ID3v2 frame that stores it, its label, the tool's
// option name, its bit in a field mask, and whether it may hold line breaks.
// Everything that walks the fields walks this table, in this order.

#include "FileRow.h"

#include <array>
#include <string>

namespace varnello {

struct TagFieldInfo
{
    FieldMask Mask;
    std::string TagFields::*Member;
    const char* FrameId; // "COMM" is the comment frame with an empty description
    const char* Label;
    const char* Option;
    bool Multiline;
};

inline constexpr std::array<TagFieldInfo, 6> kTagFields{{
    {fieldmask::kTitle, &TagFields::Title, "TIT2", "Title", "title", false},
    {fieldmask::kArtist, &TagFields::Artist, "TPE1", "Artist", "artist", false},
    {fieldmask::kAlbum, &TagFields::Album, "TALB", "Album", "album", false},
    {fieldmask::kYear, &TagFields::Year, "TYER", "Year", "year", false},
    {fieldmask::kGenre, &TagFields::Genre, "TCON", "Genre", "genre", false},
    {fieldmask::kComment, &TagFields::Comment, "COMM", "Comment", "comment", true},
}};

// The fields whose values differ between two sets, as a mask.
inline FieldMask ChangedFieldMask(const TagFields& before, const TagFields& after)
{
    FieldMask mask;
    for (const TagFieldInfo& field : kTagFields) {
        mask |= before.*field.Member != after.*field.Member ? field.Mask : fieldmask::kNone;
    }
    return mask;
}

} // namespace varnello
