#include "TPlaybackPanel.h"

#include "THeaderStrip.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

namespace {

QToolButton* MakePlayerButton(QWidget* parent, const char* name, const char* text,
                              QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(QCoreApplication::translate("TPlaybackPanel", text));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    return button;
}

} // namespace

TPlaybackPanel::TPlaybackPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ClsPnlLeftBottom"));
    resize(width(), kHeight);
    auto* header = new THeaderStrip(QStringLiteral("PnlLeftBottomPlay"),
                                    QCoreApplication::translate("TPlaybackPanel", "Play"),
                                    kHeaderHeight, this);
    m_closeButton = header->AddCloseButton(QStringLiteral("spbtnPlayClose"));
    connect(m_closeButton, &QToolButton::clicked, this, &TPlaybackPanel::CloseClicked);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(CreatePlayer());
    layout->addStretch(1);
    setVisible(false);
}

QWidget* TPlaybackPanel::CreatePlayer()
{
    // The player's face only: no file, no device, no command is ever sent.
    auto* player = new QWidget(this);
    player->setObjectName(QStringLiteral("mpPlayMusic"));
    auto* layout = new QHBoxLayout(player);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(MakePlayerButton(player, "btPlay", "Play", QStyle::SP_MediaPlay));
    layout->addWidget(MakePlayerButton(player, "btPause", "Pause", QStyle::SP_MediaPause));
    layout->addWidget(MakePlayerButton(player, "btStop", "Stop", QStyle::SP_MediaStop));
    layout->addStretch(1);
    return player;
}

} // namespace varnello
