// Reads the ID3v1 tag of the input file, sets every field to text cut from
// the input itself (so that odd UTF-8 reaches the setters) and writes the tag.
// The file keeps its length, and nothing but its last 128 bytes may change,
// those only when a tag was there.

#include "FuzzSupport.h"
#include "Mp3Mng.h"

#include <algorithm>

namespace varnello::fuzz {
namespace {

std::string_view Slice(const std::uint8_t* data, std::size_t size, std::size_t from,
                       std::size_t count)
{
    if (from >= size) {
        return {};
    }
    return {reinterpret_cast<const char*>(data) + from, std::min(count, size - from)};
}

void ReadFields(const Mp3Mng& tag)
{
    std::string text;
    tag.GetMagic(text);
    tag.GetTitle(text);
    tag.GetArtist(text);
    tag.GetAlbum(text);
    tag.GetYear(text);
    tag.GetComment(text);
    tag.GetGenre();
}

} // namespace
} // namespace varnello::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnello;
    const std::string path = fuzz::WriteInput(data, size);
    Mp3Mng tag;
    tag.Open(path);
    tag.ReadTag();
    fuzz::ReadFields(tag);
    const bool present = tag.HasTag();
    tag.SetTitle(fuzz::Slice(data, size, 0, 40));
    tag.SetArtist(fuzz::Slice(data, size, 10, 40));
    tag.SetAlbum(fuzz::Slice(data, size, 40, 40));
    tag.SetYear(fuzz::Slice(data, size, 80, 8));
    tag.SetComment(fuzz::Slice(data, size, 90, 40));
    tag.SetGenre(size > 0 ? data[size - 1] : 0);
    fuzz::ReadFields(tag);
    const Mp3Status written = tag.WriteTag();

    const fuzz::Bytes after = testsupport::ReadFile(path);
    fuzz::Require(after.size() == size, "the ID3v1 write changed the file's length");
    const std::size_t kept = present && size >= 128 ? size - 128 : size;
    fuzz::Require(std::equal(data, data + kept, after.begin()),
                  "the ID3v1 write changed bytes outside its tag");
    fuzz::Require(present || written != mp3status::kOk, "a tag was written where none was");
    return 0;
}
