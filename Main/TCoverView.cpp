#include "TCoverView.h"

#include "Ui.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPixmap>
#include <QStyle>
#include <QToolButton>

namespace varnello {

namespace {

QString PictureFilter()
{
    return TCoverView::tr("Pictures (*.jpg *.jpeg *.png);;All files (*)");
}

QString AskOpenPicture(QWidget* parent, const QString& suggestion)
{
    return QFileDialog::getOpenFileName(parent, TCoverView::tr("Cover picture"), suggestion,
                                        PictureFilter());
}

QString AskSavePicture(QWidget* parent, const QString& suggestion)
{
    return QFileDialog::getSaveFileName(parent, TCoverView::tr("Save the cover as"), suggestion,
                                        PictureFilter());
}

QToolButton* MakeButton(QWidget* parent, const char* name, const QString& text, const QString& tip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(text);
    button->setToolTip(tip);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    return button;
}

bool OffersPicture(const QMimeData& data)
{
    return data.hasImage() || data.hasFormat(QStringLiteral("image/jpeg")) ||
           data.hasFormat(QStringLiteral("image/png")) ||
           (data.hasUrls() && data.urls().front().isLocalFile());
}

} // namespace

TCoverView::TCoverView(QWidget* parent)
    : QWidget(parent), m_openPicture(AskOpenPicture), m_savePicture(AskSavePicture)
{
    setObjectName(QStringLiteral("CoverView"));
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);

    m_thumbnail = new QLabel(this);
    m_thumbnail->setObjectName(QStringLiteral("lbCoverThumbnail"));
    m_thumbnail->setFixedSize(cover::kThumbnailSide + 4, cover::kThumbnailSide + 4);
    m_thumbnail->setAlignment(Qt::AlignCenter);
    m_thumbnail->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_thumbnail->setToolTip(tr("The cover. Drop a JPEG or PNG picture here, or paste one."));
    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("lbCoverCaption"));
    m_caption->setWordWrap(true);
    m_caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_caption->setFixedWidth(m_thumbnail->width() + 80);
    QFont small = m_caption->font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    m_caption->setFont(small);

    m_choose = MakeButton(this, "btCoverSet", tr("Set..."),
                          tr("Take a JPEG or PNG picture file as the cover"));
    m_remove = MakeButton(this, "btCoverRemove", tr("Remove"), tr("Take the cover out"));
    m_save = MakeButton(this, "btCoverSave", tr("Save as..."), tr("Write the cover to a file"));
    connect(m_choose, &QToolButton::clicked, this, &TCoverView::ChoosePicture);
    connect(m_remove, &QToolButton::clicked, this, &TCoverView::RemovePicture);
    connect(m_save, &QToolButton::clicked, this, &TCoverView::SavePicture);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_thumbnail, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(m_choose, 0, 1);
    grid->addWidget(m_remove, 1, 1);
    grid->addWidget(m_save, 2, 1);
    grid->addWidget(m_caption, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    ShowNoFile();
}

void TCoverView::SetPathQuestions(PathQuestion openPicture, PathQuestion savePicture)
{
    m_openPicture = openPicture ? std::move(openPicture) : PathQuestion(AskOpenPicture);
    m_savePicture = savePicture ? std::move(savePicture) : PathQuestion(AskSavePicture);
}

QSize TCoverView::ThumbnailBox() const
{
    const qreal ratio = devicePixelRatioF();
    const int side = static_cast<int>(cover::kThumbnailSide * ratio);
    return {side, side};
}

void TCoverView::ShowCoverOf(const std::string& path)
{
    m_path = path;
    m_pending = CoverAction::kKeep;
    const std::uint64_t generation = ++m_generation;
    m_reading = true;
    // Nothing of the file shown before stays on screen while this one is read.
    Show(CoverPicture{});
    m_caption->setText(tr("Reading..."));
    m_latestRead->store(generation);
    RunOffGuiThread<CoverPicture>(
        this,
        [path, box = ThumbnailBox(), latest = m_latestRead, generation] {
            // Arrow keys held down through the table ask for many covers; a
            // read that waited while another file was selected is skipped.
            return latest->load() == generation ? cover::ReadFileCover(path, box) : CoverPicture{};
        },
        [this, generation](CoverPicture picture) {
            if (generation != m_generation) {
                return;
            }
            m_reading = false;
            Show(picture);
            emit CoverShown();
        });
}

void TCoverView::ShowNoFile()
{
    m_path.clear();
    m_pending = CoverAction::kKeep;
    m_latestRead->store(++m_generation);
    m_reading = false;
    Show(CoverPicture{});
}

void TCoverView::Show(const CoverPicture& picture)
{
    m_shown = picture;
    if (picture.Thumbnail.isNull()) {
        m_thumbnail->clear();
    } else {
        QPixmap pixmap = QPixmap::fromImage(picture.Thumbnail);
        pixmap.setDevicePixelRatio(devicePixelRatioF());
        m_thumbnail->setPixmap(pixmap);
    }
    m_caption->setText(picture.Caption);
    UpdateButtons();
}

