#include "TDirectoryPanel.h"

#include "TFileList.h"
#include "THeaderStrip.h"

#include <QComboBox>
#include <QDir>
#include <QListWidget>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

namespace {

void UseInfoBackground(QWidget& widget)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    palette.setColor(QPalette::Text, palette.color(QPalette::ToolTipText));
    widget.setPalette(palette);
}

} // namespace

TDirectoryPanel::TDirectoryPanel(QWidget* parent)
    : QFrame(parent), SplitterLeftTopBottom(new QSplitter(Qt::Vertical, this))
{
    setObjectName(QStringLiteral("ClsPnlLeft"));
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // Dragged as narrow as it goes, the panel keeps 10 pixels.
    setMinimumWidth(10);
    SplitterLeftTopBottom->setObjectName(QStringLiteral("SplitterLeftTopBottom"));
    SplitterLeftTopBottom->setChildrenCollapsible(false);
    SplitterLeftTopBottom->setHandleWidth(3);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(SplitterLeftTopBottom);
    CreateDirectoryPart();
    CreatePlaybackPanel();
    SplitterLeftTopBottom->setStretchFactor(0, 1);
    SplitterLeftTopBottom->setStretchFactor(1, 0);
}

void TDirectoryPanel::CreateDirectoryPart()
{
    ClsPnlLeftTop = new QWidget(SplitterLeftTopBottom);
    ClsPnlLeftTop->setObjectName(QStringLiteral("ClsPnlLeftTop"));
    ClsPnlLeftToptop = new THeaderStrip(QStringLiteral("ClsPnlLeftToptop"),
                                        QStringLiteral("Directory"), 22, ClsPnlLeftTop);
    ClsSpdBtnCloseLeft = ClsPnlLeftToptop->AddCloseButton(QStringLiteral("ClsSpdBtnCloseLeft"));
    connect(ClsSpdBtnCloseLeft, &QToolButton::clicked, this, &TDirectoryPanel::CloseClicked);

    ClsPnlLeftTopBottom = new QWidget(ClsPnlLeftTop);
    ClsPnlLeftTopBottom->setObjectName(QStringLiteral("ClsPnlLeftTopBottom"));
    ClsDrvComBox = new QComboBox(ClsPnlLeftTopBottom);
    ClsDrvComBox->setObjectName(QStringLiteral("ClsDrvComBox"));
    UseInfoBackground(*ClsDrvComBox);
    ClsDirListBox = new QListWidget(ClsPnlLeftTopBottom);
    ClsDirListBox->setObjectName(QStringLiteral("ClsDirListBox"));
    UseInfoBackground(*ClsDirListBox);
    clsFileListBox = new TFileList(ClsPnlLeftTopBottom);

    // The drive box across the top, the directory list below it down to the
    // bottom edge; the layout keeps them so whenever the panel is resized.
    auto* listLayout = new QVBoxLayout(ClsPnlLeftTopBottom);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(0);
    listLayout->addWidget(ClsDrvComBox);
    listLayout->addWidget(ClsDirListBox, 1);

    auto* layout = new QVBoxLayout(ClsPnlLeftTop);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ClsPnlLeftToptop);
    layout->addWidget(ClsPnlLeftTopBottom, 1);
}

void TDirectoryPanel::CreatePlaybackPanel()
{
    ClsPnlLeftBottom = new QFrame(SplitterLeftTopBottom);
    ClsPnlLeftBottom->setObjectName(QStringLiteral("ClsPnlLeftBottom"));
    ClsPnlLeftBottom->resize(ClsPnlLeftBottom->width(), 264);
    PnlLeftBottomPlay = new THeaderStrip(QStringLiteral("PnlLeftBottomPlay"),
                                         QStringLiteral("Play"), 22, ClsPnlLeftBottom);
    spbtnPlayClose = PnlLeftBottomPlay->AddCloseButton(QStringLiteral("spbtnPlayClose"));
    connect(spbtnPlayClose, &QToolButton::clicked, this, &TDirectoryPanel::CloseClicked);
    auto* layout = new QVBoxLayout(ClsPnlLeftBottom);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PnlLeftBottomPlay);
    layout->addStretch(1);
    ClsPnlLeftBottom->hide();
}

void TDirectoryPanel::ShowFolderChain(const QString& folder)
{
    const QString path = QDir::toNativeSeparators(QDir::cleanPath(folder));
    const QString separator = QDir::toNativeSeparators(QStringLiteral("/"));
    QStringList parts = path.split(separator, Qt::SkipEmptyParts);
    // The root: "/" here, or a drive such as "C:" that keeps its separator.
    QString root = separator;
    if (!path.startsWith(separator) && !parts.isEmpty()) {
        root = parts.takeFirst() + separator;
    }

    ClsDrvComBox->clear();
    ClsDrvComBox->addItem(root);

    ClsDirListBox->clear();
    const QIcon icon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    ClsDirListBox->addItem(new QListWidgetItem(icon, root));
    QString indent;
    for (const QString& part : parts) {
        indent += QStringLiteral("  ");
        ClsDirListBox->addItem(new QListWidgetItem(icon, indent + part));
    }
    ClsDirListBox->setCurrentRow(ClsDirListBox->count() - 1);
}

} // namespace varnello
