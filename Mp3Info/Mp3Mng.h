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

namespace mp3status {
inline constexpr int kFileNotFound = 1;
inline constexpr int kNotMp3 = 2;
inline constexpr int kNoTagInformation = 3;
inline constexpr int kSetFlagError = 4;
inline constexpr int kSetTitleError = 5;
inline constexpr int kSetArtistError = 6;
inline constexpr int kSetAlbumError = 7;
inline constexpr int kSetYearError = 8;
inline constexpr int kSetCommentError = 9;
inline constexpr int kOpenFailed = 14;
inline constexpr int kReadFailed = 15;
inline constexpr int kAttributesNotRestored = 16;
inline constexpr int kOk = 4096;
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
    std::function<void(int code, const std::string& message)> StatusHook;

    int CheckFile(const std::string& fileName) const;
    int Open(const std::string& fileName);
    // Open on a file that the caller has opened for reading already, so that
    // a listing reads both tags of a file through one open. The name decides
    // as in CheckFile whether the file counts as an MP3 file.
    int Open(const std::string& fileName, FileStream& file);
    int ReadTag();
    bool HasTag() const { return TagPresent; }

    void GetMagic(std::string& text) const;
    void GetTitle(std::string& text) const;
    void GetArtist(std::string& text) const;
    void GetAlbum(std::string& text) const;
    void GetYear(std::string& text) const;
    void GetComment(std::string& text) const;
    std::uint8_t GetGenre() const;

    void SetTitle(std::string_view text);
    void SetArtist(std::string_view text);
    void SetAlbum(std::string_view text);
    void SetYear(std::string_view text);
    void SetComment(std::string_view text);
    void SetGenre(std::uint8_t genre);

    int WriteTag();
    void ShowStatus(int code);

    static std::string StatusText(int code);
};

} // namespace varnello
