#include "TAboutBox1.h"

#include "VarnelloSettings.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFont>
#include <QLabel>
#include <QVBoxLayout>

namespace varnello {

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QString Link(const QString& target, const QString& text)
{
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(target.toHtmlEscaped(), text.toHtmlEscaped());
}

} // namespace

TAboutBox1::TAboutBox1(QWidget* owner, UrlOpener opener)
    : QDialog(owner), m_opener(std::move(opener))
{
    setObjectName(QStringLiteral("AboutBox1"));
    setWindowTitle(QCoreApplication::translate("TAboutBox1", "About"));
    setModal(true);
    CreateLayout();
}

void TAboutBox1::CreateLayout()
{
    const QString product = QString::fromLatin1(settings::kProductName);
    const QString homePage = QString::fromUtf8(settings::kHomePage);
    const QString mail = QString::fromUtf8(settings::kSupportMail);

    QLabel* name = MakeLabel(this, "ProductName", product);
    QFont large = name->font();
    large.setPointSizeF(large.pointSizeF() * 1.6);
    large.setBold(true);
    name->setFont(large);

    QLabel* version = MakeLabel(this, "Version",
                                QCoreApplication::translate("TAboutBox1", "Version %1")
                                    .arg(QString::fromLatin1(settings::kVersion)));
    QLabel* purpose =
        MakeLabel(this, "Comments",
                  QCoreApplication::translate("TAboutBox1",
                                              "A desktop editor for the ID3 tags of MP3 files."));
    QLabel* links = MakeLabel(this, "Links",
                              Link(homePage, homePage) + QStringLiteral("<br>") +
                                  Link(QStringLiteral("mailto:") + mail, mail));
    links->setTextFormat(Qt::RichText);
    links->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    links->setOpenExternalLinks(false);
    connect(links, &QLabel::linkActivated, this, &TAboutBox1::LinkActivated);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("OKButton"));
    buttons->setCenterButtons(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 12);
    layout->setSpacing(8);
    layout->addWidget(name);
    layout->addWidget(version);
    layout->addWidget(purpose);
    layout->addSpacing(6);
    layout->addWidget(links);
    layout->addSpacing(6);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TAboutBox1::LinkActivated(const QString& link)
{
    if (m_opener) {
        m_opener(QUrl(link, QUrl::TolerantMode));
    }
}

} // namespace varnello
