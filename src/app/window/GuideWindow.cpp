#include "app/window/GuideWindow.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QSplitter>
#include <QTextBrowser>
#include <QUrl>

// The resource lives in a static library: nothing would pull it into the program otherwise.
static void loadGuideResource() {
    Q_INIT_RESOURCE(guide);
}

namespace pm {

namespace {
struct Chapter {
    const char* title;
    const char* file;
};
const Chapter kChapters[] = {
    {"The window", "window.md"},
    {"Phasor diagram", "phasor.md"},
    {"Trend and recording", "trend.md"},
    {"Wiring check", "wiring.md"},
    {"Field jobs", "jobs.md"},
    {"Saving and printing", "saving.md"},
    {"MQTT and Prometheus", "telemetry.md"},
    {"Simulator and command line", "tools.md"},
};
} // namespace

GuideWindow::GuideWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    loadGuideResource();
    setObjectName(QStringLiteral("Guide"));
    setWindowTitle(QStringLiteral("phasemeter guide"));
    resize(760, 560);

    chapters_ = new QListWidget(this);
    chapters_->setObjectName(QStringLiteral("GuideChapters"));
    chapters_->setToolTip(QStringLiteral("The chapters of the guide"));
    for (const Chapter& c : kChapters)
        chapters_->addItem(QString::fromLatin1(c.title));
    browser_ = new QTextBrowser(this);
    browser_->setObjectName(QStringLiteral("GuideText"));
    // Links between the chapters stay inside; those to the web open in the browser.
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths({QStringLiteral(":/guide")});

    auto* splitter = new QSplitter(this);
    splitter->addWidget(chapters_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({180, 580});
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);

    connect(chapters_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            browser_->setSource(
                QUrl(QStringLiteral("qrc:/guide/%1").arg(QString::fromLatin1(kChapters[row].file))),
                QTextDocument::MarkdownResource);
    });
    showChapter(0);
}

void GuideWindow::showChapter(int index) {
    chapters_->setCurrentRow(index);
}

} // namespace pm
