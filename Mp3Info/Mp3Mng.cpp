#include "Mp3Mng.h"

#include "FileStream.h"
#include "Genres.h"
#include "TextCodec.h"

namespace varnello {

namespace {

constexpr std::size_t kTagSize = 128;

// Where each field of the 128-byte block sits. Bytes 125 and 126 (a zero and
// the track number in the 1.1 layout) belong to no field, so they survive
// every edit but that of the track.
struct Field
{
    std::size_t Offset;
    std::size_t Size;
};
constexpr Field kMagic{0, 3};
constexpr Field kTitle{3, 30};
constexpr Field kArtist{33, 30};
constexpr Field kAlbum{63, 30};
constexpr Field kYear{93, 4};
constexpr Field kComment{97, 28};
constexpr std::size_t kTrackMarkOffset = 125;
constexpr std::size_t kTrackOffset = 126;
constexpr std::size_t kGenreOffset = 127;

// The field's bytes up to the first zero, trimmed of blanks and control bytes.
std::string FieldBytes(const std::array<std::uint8_t, kTagSize>& buffer, Field field)
{
    std::string bytes;
    for (std::size_t i = 0; i < field.Size && buffer[field.Offset + i] != 0; ++i) {
        bytes.push_back(static_cast<char>(buffer[field.Offset + i]));
    }
    return TrimControl(bytes);
}

void StoreField(std::array<std::uint8_t, kTagSize>& buffer, Field field, std::string_view utf8)
{
    std::string text = TrimControl(utf8);
    text = text.substr(0, text.find('\0'));
    const std::string latin1 = Utf8ToLatin1(text, '?');
    for (std::size_t i = 0; i < field.Size; ++i) {
        buffer[field.Offset + i] = i < latin1.size() ? static_cast<std::uint8_t>(latin1[i]) : 0;
    }
}

// The magic field, trimmed of blanks and control bytes and read up to a zero
// byte, is "TAG" in any case. As the field holds only three bytes, that is
// the same as its three bytes being those letters.
bool IsTagMarker(const std::array<std::uint8_t, kTagSize>& buffer)
{
    const auto lower = [](std::uint8_t b) {
        return (b >= 'A' && b <= 'Z') ? static_cast<std::uint8_t>(b - 'A' + 'a') : b;
    };
    return lower(buffer[kMagic.Offset]) == 't' && lower(buffer[kMagic.Offset + 1]) == 'a' &&
           lower(buffer[kMagic.Offset + 2]) == 'g';
}

bool HasMp3Extension(const std::string& fileName)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return false;
    }
    std::string extension = fileName.substr(dot);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return extension == ".mp3" || extension == ".mp2";
}

// Reads the last 128 bytes of an open file into the buffer and tells whether
// they hold a tag.
Mp3Status ReadLastBlock(FileStream& file, std::array<std::uint8_t, kTagSize>& buffer, bool& present)
{
    try {
        const std::uint64_t size = file.Size();
        file.Seek(size > kTagSize ? size - kTagSize : 0);
        if (file.Read(buffer) < kTagSize) {
            return mp3status::kReadFailed;
        }
    } catch (const std::exception&) {
        return mp3status::kReadFailed;
    }
    present = IsTagMarker(buffer);
    return mp3status::kOk;
}

// Overwrites the last 128 bytes of the file, but only while they still hold a
// tag: a file changed since it was read keeps its audio.
Mp3Status WriteLastBlock(const std::string& path, const std::array<std::uint8_t, kTagSize>& buffer)
{
    FileStream file;
    try {
        file = FileStream(path, FileStream::Access::ReadWrite);
    } catch (const EFileOpenError&) {
        return mp3status::kOpenFailed;
    }
    try {
        const std::uint64_t size = file.Size();
        if (size < kTagSize) {
            return mp3status::kReadFailed;
        }
        std::array<std::uint8_t, kTagSize> onDisk{};
        file.Seek(size - kTagSize);
        file.ReadExact(onDisk);
        if (!IsTagMarker(onDisk)) {
            return mp3status::kNoTagInformation;
        }
        file.Seek(size - kTagSize);
        file.Write(buffer);
        file.Close();
    } catch (const std::exception&) {
        return mp3status::kReadFailed;
    }
    return mp3status::kOk;
}

} // namespace

Mp3Mng::Mp3Mng() = default;

Mp3Status Mp3Mng::CheckFile(const std::string& fileName) const
{
    if (fileName.empty() || !QueryAttributes(fileName).Exists) {
        return mp3status::kFileNotFound;
    }
    return HasMp3Extension(fileName) ? mp3status::kOk : mp3status::kNotMp3;
}

Mp3Status Mp3Mng::Open(const std::string& fileName)
{
    TagPresent = false;
    TagBuffer.fill(0);
    FileName = fileName;
    ShowStatus(ReadTag());
    return mp3status::kOk;
}

