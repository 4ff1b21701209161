#include "FileTable.h"
#include "LogView.h"
#include "TContentView.h"
#include "TDirectoryPanel.h"
#include "TFormMain.h"
#include "THeaderStrip.h"
#include "TListViewSort.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

// The construction of the main window's widgets, from the outside in. The
// handlers live in TFormMain.cpp.

namespace varnello {

namespace {

QVBoxLayout* ZeroMarginColumn(QWidget* widget, int margin = 0)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(0);
    return layout;
}

QWidget* NamedWidget(const char* objectName, QWidget* parent)
{
    auto* widget = new QWidget(parent);
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QFrame* SunkenPanel(const char* objectName, QWidget* parent)
{
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(objectName));
    panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    return panel;
}

} // namespace

void TFormMain::CreateToolBar()
{
    CbToolBar = new QToolBar(QCoreApplication::translate("TFormMain", "Address"), this);
    CbToolBar->setObjectName(QStringLiteral("CbToolBar"));
    CbToolBar->setMovable(false);
    CbToolBar->setFloatable(false);
    CbToolBar->setContextMenuPolicy(Qt::PreventContextMenu);

    TbAddress = NamedWidget("TbAddress", CbToolBar);
    TbAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* band = new QLabel(QCoreApplication::translate("TFormMain", "Address"), TbAddress);
    CbAddress = new QComboBox(TbAddress);
    CbAddress->setObjectName(QStringLiteral("CbAddress"));
    CbAddress->setEditable(true);
    CbAddress->setInsertPolicy(QComboBox::NoInsert);
    CbAddress->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QPalette palette = CbAddress->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::ToolTipBase));
    CbAddress->setPalette(palette);
    TbGoAddress = new QToolButton(TbAddress);
    TbGoAddress->setObjectName(QStringLiteral("TbGoAddress"));
    TbGoAddress->setText(QCoreApplication::translate("TFormMain", "Go"));
    TbGoAddress->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    TbGoAddress->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    TbGoAddress->setAutoRaise(true);

    // The address box takes the band's width less the go button's.
    auto* layout = new QHBoxLayout(TbAddress);
    layout->setContentsMargins(4, 2, 2, 2);
    layout->setSpacing(6);
    layout->addWidget(band);
    layout->addWidget(CbAddress, 1);
    layout->addWidget(TbGoAddress);
    CbToolBar->addWidget(TbAddress);
    addToolBar(Qt::TopToolBarArea, CbToolBar);
}

void TFormMain::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("ClsStbStatusBar"));
    ClsStbStatusText = new QLabel(bar);
    ClsStbStatusText->setObjectName(QStringLiteral("ClsStbStatusText"));
    ClsStbStatusText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar->addWidget(ClsStbStatusText, 1);
    ClsPrbListing = new QProgressBar(bar);
    ClsPrbListing->setObjectName(QStringLiteral("ClsPrbListing"));
    ClsPrbListing->setFixedWidth(240);
    ClsPrbListing->setFormat(tr("%v of %m files"));
    bar->addPermanentWidget(ClsPrbListing);
    ClsPrbListing->hide();
    ClsBtnCancel = new QPushButton(tr("Cancel"), bar);
    ClsBtnCancel->setObjectName(QStringLiteral("ClsBtnCancel"));
    ClsBtnCancel->setToolTip(tr("Stop (Esc)"));
    bar->addPermanentWidget(ClsBtnCancel);
    ClsBtnCancel->hide();
}

void TFormMain::CreateCentralArea()
{
    QWidget* ClsPnlMain = NamedWidget("ClsPnlMain", this);
    ClsSplLeftRight = new QSplitter(Qt::Horizontal, ClsPnlMain);
    ClsSplLeftRight->setObjectName(QStringLiteral("ClsSplLeftRight"));
    ClsSplLeftRight->setHandleWidth(3);
    ClsPnlLeft = new TDirectoryPanel(ClsSplLeftRight);
    ClsSplLeftRight->addWidget(ClsPnlLeft);
    ClsSplLeftRight->addWidget(CreateRightPanel());
    // The directory panel is never collapsed and keeps its width when the
    // window grows; the right-hand side takes the rest.
    ClsSplLeftRight->setCollapsible(0, false);
    ClsSplLeftRight->setCollapsible(1, false);
    ClsSplLeftRight->setStretchFactor(0, 0);
    ClsSplLeftRight->setStretchFactor(1, 1);
    ClsSplLeftRight->setSizes({209, 795});
    ZeroMarginColumn(ClsPnlMain)->addWidget(ClsSplLeftRight);
    setCentralWidget(ClsPnlMain);
}

