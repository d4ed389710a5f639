#include "trend/TrendRecorder.h"

namespace pm {

bool TrendRecorder::startRecording(const QString& path, QString* error, QString* notice) {
    return log_.open(path, error, notice);
}

bool TrendRecorder::stopRecording(QString* error) {
    return log_.close(error);
}

bool TrendRecorder::onLiveReading(const QDateTime& time, const ReadingTexts& texts,
                                  QString* error) {
    series_.append(time.toMSecsSinceEpoch(), texts);
    return !log_.isOpen() || log_.append(time, texts, error);
}

} // namespace pm
