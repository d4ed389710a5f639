#include "app/window/StatusBar.h"

#include "app/style/Fonts.h"
#include "app/window/Geometry.h"
#include "link/FormState.h"
#include "protocol/Download.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QRegularExpression>

namespace pm {

namespace {
constexpr int kClockPanelTwips = 1440;
const QColor kLinkedGreen(0, 160, 0);
const QColor kSearchingAmber(220, 140, 0);
const QColor kRecordingRed(220, 0, 0);

QLabel* makePanel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setFont(songFont(9.75, true));
    return label;
}

QLabel* makeText(QWidget* parent, const QString& name, bool yields) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setFont(songFont(9.75, true));
    // Long texts give way rather than push the clock off the bar; the tip has them whole.
    if (yields) {
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setMinimumWidth(40);
    }
    return label;
}

QLabel* makeMark(QWidget* parent, const QString& name) {
    auto* mark = new QLabel(QStringLiteral("\u25CF"), parent);
    mark->setObjectName(name);
    mark->setFont(songFont(9.75, true));
    return mark;
}

void paintMark(QLabel* mark, const QColor& color) {
    QPalette palette = mark->palette();
    palette.setColor(QPalette::WindowText, color);
    mark->setPalette(palette);
}
} // namespace

ClockTexts clockTexts(const QDateTime& now, const QLocale& locale) {
    // The long time format is the one with seconds; the zone name it may carry is not wanted.
    QString timeFormat = locale.timeFormat(QLocale::LongFormat);
    timeFormat.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*$|^\\s*t+\\s*")));
    return {locale.toString(now.date(), QLocale::ShortFormat),
            locale.toString(now.time(), timeFormat.trimmed())};
}

LinkStatus linkStatus(const LinkCaptions& captions, bool linked) {
    const QString port = captions.label1.section(QLatin1Char(' '), 0, 0);
    const bool named = port.startsWith(QLatin1String("COM"));
    if (linked)
        return {named ? QStringLiteral("Meter connected on %1").arg(port)
                      : QStringLiteral("Meter connected"),
                kLinkedGreen};
    if (!named)
        return {QStringLiteral("Looking for the meter"), kSearchingAmber};
    if (captions.label1.endsWith(QLatin1String("Unviable")))
        return {QStringLiteral("No meter: %1 cannot be opened").arg(port), kSearchingAmber};
    return {QStringLiteral("No meter: trying %1").arg(port), kSearchingAmber};
}

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);

    panels_[0] = makePanel(this, QStringLiteral("StatusBar1.Panel1"));
    panels_[0]->setFixedWidth(px(kClockPanelTwips));
    panels_[0]->setToolTip(QStringLiteral("Today's date"));

    // Panel 2 takes the rest of the bar.
    auto* middle = new QFrame(this);
    middle->setObjectName(QStringLiteral("StatusBar1.Panel2"));
    middle->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(middle);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(4);
    linkMark_ = makeMark(middle, QStringLiteral("LinkMark"));
    link_ = makeText(middle, QStringLiteral("LinkText"), false);
    panels_[1] = link_;
    recordingMark_ = makeMark(middle, QStringLiteral("RecordingMark"));
    paintMark(recordingMark_, kRecordingRed);
    recording_ = makeText(middle, QStringLiteral("RecordingText"), true);
    note_ = makeText(middle, QStringLiteral("DownloadNote"), true);
    progress_ = new QProgressBar(middle);
    progress_->setObjectName(QStringLiteral("DownloadProgress"));
    progress_->setFixedWidth(160);
    progress_->setTextVisible(true);
    lastReading_ = makeText(middle, QStringLiteral("LastReading"), false);
    lastReading_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(linkMark_);
    layout->addWidget(link_);
    layout->addSpacing(8);
    layout->addWidget(recordingMark_);
    layout->addWidget(recording_, 1);
    layout->addWidget(note_, 1);
    layout->addStretch();
    layout->addWidget(progress_);
    layout->addWidget(lastReading_);
    recordingMark_->hide();
    recording_->hide();
    note_->hide();
    progress_->hide();
    showLink(linkStatus(LinkCaptions(), false));
    showLastReading({});

    panels_[2] = makePanel(this, QStringLiteral("StatusBar1.Panel3"));
    panels_[2]->setFixedWidth(px(kClockPanelTwips));
    panels_[2]->setToolTip(QStringLiteral("The time now"));

    addWidget(panels_[0]);
    addWidget(middle, 1);
    addWidget(panels_[2]);
}

void StatusBar::showClock(const QDateTime& now) {
    const ClockTexts texts = clockTexts(now);
    panels_[0]->setText(texts.date);
    panels_[2]->setText(texts.time);
}

void StatusBar::showLink(const LinkStatus& status) {
    paintMark(linkMark_, status.mark);
    link_->setText(status.text);
    link_->setToolTip(status.text);
}

void StatusBar::showRecording(const QString& text, const QString& tip) {
    recording_->setText(text);
    recording_->setToolTip(tip);
    recordingMark_->setToolTip(tip);
    recording_->setVisible(!text.isEmpty());
    recordingMark_->setVisible(!text.isEmpty());
}

void StatusBar::showLastReading(const QDateTime& at) {
    const QString text = at.isValid() ? QStringLiteral("Last reading %1").arg(clockTexts(at).time)
                                      : QStringLiteral("No reading yet");
    lastReading_->setText(text);
    lastReading_->setToolTip(at.isValid() ? QLocale().toString(at, QLocale::LongFormat) : text);
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
