#include "trend/TrendLog.h"

#include "platform/AppendFile.h"
#include "trend/TrendCsv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

namespace pm {

namespace {

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

qint64 steadyMsecs() {
    static QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return since.elapsed();
}

// The header, with or without its line end (CR LF too), after an optional byte order mark.
enum class Start { Header, HeaderCut, Other };
Start startOf(QByteArray start) {
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    const QByteArray header = trendCsvHeader().toLatin1();
    const QByteArray bare = header.chopped(1);
    if (start.startsWith(header) || start.startsWith(bare + "\r\n"))
        return Start::Header;
    if (!start.isEmpty() && (bare.startsWith(start) || start == bare + '\r'))
        return Start::HeaderCut;
    return Start::Other;
}

// Where a last line that is not a whole row starts, or -1. Power lost while a row was written
// leaves it cut short, or blank or NULs where the file system had made room for it; a row
// appended behind such a line would make the whole log unreadable.
qint64 tornLastRow(const AppendFile& file) {
    const qint64 size = file.size();
    const bool ended = file.tail(1) == "\n";
    const qint64 start = file.lineStartBefore(ended ? size - 1 : size);
    if (start == 0)
        return -1; // the header alone, checked before
    if (!ended)
        return start;
    // Longer than any row: not one, and not read whole into memory.
    constexpr qint64 kLongestRow = 1024;
    const qint64 length = size - 1 - start;
    if (length > kLongestRow)
        return start;
    QByteArray line = file.read(start, length);
    if (line.endsWith('\r'))
        line.chop(1);
    return isTrendCsvRow(line) ? -1 : start;
}

} // namespace

TrendLog::~TrendLog() {
    close();
}

bool TrendLog::open(const QString& path, QString* error, QString* notice) {
    close();
    auto file = std::make_unique<AppendFile>();
    QString why;
    switch (file->open(path, &why)) {
    case AppendFile::Opened::Yes:
        break;
    case AppendFile::Opened::Locked:
        *error = QStringLiteral("%1 is being recorded by another program.").arg(native(path));
        return false;
    case AppendFile::Opened::Failed:
        *error = QStringLiteral("%1 could not be opened for recording: %2.").arg(native(path), why);
        return false;
    }
    const QByteArray header = trendCsvHeader().toLatin1();
    // Under the lock: two programs starting together cannot both find the file empty.
    qint64 keep = -1;
    const Start start = startOf(file->head(header.size() + 4));
    if (start == Start::Other && file->size() > 0) {
        *error = QStringLiteral("%1 holds something other than readings: its first line is not "
                                "\"%2\". It was left as it was.")
                     .arg(native(path), QString::fromLatin1(header.chopped(1)));
        return false;
    }
    if (start == Start::HeaderCut) {
        keep = 0; // the header itself was cut short: written again whole
    } else if (file->size() > 0) {
        keep = tornLastRow(*file);
        if (keep >= 0 && notice)
            *notice = QStringLiteral("The last row of %1 was incomplete and was removed.")
                          .arg(native(path));
    }
    if ((keep >= 0 && !file->truncate(keep, &why)) ||
        (file->size() == 0 && !file->write(header, &why))) {
        const bool made = file->created();
        file.reset();
        if (made)
            QFile::remove(path);
        *error = QStringLiteral("%1 could not be written: %2.").arg(native(path), why);
        return false;
    }
    path_ = path;
    created_ = file->created();
    accepted_ = 0;
    std::unique_ptr<RowStore> store = std::move(file);
    if (wrap_)
        store = wrap_(std::move(store));
    writer_ = std::make_unique<LogWriter>(std::move(store), clock_ ? clock_ : steadyMsecs);
    return true;
}

bool TrendLog::append(const QDateTime& time, const ReadingTexts& texts, QString* error) {
    if (!writer_) {
        *error = QStringLiteral("No log file is open.");
        return false;
    }
    const QString failed = writer_->failure();
    if (!failed.isEmpty())
        return stop(error, failureMessage(failed));
    if (writer_->owedMsecs() >= kStallMsecs) {
        const std::size_t lost = writer_->abandon();
        return stop(error, QStringLiteral("%1 has not taken a row for %2 seconds (a stalled disk "
                                          "or network share). Recording stopped; the last %3 "
                                          "readings may not have been written.")
                               .arg(native(path_))
                               .arg(kStallMsecs / 1000)
                               .arg(lost));
    }
    switch (writer_->push(trendCsvRow(time, texts).toUtf8())) {
    case LogWriter::Queued::Yes:
        ++accepted_;
        return true;
    case LogWriter::Queued::Full: {
        const std::size_t lost = writer_->abandon();
        return stop(error, QStringLiteral("%1 takes rows too slowly to keep up with the meter. "
                                          "Recording stopped; the last %2 readings may not "
                                          "have been written.")
                               .arg(native(path_))
                               .arg(lost));
    }
    case LogWriter::Queued::Failed:
        break;
    }
    return stop(error, failureMessage(writer_->failure()));
}

QString TrendLog::failureMessage(const QString& why) const {
    const QString failed =
        QStringLiteral("%1 could not be written: %2. Recording stopped").arg(native(path_), why);
    if (!QFileInfo::exists(path_))
        return failed + QStringLiteral("; the file is no longer there.");
    const std::size_t written = writer_ ? writer_->written() : 0;
    if (written == 0)
        return failed + QStringLiteral(" before any reading was written.");
    return failed + QStringLiteral("; the %1 readings written before are kept.").arg(written);
}

bool TrendLog::stop(QString* error, const QString& message) {
    *error = message;
    // The writer has ended or was abandoned: nothing is waited for.
    writer_.reset();
    return false;
}

bool TrendLog::close(QString* error) {
    if (!writer_)
        return true;
    const bool ok = writer_->finish();
    if (!ok && error)
        *error = failureMessage(writer_->failure());
    // Still locked: no other program has taken the file in between.
    if (ok && created_ && accepted_ == 0)
        QFile::remove(path_);
    writer_.reset();
    return ok;
}

std::size_t TrendLog::behind() const {
    return writer_ ? writer_->behind() : 0;
}

} // namespace pm
