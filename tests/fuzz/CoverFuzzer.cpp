// Checks the input as a picture, then reads it as an MP3 file's cover and
// sets (or, for inputs whose last byte is odd, removes) its front cover as
// the tag editor does. A picture the check takes has a size and, for a PNG,
// ends exactly where the check says; a cover save either succeeds, and the
// file then shows the new cover (or a picture fewer), or fails and leaves
// the file byte for byte as it was.

#include "Cover.h"
#include "FolderReader.h"
#include "FuzzSupport.h"
#include "TagSaver.h"

namespace varnello::fuzz {
namespace {

void CheckPicture(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const ImageCheck check = CheckImage(bytes);
    if (check.Format == ImageFormat::kNone) {
        return;
    }
    Require(check.Width != 0 && check.Height != 0, "a picture taken without a size");
    Require(size <= kLargestPicture, "a picture taken beyond the largest size");
    if (check.Format == ImageFormat::kPng) {
        Require(CheckImage(bytes.first(size - 1)).Format == ImageFormat::kNone,
                "a PNG taken without its last byte");
    }
}

void CheckCoverSave(const std::string& path, const Bytes& before, bool remove)
{
    const std::string& folder = Folder().Path();
    const CoverRead old = ReadCover(path);
    const FileRow row = FolderReader().ReadRow(folder, kFileName, 0);
    const Bytes picture = testsupport::TinyPng();
    const CoverEdit edit{remove ? CoverAction::kRemove : CoverAction::kSet,
                         remove ? Bytes{} : picture};
    const SaveResult result = TagSaver().SaveSingle(folder, row, row.Fields, edit);
    RequireOnlyInput();
    if (!result.Id3v2Saved) {
        Require(testsupport::ReadFile(path) == before, "a failed cover save changed the file");
        return;
    }
    const CoverRead now = ReadCover(path);
    if (remove) {
        // A removal that leaves no frame removes the tag: the file is then
        // what followed it, which may hold another tag.
        const Bytes after = testsupport::ReadFile(path);
        const auto oldTag = static_cast<std::ptrdiff_t>(OldTagRegion(before));
        const bool tagRemoved = oldTag > 0 && after == Bytes(before.begin() + oldTag, before.end());
        const std::size_t expected = old.PictureCount > 0 ? old.PictureCount - 1 : 0;
        Require(tagRemoved || !status::IsSuccess(now.Status) || now.PictureCount == expected,
                "removing the cover did not remove one picture");
        return;
    }
    Require(status::IsSuccess(now.Status), "the saved tag does not load");
    Require(now.Cover && now.Cover->PictureType == picturetype::kFrontCover &&
                now.Cover->Data == picture && now.Check.Format == ImageFormat::kPng,
            "the cover set is not the cover read back");
}

} // namespace
} // namespace varnello::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace varnello;
    fuzz::CheckPicture(data, size);
    const std::string path = fuzz::WriteInput(data, size);
    const bool remove = size > 0 && data[size - 1] % 2 == 1;
    fuzz::CheckCoverSave(path, fuzz::Bytes(data, data + size), remove);
    return 0;
}
