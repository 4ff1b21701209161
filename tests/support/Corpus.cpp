#include "Corpus.h"

#include "Mp3Builder.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <vector>

namespace varnello::testsupport {

namespace {

constexpr std::size_t kMpegFrameSize = 417;

constexpr std::array<const char*, 12> kArtists{
    "The Quiet Hours", "Marta Solé",     "Kōji Watanabe", "Nightjar",
    "Ensemble Aurora", "DJ Lumen",       "Björk Ørsted",  "Blue Cedar Trio",
    "Les Amants",      "Paper Lanterns", "Ana Conceição", "Static Bloom"};
constexpr std::array<const char*, 10> kGenres{"Rock", "Jazz",      "Electronic", "Pop",
                                              "Folk", "Classical", "(17)",       "Hip-Hop",
                                              "Soul", "Soundtrack"};
constexpr std::array<const char*, 8> kWords{"Morning", "River",  "Glass", "Echo",
                                            "Harbour", "Velvet", "Ember", "North"};

// Text in the form a tagger writes it: ISO-8859-1 when it fits (the builder
// takes UTF-8 here, so plain ASCII only), otherwise UTF-16 in version 3 and
// UTF-8 in version 4.
Bytes TextPayload(std::uint8_t major, const std::string& text)
{
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
        return Latin1Text(text);
    }
    if (major >= 4) {
        return Utf8Text(text);
    }
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        char32_t c = lead;
        std::size_t length = 1;
        if (lead >= 0xF0) {
            c = lead & 0x07u;
            length = 4;
        } else if (lead >= 0xE0) {
            c = lead & 0x0Fu;
            length = 3;
        } else if (lead >= 0xC0) {
            c = lead & 0x1Fu;
            length = 2;
        }
        for (std::size_t k = 1; k < length && i + k < text.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            units += static_cast<char16_t>(0xD800 + (c >> 10));
            units += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    return Utf16BomText(units);
}

Bytes RandomBytes(std::mt19937& random, std::size_t size)
{
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random());
    }
    return bytes;
}

Bytes Picture(std::mt19937& random, std::size_t size)
{
    Bytes data{0x00};
    Append(data, ToBytes("image/jpeg"));
    data.push_back(0x00);
    data.push_back(0x03); // front cover
    data.push_back(0x00); // no description
    Append(data, {0xFF, 0xD8, 0xFF, 0xE0});
    Append(data, RandomBytes(random, size - data.size()));
    return data;
}

// A 160 x 160 PNG cover for the demo: a warm lantern on a night-blue ground.
Bytes LanternCover()
{
    constexpr int kSide = 160;
    Bytes rows;
    rows.reserve(kSide * (1 + 3 * kSide));
    for (int y = 0; y < kSide; ++y) {
        rows.push_back(0); // no filter
        for (int x = 0; x < kSide; ++x) {
            const int dx = x - kSide / 2;
            const int dy = (y - kSide / 2) * 4 / 3;
            const int distance2 = dx * dx + dy * dy;
            const int glow = std::max(0, 255 - distance2 / 12);
            rows.push_back(static_cast<std::uint8_t>(std::min(255, 20 + glow)));
            rows.push_back(static_cast<std::uint8_t>(std::min(255, 30 + glow * 3 / 5)));
            rows.push_back(static_cast<std::uint8_t>(std::max(0, 90 - glow / 3 + y / 4)));
        }
    }
    return RgbPng(kSide, kSide, rows);
}

std::string Pick(std::mt19937& random, const auto& list)
{
    return list[random() % list.size()];
}

