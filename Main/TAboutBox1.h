#pragma once
// The about box: product name, version of the build and the maker's links.
// The links are opened through the function it is given, the Help menu's
// one way out to the desktop.

#include <QDialog>
#include <QUrl>
#include <functional>

namespace varnello {

class TAboutBox1 : public QDialog
{
    Q_OBJECT

public:
    using UrlOpener = std::function<void(const QUrl&)>;

    TAboutBox1(QWidget* owner, UrlOpener opener);

private:
    void CreateLayout();
    void LinkActivated(const QString& link);

    UrlOpener m_opener;
};

} // namespace varnello
