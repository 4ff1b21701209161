#include "NameTagger.h"

#include <cstddef>

namespace varnello {

std::vector<NameTags> PlanTagsFromNames(const NamePattern& pattern, std::span<const FileRow> rows)
{
    std::vector<NameTags> plan;
    plan.reserve(rows.size());
    for (const FileRow& row : rows) {
        const std::size_t slash = row.FileName.rfind('/');
        const std::string_view name = slash == std::string::npos
                                          ? std::string_view(row.FileName)
                                          : std::string_view(row.FileName).substr(slash + 1);
        NameMatch match = MatchName(pattern, name);
        plan.push_back({row.FileName, match.Matched, std::move(match.Values), match.Mask});
    }
    return plan;
}

std::vector<SaveFailure> ApplyTagsFromNames(TagSaver& saver, const std::string& folder,
                                            const std::vector<NameTags>& plan,
                                            std::span<FileRow> rows)
{
    std::vector<SaveFailure> failures;
    for (std::size_t i = 0; i < plan.size() && i < rows.size(); ++i) {
        if (!plan[i].Matched || plan[i].FileName != rows[i].FileName) {
            continue;
        }
        std::vector<FileRow*> one{&rows[i]};
        std::vector<SaveFailure> failed =
            saver.SaveMultiple(folder, one, plan[i].Values, plan[i].Mask);
        failures.insert(failures.begin(), failed.begin(), failed.end());
    }
    return failures;
}

} // namespace varnello
