#include "Cover.h"

namespace varnello {

CoverRead ReadCover(const std::string& /*path*/)
{
    return {};
}

PictureFile ReadPictureFile(const std::string& /*path*/)
{
    return {};
}

} // namespace varnello
