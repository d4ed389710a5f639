#pragma once

#include "protocol/Reading.h"

#include <QWidget>
#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace pm {

class JobSession;
class PhasorDiagram;
struct JobFilter;

// The Jobs window: the jobs of the store, newest first, searched by site, meter number and date;
// the job opened shows its last as-found and as-left checks side by side, the energy to back-bill,
// and writes its report. Opening a job makes it the Wiring tab's too.
class JobsWindow : public QWidget {
public:
    // At most this many jobs are listed; the search narrows them.
    static constexpr int kListed = 500;

    JobsWindow(JobSession& session, QWidget* parent = nullptr);

    // The list again, as the search fields say.
    void search();
    // The job in row `row` of the list, opened.
    void openRow(int row);
    // The job opened, as its report or the export, written to `path`; false with why.
    bool writeReport(const QString& path, QString* error);
    bool writeExport(const QString& path, QString* error);

private:
    void showJob();
    bool filter(JobFilter& f);

    JobSession& session_;
    QLineEdit* site_ = nullptr;
    QLineEdit* meter_ = nullptr;
    QLineEdit* since_ = nullptr;
    QLineEdit* until_ = nullptr;
    QLabel* count_ = nullptr;
    QTableWidget* list_ = nullptr;
    std::array<Panel, 2> texts_;
    std::array<PhasorDiagram*, 2> diagrams_{};
    std::array<QLabel*, 2> checks_{};
    QLabel* billing_ = nullptr;
    QPushButton* report_ = nullptr;
};

} // namespace pm
