#include "StorableText.h"

#include "TagSaver.h"
#include "Ui.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QValidator>
#include <algorithm>

namespace varnello::ui {

namespace {

// A validator that mends rather than refuses: a line edit takes the input as
// the validator leaves it, so a pasted "a<TAB>b" arrives as "a b".
class StorableTextValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override
    {
        const std::string utf8 = ToUtf8(input);
        if (!IsStorableFieldText(utf8, false)) {
            const qsizetype before = input.size();
            input = ToQt(StorableFieldText(utf8, false));
            position = std::clamp<int>(position - static_cast<int>(before - input.size()), 0,
                                       static_cast<int>(input.size()));
        }
        return Acceptable;
    }
};

} // namespace

void KeepTextStorable(QLineEdit* edit)
{
    edit->setValidator(new StorableTextValidator(edit));
}

void KeepTextStorable(QComboBox* box)
{
    box->setValidator(new StorableTextValidator(box));
}

void KeepTextStorable(QPlainTextEdit* edit)
{
    QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [edit] {
        const std::string utf8 = ToUtf8(edit->toPlainText());
        if (IsStorableFieldText(utf8, true)) {
            return;
        }
        const QString kept = ToQt(StorableFieldText(utf8, true));
        const int position =
            std::min<int>(edit->textCursor().position(), static_cast<int>(kept.size()));
        // Runs this handler again, on text that is storable now.
        edit->setPlainText(kept);
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(position);
        edit->setTextCursor(cursor);
    });
}

} // namespace varnello::ui