void TCoverView::UpdateButtons()
{
    const bool file = !m_path.empty();
    m_choose->setEnabled(file);
    m_remove->setEnabled(file && m_shown.HasBytes());
    m_save->setEnabled(file && m_shown.HasBytes());
}

QString TCoverView::Caption() const
{
    return m_caption->text();
}

bool TCoverView::HasThumbnail() const
{
    return !m_shown.Thumbnail.isNull();
}

CoverEdit TCoverView::PendingEdit() const
{
    CoverEdit edit;
    edit.Action = m_pending;
    if (m_pending == CoverAction::kSet && m_shown.Bytes) {
        edit.Image = *m_shown.Bytes;
    }
    return edit;
}

void TCoverView::EditSaved()
{
    m_pending = CoverAction::kKeep;
}

void TCoverView::TakeEdit(const CoverPicture& picture)
{
    if (!picture.Refusal.isEmpty()) {
        emit CoverMessage(tr("Picture not taken: %1").arg(picture.Refusal));
        return;
    }
    m_pending = CoverAction::kSet;
    Show(picture);
    emit CoverEdited();
}

void TCoverView::ChoosePicture()
{
    if (m_path.empty()) {
        return;
    }
    const QString chosen =
        m_openPicture(this, ui::PathToQt(m_path).section(QLatin1Char('/'), 0, -2));
    if (chosen.isEmpty()) {
        return;
    }
    const std::uint64_t generation = m_generation;
    RunOffGuiThread<CoverPicture>(
        this,
        [path = ui::PathFromQt(chosen), box = ThumbnailBox()] {
            return cover::ReadPicture(path, box);
        },
        [this, generation](CoverPicture picture) {
            // Another file was selected meanwhile: the picture was for the
            // one before.
            if (generation == m_generation) {
                TakeEdit(picture);
            }
        });
}

void TCoverView::TakeFrom(const QMimeData& offered)
{
    if (m_path.empty()) {
        return;
    }
    const std::uint64_t generation = m_generation;
    cover::TakePictureFrom(offered, this, ThumbnailBox(), [this, generation](CoverPicture picture) {
        if (generation == m_generation) {
            TakeEdit(picture);
        }
    });
}

void TCoverView::PastePicture()
{
    if (const QMimeData* clipboard = QApplication::clipboard()->mimeData()) {
        TakeFrom(*clipboard);
    }
}

void TCoverView::RemovePicture()
{
    if (m_path.empty() || !m_shown.HasBytes()) {
        return;
    }
    m_pending = CoverAction::kRemove;
    CoverPicture none;
    none.Caption = tr("No cover (removed, not saved yet)");
    Show(none);
    emit CoverEdited();
}

void TCoverView::SavePicture()
{
    if (!m_shown.HasBytes()) {
        return;
    }
    const bool png = m_shown.Bytes->size() > 1 && (*m_shown.Bytes)[0] == 0x89;
    const QString folder = ui::PathToQt(m_path).section(QLatin1Char('/'), 0, -2);
    const QString target = m_savePicture(
        this, folder + (png ? QStringLiteral("/cover.png") : QStringLiteral("/cover.jpg")));
    if (target.isEmpty()) {
        return;
    }
    RunOffGuiThread<QString>(
        this,
        [path = ui::PathFromQt(target), bytes = m_shown.Bytes] {
            return cover::WritePicture(path, *bytes);
        },
        [this, target](const QString& error) {
            emit CoverMessage(error.isEmpty()
                                  ? tr("Cover saved as %1").arg(target)
                                  : tr("The cover was not saved as %1: %2").arg(target, error));
        });
}

void TCoverView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!m_path.empty() && OffersPicture(*event->mimeData())) {
        event->acceptProposedAction();
    }
}

void TCoverView::dropEvent(QDropEvent* event)
{
    TakeFrom(*event->mimeData());
    event->acceptProposedAction();
}

void TCoverView::keyPressEvent(QKeyEvent* event)
{
    // Keys the buttons do not use come here: Ctrl+V pastes a picture, Delete
    // takes the cover out.
    if (event->matches(QKeySequence::Paste)) {
        PastePicture();
    } else if (event->matches(QKeySequence::Delete)) {
        RemovePicture();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void TCoverView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(tr("Set from a file..."), this, &TCoverView::ChoosePicture)
        ->setEnabled(m_choose->isEnabled());
    const QMimeData* clipboard = QApplication::clipboard()->mimeData();
    menu.addAction(tr("Paste"), this, &TCoverView::PastePicture)
        ->setEnabled(!m_path.empty() && clipboard != nullptr && OffersPicture(*clipboard));
    menu.addAction(tr("Save as..."), this, &TCoverView::SavePicture)
        ->setEnabled(m_save->isEnabled());
    menu.addAction(tr("Remove"), this, &TCoverView::RemovePicture)
        ->setEnabled(m_remove->isEnabled());
    menu.exec(event->globalPos());
}

} // namespace varnello
