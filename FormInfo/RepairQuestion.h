#pragma once
// The question a save asks before it replaces an ID3v2 tag that could not be
// read: it names what the new tag keeps (the frames that could be read) and
// what is lost (the bytes that could not), and defaults to No.

#include "TagSaver.h"

#include <functional>
#include <string>

class QWidget;

namespace varnello {

// True when the user agrees to replace the tag. Replaceable in tests.
using RepairQuestion =
    std::function<bool(QWidget* parent, const std::string& fileName, const UnreadableTag& tag)>;

bool AskToReplaceUnreadableTag(QWidget* parent, const std::string& fileName,
                               const UnreadableTag& tag);

// The question's text, for the message box and for tests.
std::string RepairQuestionText(const std::string& fileName, const UnreadableTag& tag);

// For each failure refused because the file's tag could not be read, asks
// whether to replace that tag and, when the user agrees, calls `saveAgain`
// with the file name to save it once more with replacement allowed; its
// result, if any, is the file's new failure. Returns the failures left.
std::vector<SaveFailure>
OfferRepairs(QWidget* parent, const std::string& folder, const std::vector<SaveFailure>& failures,
             const RepairQuestion& ask,
             const std::function<std::vector<SaveFailure>(const std::string& fileName)>& saveAgain);

} // namespace varnello
