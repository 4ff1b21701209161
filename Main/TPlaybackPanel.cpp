#include "TPlaybackPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace varnello {

namespace {

QToolButton* MakePlayerButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(icon));
    button->setAutoRaise(true);
    return button;
}

} // namespace

TPlaybackPanel::TPlaybackPanel(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ClsPnlLeftBottom"));
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumHeight(30);
    resize(width(), kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(CreateHeader());
    layout->addWidget(CreatePlayer());
    layout->addStretch(1);
    setVisible(false);
}

QWidget* TPlaybackPanel::CreateHeader()
{
    auto* header = new QFrame(this);
    header->setObjectName(QStringLiteral("PnlLeftBottomPlay"));
    header->setFrameShape(QFrame::Panel);
    header->setFrameShadow(QFrame::Raised);
    header->setFixedHeight(kHeaderHeight);
    auto* caption = new QLabel(QStringLiteral("Play"), header);
    caption->setObjectName(QStringLiteral("PnlLeftBottomPlayCaption"));
    m_closeButton = new QToolButton(header);
    m_closeButton->setObjectName(QStringLiteral("spbtnPlayClose"));
    m_closeButton->setAutoRaise(true);
    m_closeButton->setFixedSize(kCloseButtonSize, kCloseButtonSize);
    m_closeButton->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    connect(m_closeButton, &QToolButton::clicked, this, &TPlaybackPanel::CloseClicked);
    // The layout keeps the close button at the header's right edge whatever
    // its width.
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(4, 0, 1, 0);
    layout->addWidget(caption);
    layout->addStretch(1);
    layout->addWidget(m_closeButton);
    return header;
}

QWidget* TPlaybackPanel::CreatePlayer()
{
    // No file, no device: the buttons are the player's face only.
    auto* player = new QWidget(this);
    player->setObjectName(QStringLiteral("mpPlayMusic"));
    auto* layout = new QHBoxLayout(player);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(MakePlayerButton(player, "btPlay", QStyle::SP_MediaPlay));
    layout->addWidget(MakePlayerButton(player, "btPause", QStyle::SP_MediaPause));
    layout->addWidget(MakePlayerButton(player, "btStop", QStyle::SP_MediaStop));
    layout->addStretch(1);
    return player;
}

} // namespace varnello
