#pragma once
// The cover on the "Content" page: the selected file's cover as a thumbnail
// with its size and type, and the ways to change it: a picture file (the
// button, or dropped on the thumbnail), a pasted picture, removal. A change
// is part of the page's edit and is saved with the fields; until then the
// thumbnail shows the picture the save will write. The file's cover is read
// and decoded off the GUI thread, only for the one selected file, and an
// answer for a file selected before is dropped.

#include "CoverPictures.h"

#include <QString>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QLabel;
class QMimeData;
class QToolButton;

namespace varnello {

class TCoverView : public QWidget
{
    Q_OBJECT

public:
    // Asks for a picture file to open, or for the path to save the cover to;
    // an empty answer cancels. Tests put their own answers in.
    using PathQuestion = std::function<QString(QWidget* parent, const QString& suggestion)>;

    explicit TCoverView(QWidget* parent = nullptr);

    void SetPathQuestions(PathQuestion openPicture, PathQuestion savePicture);

    // Shows the cover of the file at `path`, read in the background; drops a
    // change not saved.
    void ShowCoverOf(const std::string& path);
    // Shows no cover and offers no change: no file or several are selected.
    void ShowNoFile();

    // The change to save with the page's fields.
    CoverEdit PendingEdit() const;
    bool HasPendingEdit() const { return m_pending != CoverAction::kKeep; }
    // The pending change was saved: the file now has what the page shows.
    void EditSaved();

    // Whether the thumbnail shows the answer for the file asked for last.
    bool IsReading() const { return m_reading; }
    QString Caption() const;
    bool HasThumbnail() const;

    void ChoosePicture();
    void PastePicture();
    void RemovePicture();
    void SavePicture();

signals:
    // The user set, dropped, pasted or removed a picture.
    void CoverEdited();
    // The cover of the file asked for is on screen (or "No cover").
    void CoverShown();
    // A message for the status bar: a picture refused, a cover written out.
    void CoverMessage(const QString& text);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Show(const CoverPicture& picture);
    void TakeEdit(const CoverPicture& picture);
    void TakeFrom(const QMimeData& offered);
    void UpdateButtons();
    QSize ThumbnailBox() const;

    QLabel* m_thumbnail = nullptr;
    QLabel* m_caption = nullptr;
    QToolButton* m_choose = nullptr;
    QToolButton* m_remove = nullptr;
    QToolButton* m_save = nullptr;
    PathQuestion m_openPicture;
    PathQuestion m_savePicture;

    std::string m_path;             // the file shown; empty for none
    std::uint64_t m_generation = 0; // of the last read asked for
    // The same, for the pool's threads.
    std::shared_ptr<std::atomic<std::uint64_t>> m_latestRead =
        std::make_shared<std::atomic<std::uint64_t>>(0);
    bool m_reading = false;
    CoverPicture m_shown; // what the thumbnail shows
    CoverAction m_pending = CoverAction::kKeep;
};

} // namespace varnello
