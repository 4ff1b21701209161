#include "StatusWord.h"

#include <ostream>

namespace varnello {

std::string StatusMessage(unsigned code)
{
    switch (code) {
    case 0:
        return "OK";
    case 1:
        return "file couldn't be opened";
    case 2:
        return "file couldn't be opened for writing";
    case 3:
        return "Couldn't read from file";
    case 4:
        return "Couldn't write to file";
    case 5:
        return "Unspecified I/O Error";
    case 6:
        return "Another save of this file is still running; not saved";
    case 8:
        return "Specified tag location past EOF";
    case 9:
        return "The file was changed by another program during the save; not saved";
    case 17:
        return "ID3v2 MAJOR version not supported";
    case 18:
        return "ID3v2 MINOR version not supported";
    case 32:
        return "Bad specified tag size ";
    case 33:
        return "Bad Frame ID found";
    case 34:
        return "Tag exceeds size limits";
    case 35:
        return "The tag's size reaches into the audio; not saved, so no audio is lost";
    case 36:
        return "The file's ID3v2 tag could not be read; not saved, so nothing in it is lost";
    case 37:
        return "A frame of the ID3v2.2 tag cannot be converted; not saved, so it is not lost";
    case 38:
        return "A field could not be written into the tag; not saved";
    case 39:
        return "A value cannot be kept as given (control characters, invalid UTF-8, or a track "
               "or disc that is not a number from 1 to 9999); not saved";
    case 64:
        return "Unknown encryption method";
    case 192:
        return "This library doesn't support: Encryption ";
    case 193:
        return "This library doesn't support: Grouping";
    case 194:
        return "This library doesn't support: Data length could not be calculated because the "
               "data is encrypted";
    case 252:
        return "General Errors: Tag is still in the process of loading   ";
    case 253:
        return "General Errors: No frames in the tag";
    case 254:
        return "General Errors: Bad ID3v2 tag ";
    case 255:
        return "Unknown Error Encountered";
    default:
        return "Unknown error";
    }
}

std::ostream& operator<<(std::ostream& out, StatusWord word)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    out << "0x";
    for (int shift = 12; shift >= 0; shift -= 4) {
        out << kDigits[(word.Value() >> shift) & 0xFu];
    }
    return out;
}

std::vector<std::string> WarningMessages(StatusWord word)
{
    static const struct
    {
        StatusWord Bit;
        const char* Text;
    } kWarnings[] = {
        {status::kWarnHeaderFlags, "The tag header has flags this version does not define"},
        {status::kWarnExtendedFlags, "The extended header has flags this version does not define"},
        {status::kWarnJunkPadding,
         "Bytes after the last frame that are not a frame were read as padding"},
        {status::kWarnRevision, "The tag has a nonzero revision; a save writes revision 0"},
        {status::kWarnSkipped, "Frames were written as they are instead of as requested"},
        {status::kWarnPadding, "The padding does not match the extended header"},
        {status::kWarnPlainSizes,
         "Frame sizes are plain integers instead of syncsafe ones; a save writes them syncsafe"},
        {status::kWarnTagUnsync, "The tag header's unsynchronisation applies to every frame"},
    };
    std::vector<std::string> texts;
    for (const auto& warning : kWarnings) {
        if (word.Has(warning.Bit)) {
            texts.emplace_back(warning.Text);
        }
    }
    return texts;
}

} // namespace varnello
