#pragma once
// Reads and rewrites the 128-byte ID3v1 tag in the last 128 bytes of a file.
// No file handle stays open between calls. Text is UTF-8 in memory and
// ISO-8859-1 on disk.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace varnello {

class FileStream;

// The result codes of Mp3Mng.
enum class Mp3Status : int
{
    kFileNotFound = 1,
    kNotMp3 = 2,
    kNoTagInformation = 3,
    kSetFlagError = 4,
    kSetTitleError = 5,
    kSetArtistError = 6,
    kSetAlbumError = 7,
    kSetYearError = 8,
    kSetCommentError = 9,
    kOpenFailed = 14,
    kReadFailed = 15,
    kAttributesNotRestored = 16,
    kOk = 4096,
};

// The codes under their usual names, mp3status::kOk and so on.
namespace mp3status {
using enum Mp3Status;
} // namespace mp3status

class Mp3Mng
{
public:
    Mp3Mng();

    std::array<std::uint8_t, 128> TagBuffer{};
    std::string FileName;
    bool TagPresent = false;
    bool ShowMessages = false;

    // Shown by ShowStatus while ShowMessages is true; a user interface connects
    // it to a message box. The core itself shows nothing.
    std::function<void(Mp3Status code, const std::string& message)> StatusHook;

    Mp3Status CheckFile(const std::string& fileName) const;
    Mp3Status Open(const std::string& fileName);
    // Open on a file that the caller has opened for reading already, so that
    // a listing reads both tags of a file through one open. The name decides
    // as in CheckFile whether the file counts as an MP3 file.
    Mp3Status Open(const std::string& fileName, FileStream& file);
    Mp3Status ReadTag();
    bool HasTag() const { return TagPresent; }

    void GetMagic(std::string& text) const;
    void GetTitle(std::string& text) const;
    void GetArtist(std::string& text) const;
    void GetAlbum(std::string& text) const;
    void GetYear(std::string& text) const;
    void GetComment(std::string& text) const;
    std::uint8_t GetGenre() const;
    // The track number of the 1.1 layout (byte 125 zero, byte 126 the
    // number), or 0 when the tag has none.
    std::uint8_t GetTrack() const;

    void SetTitle(std::string_view text);
    void SetArtist(std::string_view text);
    void SetAlbum(std::string_view text);
    void SetYear(std::string_view text);
    void SetComment(std::string_view text);
    void SetGenre(std::uint8_t genre);
    // Writes the 1.1 layout: byte 125 zero, which ends the comment at 28
    // bytes, and the number (1 to 255) in byte 126.
    void SetTrack(std::uint8_t track);

    Mp3Status WriteTag();
    void ShowStatus(Mp3Status code);

    static std::string StatusText(Mp3Status code);
};

} // namespace varnello
