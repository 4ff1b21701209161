#pragma once
// The caption strip at the top of a side panel ("Directory", "Play",
// "Properties View"): the caption on the left, buttons kept at the right end.

#include <QFrame>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QToolButton;

namespace varnello {

class THeaderStrip : public QFrame
{
    Q_OBJECT

public:
    THeaderStrip(const QString& objectName, const QString& caption, int height,
                 QWidget* parent = nullptr);

    // A flat close button with the platform's close glyph, at the right end.
    QToolButton* AddCloseButton(const QString& objectName);
    // Another button, placed left of the buttons already added, 10 pixels apart.
    void AddButton(QAbstractButton* button);

private:
    QLabel* m_caption = nullptr;
    QHBoxLayout* m_layout = nullptr;
};

} // namespace varnello
