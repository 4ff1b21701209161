// Loads the input as a file and reads everything a listing or the tool reads
// from it: the text frames, the year, the comment, and every frame's data
// decompressed and de-unsynchronised.

#include "FuzzSupport.h"
#include "Tid3v2tag.h"

namespace varnello::fuzz {
namespace {

void ReadFields(Tid3v2tag& tag)
{
    std::string text;
    for (const char* id : {"TIT2", "TPE1", "TALB", "TCON"}) {
        tag.GetTextFrame(id, text);
    }
    tag.GetYear(text);
    COMM comment;
    tag.GetComment(comment, "", "None");
}

void TransformFrames(Tid3v2tag& tag)
{
    for (std::uint32_t i = 1; i <= tag.Frames.Count(); ++i) {
        const std::string id = tag.Frames.ID(i);
        tag.Frames.DecompressFrame(i);
        tag.Frames.DeunsyncFrame(i);
        // Text frames of any ID, read again from their prepared data.
        std::string text;
        if (id[0] == 'T') {
            tag.GetTextFrame(id, text);
        }
    }
}

} // namespace
} // namespace varnello::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnello;
    const std::string path = fuzz::WriteInput(data, size);
    Tid3v2tag tag;
    const StatusWord loaded = tag.LoadFromFile(path, 0);
    if (loaded == status::kNoTag || loaded == status::kMajorVersion) {
        fuzz::Require(tag.Frames.Count() == 0, "frames without an accepted header");
    }
    fuzz::ReadFields(tag);
    fuzz::TransformFrames(tag);
    return 0;
}
