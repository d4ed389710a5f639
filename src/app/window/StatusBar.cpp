#include "app/window/StatusBar.h"

#include "app/window/Fonts.h"
#include "app/window/Geometry.h"
#include "protocol/Download.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>

namespace pm {

namespace {
constexpr int kClockPanelTwips = 1440;

QLabel* makePanel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFont(songFont(9.75, true));
    return label;
}
} // namespace

ClockTexts clockTexts(const QDateTime& now, const QLocale& locale) {
    // The long time format is the one with seconds; the zone name it may carry is not wanted.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$|^\\s*t+\\s*")));
    return {locale.toString(now.date(), QLocale::ShortFormat),
            locale.toString(now.time(), timeFormat.trimmed())};
}

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);

    panels_[0] = makePanel(this, QStringLiteral("StatusBar1.Panel1"));
    panels_[0]->setFixedWidth(px(kClockPanelTwips));

    // Panel 2 takes the rest of the bar; a download shows its progress at its right end.
    auto* middle = new QFrame(this);
    middle->setObjectName(QStringLiteral("StatusBar1.Panel2"));
    middle->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(middle);
    layout->setContentsMargins(2, 0, 2, 0);
    panels_[1] = new QLabel(QStringLiteral("DOUBLE PHASE DIGITAL PHASE METER"), middle);
    panels_[1]->setObjectName(QStringLiteral("StatusBar1.Panel2.Text"));
    panels_[1]->setFont(songFont(9.75, true));
    layout->addWidget(panels_[1], 1);
    note_ = new QLabel(middle);
    note_->setObjectName(QStringLiteral("DownloadNote"));
    note_->setFont(songFont(9.75, true));
    note_->hide();
    layout->addWidget(note_);
    progress_ = new QProgressBar(middle);
    progress_->setObjectName(QStringLiteral("DownloadProgress"));
    progress_->setFixedWidth(200);
    progress_->setTextVisible(true);
    progress_->hide();
    layout->addWidget(progress_);

    panels_[2] = makePanel(this, QStringLiteral("StatusBar1.Panel3"));
    panels_[2]->setFixedWidth(px(kClockPanelTwips));

    addWidget(panels_[0]);
    addWidget(middle, 1);
    addWidget(panels_[2]);
}

void StatusBar::showClock(const QDateTime& now) {
    const ClockTexts texts = clockTexts(now);
    panels_[0]->setText(texts.date);
    panels_[2]->setText(texts.time);
}

void StatusBar::showProgress(const DownloadProgress& progress) {
    if (!progress.running) {
        progress_->hide();
        return;
    }
    // While the count is awaited the length of the download is not known yet: a busy bar.
    progress_->setFormat(progress.pass == 0 ? QStringLiteral("%v / %m")
                                            : QStringLiteral("Asking again: %v of %m"));
    progress_->setRange(0, progress.total);
    progress_->setValue(progress.sent);
    progress_->show();
}

void StatusBar::showNote(const QString& text) {
    note_->setText(text);
    note_->setToolTip(text); // a long list may not fit the bar
    note_->setVisible(!text.isEmpty());
}

QLabel* StatusBar::panel(int index) const {
    return panels_[index - 1];
}

} // namespace pm
