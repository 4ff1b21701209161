#pragma once
// The "Content" page under the file table: the tag fields of the one
// selected file (the field table's kAllTagFields), edited in place. The view only shows and reports
// edits; the main window decides when they count as unsaved (its "Save" marker) and saves them.

#include "FileRow.h"

#include <QWidget>
#include <array>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QShowEvent;

namespace varnello {

class TCoverView;

class TContentView : public QWidget
{
    Q_OBJECT

public:
    explicit TContentView(QWidget* parent = nullptr);

    // What the line under the fields says about them.
    enum class State
    {
        Clean,   // the fields show the row as saved
        Pending, // edited, not saved yet
        Failed,  // the last save of the edit failed
    };

    // Fills the fields. Setting the texts fires the change handlers like
    // typing does; the caller clears its marker afterwards.
    void ShowFields(const TagFields& fields);
    // The fields as typed; the genre without surrounding blanks. A genre shown
    // as its name and left as it was comes back as the stored text.
    TagFields Fields() const;
    // Genre references shown as names ("(17)" as "Rock"), or as stored. An
    // edited genre keeps what was typed; nothing counts as edited.
    void SetGenreNames(bool names);
    // Shows the state line; `detail` says why a save failed.
    void ShowState(State state, const QString& detail = {});
    State CurrentState() const { return m_state; }
    // Marks the fields of `mask` as not saved; the others
    // lose their mark.
    void MarkUnsaved(FieldMask mask);
    FieldMask UnsavedMask() const { return m_unsavedMask; }
    void SetContentEnabled(bool enabled);

    // Page shown: fills the genre box while it does not hold the whole list.
    void TsContentShow();

    QComboBox* GenreBox() const { return cbGenreContent; }
    // The selected file's cover; its changes count as edits of the page.
    TCoverView* Cover() const { return CoverView; }

signals:
    // A field's text changed, by typing or by ShowFields.
    void ContentEdited();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void CreateLayout();
    void ConnectHandlers();
    // In the order of kAllTagFields.
    std::array<QWidget*, 9> FieldWidgets() const;

    void edTitleChange();
    void EdArtistChange();
    void edAlbumChange();
    void edYearChange();
    void cbGenreContentChange();
    void edCommentChange();

    QLabel* LabelTitle = nullptr;
    QLabel* LabelArtist = nullptr;
    QLabel* LabelAlbum = nullptr;
    QLabel* LabelYear = nullptr;
    QLabel* LabelGenre = nullptr;
    QLabel* LabelComment = nullptr;
    QLabel* LabelTrack = nullptr;
    QLabel* LabelDisc = nullptr;
    QLabel* LabelAlbumArtist = nullptr;
    QLineEdit* edTitle = nullptr;
    QLineEdit* EdArtist = nullptr;
    QLineEdit* edAlbum = nullptr;
    QLineEdit* edYear = nullptr;
    QComboBox* cbGenreContent = nullptr;
    QPlainTextEdit* edComment = nullptr;
    QLineEdit* edTrack = nullptr;
    QLineEdit* edDisc = nullptr;
    QLineEdit* edAlbumArtist = nullptr;
    TCoverView* CoverView = nullptr;
    QLabel* lbContentState = nullptr;
    QString ShownGenre() const;

    State m_state = State::Clean;
    FieldMask m_unsavedMask;
    std::string m_storedGenre; // of the fields last shown
    bool m_genreNames = false;
};

} // namespace varnello