Bytes RealisticTag(std::mt19937& random, std::uint8_t major, std::size_t index, bool picture)
{
    Id3v2Builder tag;
    tag.Version(major);
    const std::string title = Pick(random, kWords) + " " + Pick(random, kWords);
    tag.Frame("TIT2", TextPayload(major, title));
    tag.Frame("TPE1", TextPayload(major, Pick(random, kArtists)));
    tag.Frame("TALB", TextPayload(major, Pick(random, kWords) + " Sessions"));
    tag.Frame("TPE2", TextPayload(major, Pick(random, kArtists)));
    tag.Frame(major >= 4 ? "TDRC" : "TYER",
              Latin1Text(std::to_string(1960 + static_cast<int>(random() % 64))));
    tag.Frame("TCON", Latin1Text(Pick(random, kGenres)));
    tag.Frame("TRCK", Latin1Text(std::to_string(index % 20 + 1) + "/20"));
    tag.Frame("TCOM", TextPayload(major, Pick(random, kArtists)));
    tag.Frame("TSSE", Latin1Text("LAME 3.100"));
    tag.Frame("COMM", Latin1Comment("eng", "", "Recorded live, take " + std::to_string(index)));
    tag.Frame("COMM",
              Latin1Comment("eng", "iTunNORM", " 00000A2B 00000B3C 00004D5E 00005F60 0001A2B3"));
    for (const char* name : {"replaygain_track_gain", "replaygain_track_peak",
                             "replaygain_album_gain", "replaygain_album_peak"}) {
        Bytes data = Latin1Text(name);
        data.push_back(0x00);
        Append(data, ToBytes("-6.48 dB"));
        tag.Frame("TXXX", data);
    }
    Bytes priv = ToBytes("www.example.com/player");
    priv.push_back(0x00);
    Append(priv, RandomBytes(random, 1024 + random() % 2048));
    tag.Frame("PRIV", priv);
    if (picture) {
        tag.Frame("APIC", Picture(random, 20 * 1024 + random() % (80 * 1024)));
    }
    const std::size_t padding = (random() % 4 == 0) ? 0 : 256 + random() % 3840;
    tag.Padding(padding);
    return tag.Build();
}

// Removes the MP3 files (any case of the extension) directly in the folder.
void RemoveMp3Files(const std::filesystem::path& folder)
{
    std::error_code error;
    std::vector<std::filesystem::path> doomed;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (extension == ".mp3" && !entry.is_directory(error)) {
            doomed.push_back(entry.path());
        }
    }
    for (const auto& path : doomed) {
        std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove(path, error);
    }
}

Id3v1Fields Id3v1(std::string title, std::string artist, std::string album, std::string year,
                  std::string comment, std::uint8_t genre, std::optional<std::uint8_t> track = {})
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

// A tag with the five text frames and a comment, in the version's encoding.
Id3v2Builder SixFields(std::uint8_t major, const std::string& title, const std::string& artist,
                       const std::string& album, const std::string& year, const std::string& genre,
                       const std::string& comment)
{
    Id3v2Builder tag;
    tag.Version(major);
    tag.Frame("TIT2", TextPayload(major, title));
    tag.Frame("TPE1", TextPayload(major, artist));
    tag.Frame("TALB", TextPayload(major, album));
    tag.Frame(major >= 4 ? "TDRC" : "TYER", Latin1Text(year));
    tag.Frame("TCON", TextPayload(major, genre));
    tag.Frame("COMM", Latin1Comment("eng", "", comment));
    return tag;
}

