#include "THeaderStrip.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

namespace varnello {

THeaderStrip::THeaderStrip(const QString& objectName, const QString& caption, int height,
                           QWidget* parent)
    : QFrame(parent), m_caption(new QLabel(caption, this)), m_layout(new QHBoxLayout(this))
{
    setObjectName(objectName);
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setFixedHeight(height);
    m_caption->setObjectName(objectName + QStringLiteral("Caption"));
    m_layout->setContentsMargins(6, 0, 2, 0);
    m_layout->setSpacing(0);
    m_layout->addWidget(m_caption);
    m_layout->addStretch(1);
}

QToolButton* THeaderStrip::AddCloseButton(const QString& objectName)
{
    auto* button = new QToolButton(this);
    button->setObjectName(objectName);
    button->setAutoRaise(true);
    button->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton, nullptr, button));
    const int side = std::min(18, height() - 2);
    button->setFixedSize(side, side);
    button->setIconSize(QSize(side - 6, side - 6));
    button->setToolTip(QCoreApplication::translate("THeaderStrip", "Close"));
    m_layout->addWidget(button);
    return button;
}

void THeaderStrip::AddButton(QAbstractButton* button)
{
    button->setParent(this);
    // After the caption and the stretch, before the buttons already there.
    m_layout->insertWidget(2, button);
    m_layout->insertSpacing(3, 10);
}

} // namespace varnello
