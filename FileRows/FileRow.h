#pragma once
// One row of the file table and the record of one failed save, as the window
// and the command-line tool share them. Text is UTF-8.

#include "StatusWord.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnello {

// Bit 0: the ID3v2 tag loaded (status word 255 or less); bit 1: an ID3v1 tag
// is present.
namespace tagkind {
inline constexpr int kNone = 0;
inline constexpr int kId3v2 = 1;
inline constexpr int kId3v1 = 2;
inline constexpr int kBoth = 3;
} // namespace tagkind

struct TagFields
{
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    std::string Comment;

    bool operator==(const TagFields&) const = default;
};

struct FileRow
{
    int No = 0; // position when the row was added, from 0
    int TagKind = 0;
    std::string FileName; // without folder
    TagFields Fields;
};

struct SaveFailure
{
    std::string FileName;
    StatusWord Status; // of the ID3v2 save
};

// Which fields a multi-file save writes (the ticked "Modify" boxes).
namespace fieldmask {
inline constexpr unsigned kTitle = 1;
inline constexpr unsigned kArtist = 2;
inline constexpr unsigned kAlbum = 4;
inline constexpr unsigned kYear = 8;
inline constexpr unsigned kGenre = 16;
inline constexpr unsigned kComment = 32;
inline constexpr unsigned kAll = 63;
} // namespace fieldmask

// folder + separator + name; a folder that already ends in a separator (a
// root) gets none added.
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace varnello
