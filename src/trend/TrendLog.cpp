#include "trend/TrendLog.h"

#include "trend/TrendCsv.h"

#include <QDir>

namespace pm {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

bool TrendLog::open(const QString& path, QString* error) {
    close();
    QString why;
    if (!file_.open(path, &why)) {
        *error = QStringLiteral("%1 could not be opened for recording: %2.").arg(native(path), why);
        return false;
    }
    path_ = path;
    const QByteArray header = trendCsvHeader().toLatin1();
    if (file_.size() == 0)
        return write(header, error);
    QByteArray start = file_.head(header.size() + 4);
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    const QByteArray bare = header.chopped(1);
    const bool isHeader = start == bare || start.startsWith(header) ||
                          start.startsWith(bare + QByteArrayLiteral("\r\n"));
    if (!isHeader) {
        close();
        *error = QStringLiteral("%1 holds something other than readings: its first line is not "
                                "\"%2\". It was left as it was.")
                     .arg(native(path), QString::fromLatin1(bare));
        return false;
    }
    // A row cut short (the machine lost power while writing it) stays a line of its own.
    needsNewline_ = !file_.tail(1).endsWith('\n');
    return true;
}

bool TrendLog::append(const QDateTime& time, const ReadingTexts& texts, QString* error) {
    return write(trendCsvRow(time, texts).toUtf8(), error);
}

bool TrendLog::write(const QByteArray& bytes, QString* error) {
    if (!file_.isOpen()) {
        *error = QStringLiteral("No log file is open.");
        return false;
    }
    QString why;
    if (file_.write(needsNewline_ ? '\n' + bytes : bytes, &why)) {
        needsNewline_ = false;
        return true;
    }
    *error = QStringLiteral("%1 could not be written: %2. Recording stopped; the rows written "
                            "before are kept.")
                 .arg(native(path_), why);
    close();
    return false;
}

void TrendLog::close() {
    file_.close();
}

} // namespace pm
