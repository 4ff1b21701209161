#include "StatusWord.h"

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
    case 8:
        return "Specified tag location past EOF";
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

} // namespace varnello
