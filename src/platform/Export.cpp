#include "platform/Export.h"

namespace pm {

bool ExportProgress::advance(qint64 done) {
    const int permille = int(std::clamp<qint64>(done * 1000 / total_, 0, 1000));
    if (permille != permille_) {
        permille_ = permille;
        if (moved)
            moved(permille);
    }
    return !cancelled();
}

void runExportHere(const ExportWork& work, const std::function<void(const ExportOutcome&)>& done) {
    ExportProgress progress;
    const ExportOutcome outcome = work(progress);
    if (done)
        done(outcome);
}

} // namespace pm
