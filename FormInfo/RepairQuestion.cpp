#include "RepairQuestion.h"

#include "Ui.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace varnello {

std::string RepairQuestionText(const std::string& fileName, const UnreadableTag& tag)
{
    std::string frames;
    for (const std::string& id : tag.ReadableFrames) {
        frames += frames.empty() ? id : ", " + id;
    }
    std::string text = "The ID3v2 tag of \"" + fileName +
                       "\" could not be read, so it was not saved.\n\n"
                       "Replace the tag with a new one? ";
    if (tag.ReadableFrames.empty()) {
        text += "No frame of the old tag could be read: all of it is lost";
    } else {
        text += "It keeps the " + std::to_string(tag.ReadableFrames.size()) +
                " frame(s) that could be read (" + frames + ")";
    }
    text += "; the " + std::to_string(tag.UnreadableBytes) +
            " bytes that could not be read are lost. The audio is not touched.";
    return text;
}

bool AskToReplaceUnreadableTag(QWidget* parent, const std::string& fileName,
                               const UnreadableTag& tag)
{
    const QMessageBox::StandardButton answer = QMessageBox::question(
        parent, QCoreApplication::translate("RepairQuestion", "Unreadable tag"),
        ui::ToQt(RepairQuestionText(fileName, tag)), QMessageBox::Yes | QMessageBox::No,
        QMessageBox::No);
    return answer == QMessageBox::Yes;
}

std::vector<SaveFailure>
OfferRepairs(QWidget* parent, const std::string& folder, const std::vector<SaveFailure>& failures,
             const RepairQuestion& ask,
             const std::function<std::vector<SaveFailure>(const std::string& fileName)>& saveAgain)
{
    std::vector<SaveFailure> left;
    for (const SaveFailure& failure : failures) {
        if ((failure.Status & 0xFF00u) != status::kUnreadableTag) {
            left.push_back(failure);
            continue;
        }
        const UnreadableTag tag = TagSaver::InspectUnreadable(JoinPath(folder, failure.FileName));
        if (!tag.Replaceable || !ask || !ask(parent, failure.FileName, tag)) {
            left.push_back(failure);
            continue;
        }
        for (const SaveFailure& again : saveAgain(failure.FileName)) {
            left.push_back(again);
        }
    }
    return left;
}

} // namespace varnello