QWidget* TFormMain::CreateRightPanel()
{
    QWidget* ClsPnlRight = NamedWidget("ClsPnlRight", ClsSplLeftRight);
    SplitterRightTopAndBottom = new QSplitter(Qt::Vertical, ClsPnlRight);
    SplitterRightTopAndBottom->setObjectName(QStringLiteral("SplitterRightTopAndBottom"));
    SplitterRightTopAndBottom->setHandleWidth(2);
    SplitterRightTopAndBottom->addWidget(CreateTablePanel());
    SplitterRightTopAndBottom->addWidget(CreatePropertiesPanel());
    SplitterRightTopAndBottom->setChildrenCollapsible(false);
    SplitterRightTopAndBottom->setStretchFactor(0, 1);
    SplitterRightTopAndBottom->setStretchFactor(1, 0);
    SplitterRightTopAndBottom->setSizes({400, 205});
    ZeroMarginColumn(ClsPnlRight)->addWidget(SplitterRightTopAndBottom);
    return ClsPnlRight;
}

QWidget* TFormMain::CreateTablePanel()
{
    ClsPnlRightTop = SunkenPanel("ClsPnlRightTop", SplitterRightTopAndBottom);
    ClsPnlRightTop->setMinimumHeight(30);
    PageControl1 = new QTabWidget(ClsPnlRightTop);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    QWidget* TsTag = NamedWidget("TsTag", PageControl1);
    FilterBox = new QLineEdit(TsTag);
    FilterBox->setObjectName(QStringLiteral("FilterBox"));
    FilterBox->setPlaceholderText(
        QCoreApplication::translate("TFormMain", "Filter: text, or artist:abba"));
    FilterBox->setClearButtonEnabled(true);
    clsLVFile = new TListViewSort(TsTag);
    filetable::SetUp(*clsLVFile);
    filetable::SetUpColumnMenu(*clsLVFile);
    QVBoxLayout* tagPage = ZeroMarginColumn(TsTag);
    tagPage->addWidget(FilterBox);
    tagPage->addWidget(clsLVFile);
    PageControl1->addTab(TsTag, QCoreApplication::translate("TFormMain", "Tag"));

    cbGenre = new QComboBox(ClsPnlRightTop);
    cbGenre->setObjectName(QStringLiteral("cbGenre"));
    cbGenre->hide();
    ZeroMarginColumn(ClsPnlRightTop, 1)->addWidget(PageControl1);
    return ClsPnlRightTop;
}

QWidget* TFormMain::CreatePropertiesPanel()
{
    ClsPnlRightBottom = SunkenPanel("ClsPnlRightBottom", SplitterRightTopAndBottom);
    // However it is resized, the panel keeps 15 pixels.
    ClsPnlRightBottom->setMinimumHeight(15);
    PannelPropertyView = new THeaderStrip(
        QStringLiteral("PannelPropertyView"),
        QCoreApplication::translate("TFormMain", "Properties View"), 24, ClsPnlRightBottom);
    clsBtnPropertyViewClose =
        PannelPropertyView->AddCloseButton(QStringLiteral("clsBtnPropertyViewClose"));
    clsSpbSaveContent = new QPushButton(QCoreApplication::translate("TFormMain", "Save"));
    clsSpbSaveContent->setObjectName(QStringLiteral("clsSpbSaveContent"));
    clsSpbSaveContent->setFlat(true);
    PannelPropertyView->AddButton(clsSpbSaveContent);
    clsSpbSaveContent->setEnabled(false);
    clsSpbSaveContent->hide();

    PageControl = new QTabWidget(ClsPnlRightBottom);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    // The "Content" page is the properties view itself, so that showing the
    // page is the view's show event.
    ContentView = new TContentView(PageControl);
    ContentView->setObjectName(QStringLiteral("TsContent"));
    TsContent = ContentView;
    TsPlayMusic = NamedWidget("TsPlayMusic", PageControl);
    TsLogView = NamedWidget("TsLogView", PageControl);
    clsLVLogView = new TListViewSort(TsLogView);
    logview::SetUp(*clsLVLogView);
    ZeroMarginColumn(TsLogView)->addWidget(clsLVLogView);
    PageControl->addTab(TsContent, QCoreApplication::translate("TFormMain", "Content"));
    PageControl->addTab(TsPlayMusic, QCoreApplication::translate("TFormMain", "Play"));
    PageControl->setTabVisible(PageControl->indexOf(TsPlayMusic), false);
    PageControl->addTab(TsLogView, QCoreApplication::translate("TFormMain", "Log View"));

    QVBoxLayout* layout = ZeroMarginColumn(ClsPnlRightBottom, 1);
    layout->addWidget(PannelPropertyView);
    layout->addWidget(PageControl, 1);
    return ClsPnlRightBottom;
}

} // namespace varnello