Mp3Status Mp3Mng::Open(const std::string& fileName, FileStream& file)
{
    TagPresent = false;
    TagBuffer.fill(0);
    FileName = fileName;
    Mp3Status result = mp3status::kFileNotFound;
    if (!fileName.empty()) {
        result = HasMp3Extension(fileName) ? ReadLastBlock(file, TagBuffer, TagPresent)
                                           : mp3status::kNotMp3;
    }
    ShowStatus(result);
    return mp3status::kOk;
}

Mp3Status Mp3Mng::ReadTag()
{
    if (TagPresent) {
        return mp3status::kOk;
    }
    const Mp3Status check = CheckFile(FileName);
    if (check != mp3status::kOk) {
        return check;
    }
    FileStream file;
    try {
        file = FileStream(FileName, FileStream::Access::Read);
    } catch (const EFileOpenError&) {
        return mp3status::kOpenFailed;
    }
    return ReadLastBlock(file, TagBuffer, TagPresent);
}

void Mp3Mng::GetMagic(std::string& text) const
{
    text = Latin1ToUtf8(FieldBytes(TagBuffer, kMagic));
}

void Mp3Mng::GetTitle(std::string& text) const
{
    if (TagPresent) {
        text = Latin1ToUtf8(FieldBytes(TagBuffer, kTitle));
    }
}

void Mp3Mng::GetArtist(std::string& text) const
{
    if (TagPresent) {
        text = Latin1ToUtf8(FieldBytes(TagBuffer, kArtist));
    }
}

void Mp3Mng::GetAlbum(std::string& text) const
{
    if (TagPresent) {
        text = Latin1ToUtf8(FieldBytes(TagBuffer, kAlbum));
    }
}

void Mp3Mng::GetYear(std::string& text) const
{
    if (TagPresent) {
        text = Latin1ToUtf8(FieldBytes(TagBuffer, kYear));
    }
}

void Mp3Mng::GetComment(std::string& text) const
{
    if (TagPresent) {
        text = Latin1ToUtf8(FieldBytes(TagBuffer, kComment));
    }
}

std::uint8_t Mp3Mng::GetGenre() const
{
    return TagPresent ? TagBuffer[kGenreOffset] : 255;
}

std::uint8_t Mp3Mng::GetTrack() const
{
    return TagPresent && TagBuffer[kTrackMarkOffset] == 0 ? TagBuffer[kTrackOffset] : 0;
}

void Mp3Mng::SetTitle(std::string_view text)
{
    StoreField(TagBuffer, kTitle, text);
}
void Mp3Mng::SetArtist(std::string_view text)
{
    StoreField(TagBuffer, kArtist, text);
}
void Mp3Mng::SetAlbum(std::string_view text)
{
    StoreField(TagBuffer, kAlbum, text);
}
void Mp3Mng::SetYear(std::string_view text)
{
    StoreField(TagBuffer, kYear, text);
}
void Mp3Mng::SetComment(std::string_view text)
{
    StoreField(TagBuffer, kComment, text);
}
void Mp3Mng::SetGenre(std::uint8_t genre)
{
    TagBuffer[kGenreOffset] = genre;
}
void Mp3Mng::SetTrack(std::uint8_t track)
{
    TagBuffer[kTrackMarkOffset] = 0;
    TagBuffer[kTrackOffset] = track;
}

Mp3Status Mp3Mng::WriteTag()
{
    const Mp3Status check = CheckFile(FileName);
    if (check != mp3status::kOk) {
        return check;
    }
    // A tag is only ever rewritten, never created over the end of the audio.
    if (!TagPresent) {
        return mp3status::kNoTagInformation;
    }
    // A read-only file fails to open for writing: its mode is never changed
    // to get a tag in.
    return WriteLastBlock(FileName, TagBuffer);
}

void Mp3Mng::ShowStatus(Mp3Status code)
{
    if (!ShowMessages || !StatusHook) {
        return;
    }
    const bool listed = (code >= mp3status::kFileNotFound && code <= mp3status::kReadFailed) ||
                        code == mp3status::kOk;
    if (listed) {
        StatusHook(code, StatusText(code));
    }
}

std::string Mp3Mng::StatusText(Mp3Status code)
{
    switch (code) {
    case mp3status::kFileNotFound:
        return "File not't found.";
    case mp3status::kNotMp3:
        return "The file is not a *.mp3 one.";
    case mp3status::kNoTagInformation:
        return "Can't get Tag information.";
    case mp3status::kSetFlagError:
        return "Set flag error.";
    case mp3status::kSetTitleError:
        return "Set title error.";
    case mp3status::kSetArtistError:
        return "Set artist Error";
    case mp3status::kSetAlbumError:
        return "Set albumError";
    case mp3status::kSetYearError:
        return "Set year Error";
    case mp3status::kSetCommentError:
        return "Set comment Error";
    case mp3status::kOpenFailed:
        return "Open file failed";
    case mp3status::kReadFailed:
        return "Read file failed";
    case mp3status::kOk:
        return "That's all right";
    default:
        return {};
    }
}

} // namespace varnello
