// Writes the starting corpus of the fuzz targets into a folder: small files
// of each kind the engine reads, built byte by byte with the test builder.
// Usage: varnello-fuzz-seeds FOLDER

#include "Mp3Builder.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace varnello::testsupport;

Id3v1Fields SomeId3v1()
{
    Id3v1Fields fields;
    fields.Title = "Title";
    fields.Artist = "Artist";
    fields.Year = "1999";
    fields.Comment = "Comment";
    fields.Track = 3;
    fields.Genre = 17;
    return fields;
}

Id3v2Builder CommonFrames(std::uint8_t major)
{
    Id3v2Builder tag;
    tag.Version(major)
        .TextFrame("TIT2", "Title")
        .TextFrame("TPE1", "Artist")
        .TextFrame("TALB", "Album")
        .TextFrame(major == 4 ? "TDRC" : "TYER", "2004")
        .TextFrame("TCON", "(17)Rock")
        .Frame("COMM", Latin1Comment("eng", "", "A comment\r\nsecond line"));
    return tag;
}

Bytes File(const Id3v2Builder& tag, bool id3v1 = false)
{
    Mp3Builder file;
    file.Tag(tag.Build()).Audio(1);
    if (id3v1) {
        file.Id3v1(SomeId3v1());
    }
    return file.Build();
}

