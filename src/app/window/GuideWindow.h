#pragma once

#include <QWidget>

class QListWidget;
class QTextBrowser;

namespace pm {

// Help: the user's guide in a window of its own, its chapters on the left and the text on the
// right. The text is the docs folder's, built into the program, so it is there without a network
// and always describes the program it comes with.
class GuideWindow : public QWidget {
public:
    explicit GuideWindow(QWidget* parent = nullptr);

    // Shows chapter `index` (0 is the window).
    void showChapter(int index);
    QTextBrowser* browser() const { return browser_; }

private:
    QListWidget* chapters_ = nullptr;
    QTextBrowser* browser_ = nullptr;
};

} // namespace pm
