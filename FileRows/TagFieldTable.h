#pragma once
// The fields the editors and the tool work on, described once: the member of
// TagFields, the ID3v2 frame that stores it, its label, the tool's option
// name, its bit in a field mask, whether it may hold line breaks, and its
// placeholder in file name patterns ("%title%"; none for the genre and the
// comment).
// kTagFields are the six fields every editor has always had; kMoreTagFields
// (track, disc, album artist) follow them in the window and the tool;
// kAllTagFields is both, in this order. Everything that walks the fields
// walks one of these tables.

#include "FileRow.h"

#include <algorithm>
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
    const char* Placeholder; // without the percent signs; null: none
};

inline constexpr std::array<TagFieldInfo, 6> kTagFields{{
    {fieldmask::kTitle, &TagFields::Title, "TIT2", "Title", "title", false, "title"},
    {fieldmask::kArtist, &TagFields::Artist, "TPE1", "Artist", "artist", false, "artist"},
    {fieldmask::kAlbum, &TagFields::Album, "TALB", "Album", "album", false, "album"},
    {fieldmask::kYear, &TagFields::Year, "TYER", "Year", "year", false, "year"},
    {fieldmask::kGenre, &TagFields::Genre, "TCON", "Genre", "genre", false, nullptr},
    {fieldmask::kComment, &TagFields::Comment, "COMM", "Comment", "comment", true, nullptr},
}};

inline constexpr std::array<TagFieldInfo, 3> kMoreTagFields{{
    {fieldmask::kTrack, &TagFields::Track, "TRCK", "Track", "track", false, "track"},
    {fieldmask::kDisc, &TagFields::Disc, "TPOS", "Disc", "disc", false, "disc"},
    {fieldmask::kAlbumArtist, &TagFields::AlbumArtist, "TPE2", "Album artist", "album-artist",
     false, "albumartist"},
}};

inline constexpr auto kAllTagFields = [] {
    std::array<TagFieldInfo, kTagFields.size() + kMoreTagFields.size()> all{};
    std::copy(kMoreTagFields.begin(), kMoreTagFields.end(),
              std::copy(kTagFields.begin(), kTagFields.end(), all.begin()));
    return all;
}();

// Whether the field holds a number, optionally with its total ("3/12").
constexpr bool IsNumberPairField(const TagFieldInfo& field)
{
    return field.Mask == fieldmask::kTrack || field.Mask == fieldmask::kDisc;
}

// The fields whose values differ between two sets, as a mask.
inline FieldMask ChangedFieldMask(const TagFields& before, const TagFields& after)
{
    FieldMask mask;
    for (const TagFieldInfo& field : kAllTagFields) {
        mask |= before.*field.Member != after.*field.Member ? field.Mask : fieldmask::kNone;
    }
    return mask;
}

} // namespace varnello
