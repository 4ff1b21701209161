#include "Pictures.h"

#include "Tid3v2tag.h"

namespace varnello {

const char* ImageCheck::Mime() const
{
    switch (Format) {
    case ImageFormat::kJpeg:
        return "image/jpeg";
    case ImageFormat::kPng:
        return "image/png";
    case ImageFormat::kNone:
        break;
    }
    return "";
}

const char* PictureTypeName(std::uint8_t /*type*/)
{
    return "Unknown";
}

ImageCheck CheckImage(std::span<const std::uint8_t> /*bytes*/)
{
    return {};
}

std::vector<AttachedPicture> ListPictures(Tid3v2tag& /*tag*/, bool /*withData*/)
{
    return {};
}

std::uint32_t CoverFrame(Tid3v2tag& /*tag*/)
{
    return 0;
}

bool SetFrontCover(Tid3v2tag& /*tag*/, std::span<const std::uint8_t> /*image*/,
                   const ImageCheck& /*check*/)
{
    return false;
}

bool RemoveCover(Tid3v2tag& /*tag*/)
{
    return false;
}

} // namespace varnello