template <typename Write> void WriteDemoFiles(const Write& write)
{
    std::mt19937 random(7);
    constexpr std::size_t kFrames = 24; // about 10 KiB of audio each
    const auto audio = [&](const Bytes& tag) { return Mp3Builder().Tag(tag).Audio(kFrames); };

    write("01 - Blue in Green.mp3", audio(SixFields(3, "Blue in Green", "Miles Quartet",
                                                    "Kind of Grey", "1959", "Jazz", "Version 3 tag")
                                              .Frame("TRCK", Latin1Text("3/9"))
                                              .Padding(512)
                                              .Build()));
    write("02 - Café del Mar.mp3",
          audio(SixFields(4, "Café del Mar", "Energía Solar", "Ibiza Señales", "2004-05-06",
                          "Electronic", "Version 4, accented UTF-8")
                    .Build()));
    write("03 - 夜に駆ける.mp3", audio(SixFields(4, "夜に駆ける", "ヨアソビ", "ザ・ブック", "2019",
                                                 "J-Pop", "Version 4, Japanese UTF-8")
                                           .Build()));
    write("04 - Mötley Crüe.mp3",
          audio(SixFields(3, "Kickstart my Heart", "Mötley Crüe", "東京 Live", "1989", "Rock",
                          "Version 3, UTF-16 text")
                    .Build()));
    write("05 - ID3v1 only.mp3",
          Mp3Builder().Audio(kFrames).Id3v1(
              Id3v1("Only ID3v1", "Old Player", "Legacy", "1998", "No ID3v2 tag here", 17, 5)));
    write("06 - Both tags.mp3",
          audio(SixFields(3, "ID3v2 wins", "New Artist", "New Album", "2021", "Pop",
                          "The ID3v2 values are shown")
                    .Build())
              .Id3v1(Id3v1("ID3v1 loses", "Old Artist", "Old Album", "1990", "hidden", 13)));
    write("07 - No tag.mp3", Mp3Builder().Audio(kFrames));
    write("08 - Cover picture.mp3",
          audio(SixFields(3, "With a Cover", "Paper Lanterns", "Artwork", "2015", "Folk",
                          "A cover picture and padding")
                    .Frame("APIC", Apic("image/png", 3, "", LanternCover()))
                    .Frame("TRCK", Latin1Text("8"))
                    .Padding(2048)
                    .Build()));
    write("09 - Genre zero.mp3",
          Mp3Builder().Audio(kFrames).Id3v1(
              Id3v1("Genre Zero", "Blues Man", "Delta", "1930", "genre 0 shows empty", 0)));
    write("10 - Two line comment.mp3", audio(SixFields(3, "Two Lines", "Nightjar", "Notes", "2008",
                                                       "Ambient", "first line\nsecond line")
                                                 .Build()));
    // A frame ID with a '!' makes the ID3v2 tag unreadable; the ID3v1 tag shows.
    write("11 - Broken ID3v2 tag.mp3",
          audio(Id3v2Builder()
                    .Version(3)
                    .TextFrame("TIT2", "Unreadable")
                    .Frame("T!T2", {0, 0x41})
                    .Build())
              .Id3v1(Id3v1("Shown from ID3v1", "Fallback", "Rescue", "2000", "broken ID3v2", 8)));
    write("12 - UPPER CASE.MP3",
          audio(SixFields(4, "Upper-case extension", "Static Bloom", "CAPS", "2023", "Rock",
                          "Listed too")
                    .Build())
              .Id3v1(Id3v1("Upper-case extension", "Static Bloom", "CAPS", "2023", "", 17)));
}

} // namespace

CorpusStats WriteRealisticFile(const std::string& path, std::size_t index, std::uint32_t seed)
{
    std::mt19937 random(seed * 1000003u + static_cast<std::uint32_t>(index));
    const std::uint8_t major = index % 2 == 0 ? 3 : 4;
    const bool picture = random() % 4 == 0;
    const bool id3v1 = index % 2 == (index / 2) % 2; // half, mixed over both versions
    const Bytes tag = RealisticTag(random, major, index, picture);
    const std::size_t audioBytes = 64 * 1024 + random() % (192 * 1024 + 1);

    Mp3Builder file;
    file.Tag(tag).Audio(audioBytes / kMpegFrameSize);
    if (id3v1) {
        Id3v1Fields fields;
        fields.Title = "Track " + std::to_string(index);
        fields.Artist = "Static Bloom";
        fields.Album = "Sessions";
        fields.Year = "1999";
        fields.Comment = "ID3v1 comment";
        fields.Track = static_cast<std::uint8_t>(index % 20 + 1);
        fields.Genre = static_cast<std::uint8_t>(random() % 126);
        file.Id3v1(fields);
    }
    const Bytes bytes = file.Build();
    WriteFile(path, bytes);

    CorpusStats stats;
    stats.Files = 1;
    stats.WithPicture = picture ? 1 : 0;
    stats.WithId3v1 = id3v1 ? 1 : 0;
    stats.Bytes = bytes.size();
    stats.TagBytes = tag.size();
    return stats;
}

