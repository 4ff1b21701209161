#include "EditSaving.h"

namespace varnello {

EditOutcome SaveSingleEdit(TagSaver& saver, QWidget* parent, const std::string& folder,
                           const FileRow& row, const TagFields& values, const RepairQuestion& ask)
{
    EditOutcome outcome;
    outcome.Rows.assign(1, row);
    const auto apply = [&outcome](const SaveResult& result) {
        outcome.Rows.front().TagKind = result.TagKind;
        outcome.Rows.front().Fields = result.Fields;
    };
    const SaveResult result = saver.SaveSingle(folder, row, values);
    apply(result);
    outcome.Failures =
        OfferRepairs(parent, folder, result.Failures, ask, [&](const std::string& /*fileName*/) {
            TagSaver repairing = saver;
            repairing.SetReplaceUnreadable(true);
            const SaveResult repaired = repairing.SaveSingle(folder, row, values);
            apply(repaired);
            return repaired.Failures;
        });
    return outcome;
}

std::vector<SaveFailure> SaveOneOfMany(TagSaver& saver, const std::string& folder, FileRow& row,
                                       const TagFields& values, FieldMask mask,
                                       const CoverEdit& cover)
{
    std::vector<FileRow*> rows{&row};
    return saver.SaveMultiple(folder, rows, values, mask, cover);
}

std::vector<SaveFailure> RepairMany(const TagSaver& saver, QWidget* parent,
                                    const std::string& folder, std::vector<FileRow>& rows,
                                    const std::vector<TagFields>& values, FieldMask mask,
                                    const std::vector<SaveFailure>& failures,
                                    const RepairQuestion& ask, const CoverEdit& cover)
{
    return OfferRepairs(parent, folder, failures, ask, [&](const std::string& fileName) {
        TagSaver repairing = saver;
        repairing.SetReplaceUnreadable(true);
        std::vector<SaveFailure> left;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (rows[i].FileName == fileName) {
                std::vector<FileRow*> named{&rows[i]};
                for (SaveFailure& failure :
                     repairing.SaveMultiple(folder, named, values[i], mask, cover)) {
                    left.push_back(std::move(failure));
                }
            }
        }
        return left;
    });
}

} // namespace varnello
