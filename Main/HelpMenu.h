#pragma once
// The Help menu: the help page, the home page, a prepared bug-report mail,
// the bug list and the about box. Every document, address and mail link goes
// through one replaceable function, OpenUrl, which by default hands it to the
// desktop (QDesktopServices::openUrl); tests replace it to see what would
// have been opened.

#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace varnello {

class HelpMenu : public QObject
{
    Q_OBJECT

public:
    using UrlOpener = std::function<void(const QUrl&)>;
    // Returns false when nothing could open the address.
    using CheckedUrlOpener = std::function<bool(const QUrl&)>;
    using MessageBox = std::function<void(const QString& title, const QString& text)>;

    static constexpr const char* kHelpFileName = "varnello.1.2.html";

    explicit HelpMenu(QWidget* window);

    void SetUrlOpener(UrlOpener opener);
    void SetCheckedUrlOpener(CheckedUrlOpener opener) { m_opener = std::move(opener); }
    void SetMessageBox(MessageBox box) { m_messageBox = std::move(box); }
    bool OpenUrl(const QUrl& url) const;

    // The help page beside the executable in `exeDir`; failing that, the one
    // of an installed program (in its data folder); failing both, the path
    // beside the executable, which the desktop then reports as missing.
    static QString HelpFilePath(const QString& exeDir);
    // "mailto:" + address + the prepared subject and body, as one text.
    static QString BugReportLink(const QString& mailAddress);

    void Content1Click();
    void Homepage1Click();
    void Reportabug1Click();
    void Viewbugs1Click();
    void About1Click();

private:
    QWidget* m_window = nullptr;
    CheckedUrlOpener m_opener;
    MessageBox m_messageBox;
};

} // namespace varnello
