#include "RepairQuestion.h"

#include "Ui.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace varnello {

std::string RepairQuestionText(const std::string& fileName, const UnreadableTag& tag)
{
    // The question is put together from its parts; each part is translated.
    const auto tr = [](const char* text) {
        return ui::ToUtf8(QCoreApplication::translate("RepairQuestion", text));
    };
    const auto list = [](const std::vector<std::string>& ids) {
        std::string text;
        for (const std::string& id : ids) {
            text += text.empty() ? id : ", " + id;
        }
        return text;
    };
    std::string text = tr("The ID3v2 tag of \"") + fileName + tr("\" could not be ") +
                       (tag.LostFrames.empty() ? tr("read") : tr("kept whole")) +
                       tr(", so it was not saved.\n\nReplace the tag with a new one? ");
    if (tag.ReadableFrames.empty()) {
        text += tr("No frame of the old tag could be read: all of it is lost");
    } else {
        text += tr("It keeps the ") + std::to_string(tag.ReadableFrames.size()) +
                tr(" frame(s) that could be read (") + list(tag.ReadableFrames) + ")";
    }
    if (!tag.LostFrames.empty()) {
        text += tr("; the frame(s) ") + list(tag.LostFrames) +
                tr(", which have no ID3v2.3 form, are lost");
    } else {
        text += tr("; the ") + std::to_string(tag.UnreadableBytes) +
                tr(" bytes that could not be read are lost");
    }
    return text + tr(". The audio is not touched.");
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
        const StatusWord code = failure.Status.Error();
        if (code != status::kUnreadableTag && code != status::kUnconvertibleFrame) {
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
