#include "Tid3v2tag.h"

namespace varnello {

void Tid3v2tag::ReportProgress(std::uint8_t percent, std::string_view text)
{
    const bool changed = percent != Progress || text != ProgressText;
    Progress = percent;
    if (text != ProgressText) {
        ProgressText = text;
    }
    if (changed && OnProgress) {
        OnProgress(*this);
    }
}

StatusWord Tid3v2tag::LoadFromFile(const std::string& fileName, std::int64_t offset)
{
    // Placeholder until the reader lands.
    (void)fileName;
    (void)offset;
    return status::kNoTag;
}

} // namespace varnello
