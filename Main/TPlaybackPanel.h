#pragma once
// The playback panel at the bottom of the directory panel: a "Play" strip
// with its close button over the Play, Pause and Stop buttons. It is hidden
// from the start and nothing shows it; its buttons play nothing, and no
// multimedia library is involved.

#include <QFrame>

class QToolButton;

namespace varnello {

class TPlaybackPanel : public QFrame
{
    Q_OBJECT

public:
    static constexpr int kHeight = 264;
    static constexpr int kHeaderHeight = 22;

    explicit TPlaybackPanel(QWidget* parent = nullptr);

    QToolButton* CloseButton() const { return m_closeButton; }

signals:
    // The close button was clicked; the window hides the directory panel.
    void CloseClicked();

private:
    QWidget* CreatePlayer();

    QToolButton* m_closeButton = nullptr;
};

} // namespace varnello