CorpusStats WriteRealisticCorpus(const std::string& folder, std::size_t count, std::uint32_t seed)
{
    CorpusStats total;
    for (std::size_t i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "track-%06zu.mp3", i + 1);
        const CorpusStats one =
            WriteRealisticFile((std::filesystem::path(folder) / name).string(), i, seed);
        total.Files += one.Files;
        total.WithPicture += one.WithPicture;
        total.WithId3v1 += one.WithId3v1;
        total.Bytes += one.Bytes;
        total.TagBytes += one.TagBytes;
    }
    return total;
}

std::size_t WriteDemoFolder(const std::string& folder)
{
    const std::filesystem::path dir(folder);
    std::filesystem::create_directories(dir);
    RemoveMp3Files(dir);
    std::size_t written = 0;
    const auto write = [&](const std::string& name, const Mp3Builder& file) {
        file.WriteTo((dir / name).string());
        ++written;
    };
    WriteDemoFiles(write);
    return written;
}

namespace {

constexpr const char* kCorpusMarker = ".varnello-benchmark-corpus";
constexpr const char* kCorpusStamp = ".corpus-complete";

// The names WriteRealisticCorpus gives: "track-" six digits ".mp3".
bool IsCorpusFileName(const std::string& name)
{
    return name.size() == 16 && name.rfind("track-", 0) == 0 && name.compare(12, 4, ".mp3") == 0 &&
           std::all_of(name.begin() + 6, name.begin() + 12,
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool MadeByBenchmark(const std::filesystem::path& folder)
{
    std::error_code error;
    return std::filesystem::exists(folder / kCorpusMarker, error) ||
           std::filesystem::exists(folder / kCorpusStamp, error);
}

// Removes the generated files and the stamp; the marker stays.
void RemoveCorpusFiles(const std::filesystem::path& folder)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> generated;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file() && IsCorpusFileName(entry.path().filename().string())) {
            generated.push_back(entry.path());
        }
    }
    for (const fs::path& path : generated) {
        fs::remove(path);
    }
    fs::remove(folder / kCorpusStamp);
}

} // namespace

std::string PrepareBenchmarkCorpus(std::string folder, std::size_t count)
{
    namespace fs = std::filesystem;
    if (folder.empty()) {
        folder =
            (fs::temp_directory_path() / ("varnello-listbench-" + std::to_string(count))).string();
    }
    std::error_code error;
    if (fs::exists(folder, error)) {
        if (!fs::is_directory(folder, error)) {
            std::fprintf(stderr, "%s is not a folder\n", folder.c_str());
            return {};
        }
        if (!MadeByBenchmark(folder) && !fs::is_empty(folder, error)) {
            std::fprintf(stderr,
                         "%s holds files that no benchmark wrote; give a new or empty folder\n",
                         folder.c_str());
            return {};
        }
    }
    const fs::path stamp = fs::path(folder) / kCorpusStamp;
    std::size_t stamped = 0;
    if (std::ifstream in(stamp); in >> stamped && stamped == count) {
        std::printf("Reusing %s\n", folder.c_str());
        return folder;
    }
    fs::create_directories(folder);
    RemoveCorpusFiles(folder);
    std::ofstream(fs::path(folder) / kCorpusMarker) << "Files written by a Varnello benchmark\n";
    std::printf("Generating %zu files in %s ...\n", count, folder.c_str());
    std::fflush(stdout);
    const CorpusStats stats = WriteRealisticCorpus(folder, count);
    std::ofstream(stamp) << stats.Files << "\n";
    std::printf("  %.2f GiB, %zu with a picture, %zu with ID3v1, ID3v2 tags %.1f KiB on average\n",
                static_cast<double>(stats.Bytes) / (1 << 30), stats.WithPicture, stats.WithId3v1,
                static_cast<double>(stats.TagBytes) / 1024.0 / static_cast<double>(stats.Files));
    return folder;
}

void RemoveBenchmarkCorpus(const std::string& folder)
{
    namespace fs = std::filesystem;
    if (!MadeByBenchmark(folder)) {
        return;
    }
    RemoveCorpusFiles(folder);
    fs::remove(fs::path(folder) / kCorpusMarker);
    std::error_code error;
    fs::remove(folder, error); // only when nothing else was put there
}

} // namespace varnello::testsupport