std::vector<std::pair<std::string, Bytes>> Seeds()
{
    std::vector<std::pair<std::string, Bytes>> seeds;
    seeds.emplace_back("v3-plain", File(CommonFrames(3).Padding(64), true));
    seeds.emplace_back("v4-unicode", File(CommonFrames(4)
                                              .Frame("TIT2", Utf16BomText(u"\u65e5\U0001F3B5"))
                                              .Frame("TPE1", Utf8Text("Caf\xc3\xa9"))
                                              .Frame("TALB", Utf16BEText(u"Album"))
                                              .Padding(32)));
    seeds.emplace_back("v3-unsync",
                       File(Id3v2Builder()
                                .Version(3)
                                .Frame("TIT2", Bytes{0x00, 'a', 0xFF, 0xE0, 0xFF, 0x00, 'b', 0xFF})
                                .Frame("APIC", Bytes{0x00, 'i', 0x00, 0x03, 0x00, 0xFF, 0xD8, 0xFF})
                                .Unsync()));
    seeds.emplace_back("v3-compressed", File(Id3v2Builder()
                                                 .Version(3)
                                                 .CompressedFrameV3("TIT2", Latin1Text("Squeezed"))
                                                 .TextFrame("TPE1", "Artist")));
    seeds.emplace_back(
        "v3-ext-crc",
        File(CommonFrames(3).ExtendedHeaderV3(16, Crc32(ToBytes("frames"))).Padding(16), true));
    seeds.emplace_back("v4-ext-all",
                       File(CommonFrames(4).ExtendedHeaderV4(true, 0x12345678u, 0x2A).Padding(8)));
    Bytes dataLength;
    AppendSyncsafe32(dataLength, 8);
    Bytes grouped{0x07, 0x81};
    Append(grouped, dataLength);
    seeds.emplace_back(
        "v4-frame-flags",
        File(Id3v2Builder()
                 .Version(4)
                 .Frame("TIT2", ZlibCompress(Latin1Text("Squeezed")), 0x00, 0x09, dataLength)
                 .Frame("TPE1", UnsyncBytes(Bytes{0x00, 'a', 0xFF, 0xE0}), 0x00, 0x02)
                 .Frame("PRIV", Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 0x60, 0x45, grouped)
                 .HeaderFlags(0x10)));
    seeds.emplace_back("id3v1-only", Mp3Builder().Audio(1).Id3v1(SomeId3v1()).Build());
    seeds.emplace_back("no-tag", Mp3Builder().Audio(1).Build());
    seeds.emplace_back("mp3e-padding",
                       File(Id3v2Builder().Version(3).TextFrame("TIT2", "T").Raw(ToBytes("MP3e"))));
    // Frames that cross the 16 KiB refills of the body reader, with bytes that
    // unsynchronisation changes on both sides of each boundary.
    Bytes large(20000, 0xFF);
    for (std::size_t i = 0; i < large.size(); i += 3) {
        large[i] = static_cast<std::uint8_t>(i % 7 == 0 ? 0x00 : 0xE5);
    }
    seeds.emplace_back("v3-large-unsync",
                       File(Id3v2Builder().Version(3).Frame("APIC", large).Unsync(), true));
    seeds.emplace_back("v4-large", File(CommonFrames(4).Frame("PRIV", large).Padding(100)));
    // Version 2.2: three-character IDs, a picture and a link to convert, a
    // frame without a version 3 form, and a whole-tag unsynchronisation.
    seeds.emplace_back("v22-plain",
                       File(Id3v2Builder()
                                .Version(2)
                                .FrameV22("TT2", Latin1Text("Title"))
                                .FrameV22("TP1", Latin1Text("Artist"))
                                .FrameV22("TAL", Latin1Text("Album"))
                                .FrameV22("TYE", Latin1Text("1999"))
                                .FrameV22("TCO", Latin1Text("(17)"))
                                .FrameV22("COM", Latin1Comment("eng", "", "Comment"))
                                .FrameV22("TRK", Latin1Text("3/12"))
                                .FrameV22("PIC", PicV22("JPG", 3, "Cover", Bytes{0xFF, 0xD8, 0xFF}))
                                .FrameV22("LNK", ToBytes(std::string_view("TT2http://x\0id", 14)))
                                .Padding(32),
                            true));
    seeds.emplace_back("v22-unconvertible",
                       File(Id3v2Builder()
                                .Version(2)
                                .FrameV22("TT2", Latin1Text("Title"))
                                .FrameV22("CRM", ToBytes(std::string_view("owner\0xyz", 9)))
                                .FrameV22("XYZ", Bytes{1, 2, 3})));
    seeds.emplace_back("v22-unsync",
                       File(Id3v2Builder()
                                .Version(2)
                                .FrameV22("TT2", Bytes{0x00, 'a', 0xFF, 0xE0, 0xFF, 0x00, 'b'})
                                .FrameV22("PIC", PicV22("PNG", 0, "", Bytes{0xFF, 0xE0, 0xFF}))
                                .Unsync()));
    // Tags as older taggers wrote them, and one whose size takes in audio.
    seeds.emplace_back("v4-plain-sizes", File(Id3v2Builder()
                                                  .Version(4)
                                                  .PlainFrameSizes()
                                                  .TextFrame("TIT2", "Title")
                                                  .Frame("PRIV", Bytes(300, 0x41))
                                                  .Padding(20)));
    seeds.emplace_back("v4-header-unsync",
                       File(Id3v2Builder()
                                .Version(4)
                                .HeaderFlags(0x80)
                                .Frame("APIC", UnsyncBytes(Bytes{0x00, 'i', 0x00, 0x03, 0x00, 0xFF,
                                                                 0xD8, 0xFF, 0xE0}))
                                .Padding(10)));
    seeds.emplace_back("v3-junk-padding", File(Id3v2Builder()
                                                   .Version(3)
                                                   .TextFrame("TIT2", "T")
                                                   .Raw(Bytes{0, 0, 0, 0, 'J', 'U', 'N', 'K'})
                                                   .Padding(20)));
    Id3v2Builder claiming = Id3v2Builder().Version(3).TextFrame("TIT2", "T").Padding(8);
    claiming.SizeOverride(static_cast<std::uint32_t>(claiming.Body().size() + 500));
    seeds.emplace_back("v3-size-into-audio", Mp3Builder().Tag(claiming.Build()).Audio(3).Build());
    seeds.emplace_back("v3-pictures",
                       File(Id3v2Builder()
                                .Version(3)
                                .Frame("APIC", Apic("image/jpeg", 0, "other", TinyJpeg()))
                                .CompressedFrameV3("APIC", Apic("image/png", 3, "front", TinyPng()))
                                .TextFrame("TIT2", "T"),
                            true));
    seeds.emplace_back("v4-picture-unsync",
                       File(Id3v2Builder().Version(4).Frame(
                           "APIC", UnsyncBytes(Apic("image/jpeg", 3, "", TinyJpeg())), 0, 0x02)));
    // Pictures on their own, for the picture check.
    seeds.emplace_back("picture-png", TinyPng());
    seeds.emplace_back("picture-jpeg", TinyJpeg());
    return seeds;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::create_directories(argv[1]);
    for (const auto& [name, bytes] : Seeds()) {
        WriteFile((std::filesystem::path(argv[1]) / (name + ".mp3")).string(), bytes);
    }
    return 0;
}
