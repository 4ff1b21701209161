#pragma once
// Keeps the editors' fields to text that a tag stores and reads back the
// same: what is typed or pasted loses its control characters as it comes in
// (tabs and stray line breaks become spaces), so a save never has to refuse
// a value the user cannot see.

class QComboBox;
class QLineEdit;
class QPlainTextEdit;

namespace varnello::ui {

void KeepTextStorable(QLineEdit* edit);
void KeepTextStorable(QComboBox* box);
// Multi-line: line breaks stay.
void KeepTextStorable(QPlainTextEdit* edit);

} // namespace varnello::ui
