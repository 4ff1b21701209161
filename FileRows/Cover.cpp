#include "Cover.h"

#include "Platform.h"
#include "Tid3v2tag.h"

#include <algorithm>

namespace varnello {

namespace {

std::string CannotRead(const std::string& reason)
{
    return "cannot be read: " + reason;
}

// Reads the file whole, up to one byte past the largest picture so that a
// larger file shows; the refusal text when it cannot be read.
std::string ReadAtMost(const std::string& path, std::vector<std::uint8_t>& bytes)
{
    platform::Handle file;
    if (const std::error_code error = platform::Open(path, platform::Access::Read, file)) {
        return CannotRead(error.message());
    }
    platform::FileInfo info;
    if (const std::error_code error = platform::Query(file, info)) {
        return CannotRead(error.message());
    }
    if (!info.Regular) {
        return CannotRead("not a regular file");
    }
    const std::size_t wanted = kLargestPicture + 1;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(info.Size + 1, wanted)));
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        std::size_t got = 0;
        const std::span<std::uint8_t> rest = std::span(bytes).subspan(filled);
        if (const std::error_code error = platform::ReadAt(file, filled, rest, got)) {
            return CannotRead(error.message());
        }
        filled += got;
        if (got < rest.size()) {
            break; // the end of the file
        }
        if (filled == bytes.size() && filled < wanted) {
            // The file grew since it was asked about.
            bytes.resize(std::min(wanted, bytes.size() * 2));
        }
    }
    bytes.resize(filled);
    return {};
}

} // namespace

CoverRead ReadCover(const std::string& path)
{
    CoverRead read;
    Tid3v2tag tag;
    read.Status = tag.LoadFromFile(path, 0);
    if (!status::IsSuccess(read.Status)) {
        return read;
    }
    read.PictureCount = ListPictures(tag, false).size();
    read.Cover = ReadPicture(tag, CoverFrame(tag), true);
    if (read.Cover) {
        read.Check = CheckImage(read.Cover->Data);
    }
    return read;
}

PictureFile ReadPictureFile(const std::string& path)
{
    PictureFile picture;
    picture.Refusal = ReadAtMost(path, picture.Bytes);
    if (!picture.Refusal.empty()) {
        picture.Bytes.clear();
        return picture;
    }
    if (picture.Bytes.size() > kLargestPicture) {
        picture.Bytes.clear();
        picture.Refusal = "larger than 16 MiB";
        return picture;
    }
    picture.Check = CheckImage(picture.Bytes);
    if (picture.Check.Format == ImageFormat::kNone) {
        picture.Bytes.clear();
        picture.Refusal = "not a JPEG or PNG picture";
    }
    return picture;
}

} // namespace varnello
