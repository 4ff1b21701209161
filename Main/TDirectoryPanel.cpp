#include "TDirectoryPanel.h"

#include "TDirListBox.h"
#include "TDriveComboBox.h"
#include "TFileListBox.h"
#include "THeaderStrip.h"
#include "TPlaybackPanel.h"

#include <QCoreApplication>
#include <QSplitter>
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
                                        QCoreApplication::translate("TDirectoryPanel", "Directory"),
                                        22, ClsPnlLeftTop);
    ClsSpdBtnCloseLeft = ClsPnlLeftToptop->AddCloseButton(QStringLiteral("ClsSpdBtnCloseLeft"));
    connect(ClsSpdBtnCloseLeft, &QToolButton::clicked, this, &TDirectoryPanel::CloseClicked);

    ClsPnlLeftTopBottom = new QWidget(ClsPnlLeftTop);
    ClsPnlLeftTopBottom->setObjectName(QStringLiteral("ClsPnlLeftTopBottom"));
    ClsDrvComBox = new TDriveComboBox(ClsPnlLeftTopBottom);
    ClsDrvComBox->setObjectName(QStringLiteral("ClsDrvComBox"));
    UseInfoBackground(*ClsDrvComBox);
    ClsDirListBox = new TDirListBox(ClsPnlLeftTopBottom);
    ClsDirListBox->setObjectName(QStringLiteral("ClsDirListBox"));
    UseInfoBackground(*ClsDirListBox);
    clsFileListBox = new TFileListBox(ClsPnlLeftTopBottom);

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
    ClsPnlLeftBottom = new TPlaybackPanel(SplitterLeftTopBottom);
    connect(ClsPnlLeftBottom, &TPlaybackPanel::CloseClicked, this, &TDirectoryPanel::CloseClicked);
}

} // namespace varnello
