#pragma once
// Checks of files after a save: the ID3v2 fields loaded again from disk, the
// raw ID3v1 block, and whether a run of bytes is still in the file.

#include "Mp3Builder.h"
#include "Tid3v2tag.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

namespace varnello::testsupport {

struct LoadedId3v2
{
    StatusWord Status;
    int Major = 0;
    std::string Title;
    std::string Artist;
    std::string Album;
    std::string Year;
    std::string Genre;
    std::string Comment;
    std::uint32_t FrameCount = 0;
};

// ID3v1 fields for the builder, without spelling out every member.
inline Id3v1Fields MakeId3v1(std::string title, std::string artist = "", std::string album = "",
                             std::string year = "", std::string comment = "",
                             std::uint8_t genre = 255, std::optional<std::uint8_t> track = {})
{
    Id3v1Fields fields;
    fields.Title = std::move(title);
    fields.Artist = std::move(artist);
    fields.Album = std::move(album);
    fields.Year = std::move(year);
    fields.Comment = std::move(comment);
    fields.Genre = genre;
    fields.Track = track;
    return fields;
}

inline LoadedId3v2 LoadId3v2(const std::string& path)
{
    LoadedId3v2 loaded;
    Tid3v2tag tag;
    loaded.Status = tag.LoadFromFile(path, 0);
    if (!status::IsSuccess(loaded.Status)) {
        return loaded;
    }
    loaded.Major = tag.MajorVersion;
    loaded.FrameCount = tag.Frames.Count();
    tag.GetTextFrame("TIT2", loaded.Title);
    tag.GetTextFrame("TPE1", loaded.Artist);
    tag.GetTextFrame("TALB", loaded.Album);
    tag.GetYear(loaded.Year);
    tag.GetTextFrame("TCON", loaded.Genre);
    COMM comment;
    tag.GetComment(comment, "", "None");
    loaded.Comment = comment.Text;
    return loaded;
}

// The last 128 bytes of the file, or an empty block when it is shorter.
inline Bytes LastBlock(const std::string& path)
{
    const Bytes file = ReadFile(path);
    if (file.size() < 128) {
        return {};
    }
    return Bytes(file.end() - 128, file.end());
}

// An ID3v1 text field as stored, up to its first zero byte.
inline std::string Id3v1Field(const Bytes& block, std::size_t offset, std::size_t size)
{
    std::string text;
    for (std::size_t i = offset; i < offset + size && i < block.size() && block[i] != 0; ++i) {
        text += static_cast<char>(block[i]);
    }
    return text;
}

inline bool HasId3v1Block(const std::string& path)
{
    const Bytes block = LastBlock(path);
    return block.size() == 128 && block[0] == 'T' && block[1] == 'A' && block[2] == 'G';
}

inline bool ContainsBytes(const Bytes& haystack, const Bytes& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) !=
           haystack.end();
}

// One frame, header and data, as a version 3 or 4 tag stores it.
inline Bytes FrameBytes(std::uint8_t major, std::string_view id, const Bytes& data)
{
    return Id3v2Builder().Version(major).Frame(id, data).Body();
}

} // namespace varnello::testsupport
