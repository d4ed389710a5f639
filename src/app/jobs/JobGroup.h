#pragma once

#include <QGroupBox>

class QCompleter;
class QLabel;
class QLineEdit;
class QPushButton;
class QStringListModel;

namespace pm {

class JobSession;
class JobsWindow;
class WiringTab;
enum class CheckKind;

// The "Job" group of the Wiring tab: the job the checks go to (new, or picked in the Jobs
// window), its ratios and registers, the primary values of the reading shown, and "Save as found"
// and "Save as left" for the live reading.
class JobGroup : public QGroupBox {
public:
    // A live reading older than this is not saved.
    static constexpr qint64 kFreshMsecs = 5000;

    JobGroup(JobSession& session, WiringTab& tab, QWidget* parent = nullptr);

    // Brings the group up to date with the job and the reading.
    void refresh();
    // What the buttons do, without their dialogs.
    void save(CheckKind kind);
    void showJobs();
    // The jobs whose site or meter number holds `text`, offered under the find field.
    void find(const QString& text);
    // An offer taken: "12: site, meter" opens job 12.
    void pick(const QString& offer);

private:
    void newJob();
    void editJob();

    JobSession& session_;
    WiringTab& tab_;
    JobsWindow* jobs_ = nullptr;
    QLineEdit* find_ = nullptr;
    QStringListModel* offers_ = nullptr;
    QCompleter* completer_ = nullptr;
    QLabel* job_ = nullptr;
    QLabel* primary_ = nullptr;
    QLabel* problem_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* asFound_ = nullptr;
    QPushButton* asLeft_ = nullptr;
};

} // namespace pm
