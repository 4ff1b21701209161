#pragma once
// One row of the file table and the record of one failed save, as the window
// and the command-line tool share them. Text is UTF-8.

#include "StatusWord.h"

#include <string>
#include <vector>

namespace varnello {

// Bit 0: the ID3v2 tag loaded (status word 255 or less); bit 1: an ID3v1 tag
// is present. The number shows in the table and the tool's listing.
enum class TagKind : int
{
    kNone = 0,
    kId3v2 = 1,
    kId3v1 = 2,
    kBoth = 3,
};

// The kinds under their usual names, tagkind::kBoth and so on.
namespace tagkind {
using enum TagKind;
} // namespace tagkind

constexpr TagKind operator|(TagKind a, TagKind b)
{
    return static_cast<TagKind>(static_cast<int>(a) | static_cast<int>(b));
}
constexpr TagKind& operator|=(TagKind& a, TagKind b)
{
    return a = a | b;
}
// Whether `kind` includes the tag(s) of `part`.
constexpr bool Has(TagKind kind, TagKind part)
{
    return (static_cast<int>(kind) & static_cast<int>(part)) == static_cast<int>(part);
}

struct TagFields
{
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    std::string Comment;
    // After the six in every editor and the tool. The initialisers let a set
    // of the first six be written as a list of six.
    std::string Track{}; // "n" or "n/total"
    std::string Disc{};  // the same form
    std::string AlbumArtist{};

    bool operator==(const TagFields&) const = default;
};

struct FileRow
{
    int No = 0; // position when the row was added, from 0
    varnello::TagKind TagKind = tagkind::kNone;
    std::string FileName; // without folder
    TagFields Fields;
};

struct SaveFailure
{
    std::string FileName;
    StatusWord Status; // of the ID3v2 save
};

// A set of fields, one bit each: which fields a multi-file save writes
// (the ticked "Modify" boxes), which ones differ, which ones are not saved.
class FieldMask
{
public:
    constexpr FieldMask() = default;
    constexpr explicit FieldMask(unsigned bits) : m_bits(bits) {}

    constexpr bool Empty() const { return m_bits == 0; }
    // Whether every field of `fields` is in the set.
    constexpr bool Has(FieldMask fields) const { return (m_bits & fields.m_bits) == fields.m_bits; }

    constexpr FieldMask& operator|=(FieldMask other)
    {
        m_bits |= other.m_bits;
        return *this;
    }
    friend constexpr FieldMask operator|(FieldMask a, FieldMask b) { return a |= b; }
    friend constexpr bool operator==(FieldMask, FieldMask) = default;

private:
    unsigned m_bits = 0;
};

namespace fieldmask {
inline constexpr FieldMask kNone{};
inline constexpr FieldMask kTitle{1};
inline constexpr FieldMask kArtist{2};
inline constexpr FieldMask kAlbum{4};
inline constexpr FieldMask kYear{8};
inline constexpr FieldMask kGenre{16};
inline constexpr FieldMask kComment{32};
// The six fields every editor has had from the start.
inline constexpr FieldMask kAll{63};
inline constexpr FieldMask kTrack{64};
inline constexpr FieldMask kDisc{128};
inline constexpr FieldMask kAlbumArtist{256};
} // namespace fieldmask

// folder + separator + name; a folder that already ends in a separator (a
// root) gets none added.
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace varnello
