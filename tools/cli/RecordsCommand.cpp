#include "cli/Cli.h"
#include "cli/MeterLink.h"
#include "common/SignalWatcher.h"
#include "platform/DiskFileStore.h"
#include "platform/PortMap.h"
#include "platform/XlsxWorkbookWriter.h"
#include "protocol/Download.h"
#include "records/RecordCsv.h"
#include "records/RecordTable.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#include "records/Toexcel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <utility>

namespace pm::cli {

namespace {

enum class Format { Txt, Xlsx, Csv };

struct RecordsOptions {
    QString device; // empty: look for the meter
    QString output;
    Format format = Format::Txt;
    Pacing pacing = Pacing::Fixed;
};

const QString kDescription = QStringLiteral(
    "Links to the meter and downloads every stored record, as \"Read\" does in the window: the\n"
    "count, then one request per 100 ms (300 records take 30 s), or with --pacing reply the\n"
    "next request as soon as a reply is in (the wait for a reply grows from 100 ms up to 1 s\n"
    "when the meter answers late). One request is on the line at a time: after a time-out\n"
    "nothing is sent until the reply has come, or the line has been quiet for 1 s, so a late\n"
    "reply is its own request's; a request that draws two replies files neither. Records\n"
    "that did not arrive are asked for again, in up to two more passes; a record whose reply\n"
    "no reading can have is filed only when the meter sends the same bytes twice, and named\n"
    "as stored damaged. Then writes the table:\n"
    "  txt   the record blocks as the window saves them (Windows-1252, CR LF);\n"
    "  xlsx  the table as a workbook, cell for cell, as the window exports it;\n"
    "  csv   a header, then one row per record with every value as a plain number.\n"
    "Without --format the type follows the name: .xlsx or .xls gives xlsx, .csv gives csv,\n"
    "anything else txt. Progress goes to standard error. When records are still missing at\n"
    "the end, or the link is lost during the download, writes the records that arrived, names\n"
    "the missing ones and fails. Writes nothing, keeps an old file and fails when no record\n"
    "arrived, the meter holds none, or its record count could not be read.");

std::optional<Format> formatFromName(const QString& name) {
    if (name == QLatin1String("txt"))
        return Format::Txt;
    if (name == QLatin1String("xlsx"))
        return Format::Xlsx;
    if (name == QLatin1String("csv"))
        return Format::Csv;
    return std::nullopt;
}

Format formatFromOutput(const QString& output) {
    const QString suffix = QFileInfo(output).suffix().toLower();
    if (suffix == QLatin1String("xlsx") || suffix == QLatin1String("xls"))
        return Format::Xlsx;
    if (suffix == QLatin1String("csv"))
        return Format::Csv;
    return Format::Txt;
}

bool writeTable(const RecordsOptions& o, const RecordTable& table, int reccount, QString* why) {
    DiskFileStore files;
    switch (o.format) {
    case Format::Txt:
        return files.write(
            o.output, textFileBytes(tableTextLines(table, blocksToWrite(reccount, table))), why);
    case Format::Csv:
        return files.write(
            o.output, textFileBytes(recordCsvLines(table, std::clamp(reccount, 0, table.blocks()))),
            why);
    case Format::Xlsx: {
        XlsxWorkbookWriter workbook;
        return toexcel(table, o.output, workbook, files, why);
    }
    }
    return false;
}

// Progress on standard error: one line rewritten on a terminal, a line now and then in a log.
class Progress {
public:
    Progress() : terminal_(isatty(fileno(stderr)) != 0) {}
    void show(const DownloadProgress& p) {
        if (!p.running || p.total < 1 || (p.sent == shown_.sent && p.pass == shown_.pass))
            return;
        shown_ = p;
        const QString line = (p.pass == 0 ? QStringLiteral("Record %1 of %2")
                                          : QStringLiteral("Asking again: %1 of %2"))
                                 .arg(p.sent)
                                 .arg(p.total);
        if (terminal_) {
            put(QLatin1Char('\r') + line);
            lineOpen_ = true;
        } else if (p.sent == p.total || p.sent % 100 == 0) {
            put(line + QLatin1Char('\n'));
        }
    }
    void say(const QString& text) {
        endLine();
        put(text + QLatin1Char('\n'));
    }
    // Before a message of another kind.
    void endLine() {
        if (std::exchange(lineOpen_, false))
            put(QStringLiteral("\n"));
    }

private:
    static void put(const QString& text) {
        std::fputs(text.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }
    bool terminal_;
    bool lineOpen_ = false;
    DownloadProgress shown_;
};

} // namespace

int runRecords(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption port = portOption();
    const QCommandLineOption outputOption(QStringLiteral("output"),
                                          QStringLiteral("The file to write (replaced if it "
                                                         "exists)."),
                                          QStringLiteral("FILE"));
    const QCommandLineOption formatOption(QStringLiteral("format"),
                                          QStringLiteral("txt, xlsx or csv."),
                                          QStringLiteral("txt|xlsx|csv"));
    const QCommandLineOption pacingOption(
        QStringLiteral("pacing"),
        QStringLiteral("fixed: one request per 100 ms (the default); reply: the next as soon as "
                       "the reply is in, or after a wait that grows with the meter's replies."),
        QStringLiteral("fixed|reply"));
    parser.addOptions({port, outputOption, formatOption, pacingOption});
    if (const auto done = parseArguments(parser, QStringLiteral("records"),
                                         QStringLiteral("records [--port DEV] --output FILE "
                                                        "[--format txt|xlsx|csv] "
                                                        "[--pacing fixed|reply]"),
                                         kDescription, arguments))
        return *done;

    auto usage = [](const QString& message) {
        return usageError(QStringLiteral("records"), message);
    };
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument \"%1\".")
                         .arg(parser.positionalArguments().first()));
    RecordsOptions o;
    o.device = parser.value(port);
    if (parser.isSet(port) && o.device.isEmpty())
        return usage(QStringLiteral("--port needs a device, e.g. /dev/ttyUSB0."));
    o.output = parser.value(outputOption);
    if (o.output.isEmpty())
        return usage(QStringLiteral("--output names the file to write."));
    o.format = formatFromOutput(o.output);
    if (parser.isSet(formatOption)) {
        const auto f = formatFromName(parser.value(formatOption));
        if (!f)
            return usage(QStringLiteral("--format is txt, xlsx or csv, not \"%1\".")
                             .arg(parser.value(formatOption)));
        o.format = *f;
    }
    if (parser.isSet(pacingOption)) {
        const auto pacing = pacingFromName(parser.value(pacingOption));
        if (!pacing)
            return usage(QStringLiteral("--pacing is fixed or reply, not \"%1\".")
                             .arg(parser.value(pacingOption)));
        o.pacing = *pacing;
    }
    // A download takes a while: find out now, not after it, that the file cannot go there.
    if (const QString why = whyNotWritable(o.output); !why.isEmpty()) {
        printError(
            QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(o.output), why));
        return kExitFailure;
    }

    if (!o.device.isEmpty())
        setPortDevices({o.device});
    RecordTable table;
    MeterLink link(o.device.isEmpty() ? kPortCount : 1, &table);
    MeterCore& core = link.core();
    FormState& form = core.form;
    form.download.pacing = o.pacing;
    Progress progress;
    enum class Phase { Searching, WaitingForQuiet, Downloading, Done };
    Phase phase = Phase::Searching;

    // Whatever ends the run ends it once: nothing is written, or said, after that.
    auto fail = [&](const QString& message) {
        phase = Phase::Done;
        link.stop();
        progress.endLine();
        printError(message);
        QCoreApplication::exit(kExitFailure);
    };
    // The download is over: write what arrived, unless nothing did.
    auto complete = [&] {
        if (phase == Phase::Done)
            return;
        const DownloadState& d = form.download;
        const QString lost = d.linkLost ? link.lostMessage() + QLatin1Char('\n') : QString();
        const QString problems = downloadProblems(d).join(QLatin1Char(' '));
        const QString advice =
            meterAnswersLate(d)
                ? QLatin1Char(' ') + lateMeterAdvice(QStringLiteral("--pacing reply"))
                : QString();
        if (!d.counted) {
            fail(lost + (problems.isEmpty() ? QString() : problems + QLatin1Char(' ')) +
                 QStringLiteral("Nothing was written."));
            return;
        }
        const int asked = lastRecordToRequest(form);
        // An old file is never replaced by an empty one: a meter that holds no records leaves
        // nothing to write.
        if (asked == 0 || d.missing.size() == asked) {
            fail(lost + (problems.isEmpty() ? QString() : problems + QLatin1Char(' ')) +
                 QStringLiteral("Nothing was written.") + advice);
            return;
        }
        phase = Phase::Done;
        link.stop();
        progress.endLine();
        QString why;
        if (!writeTable(o, table, form.reccount, &why)) {
            printError(why);
            QCoreApplication::exit(kExitFailure);
            return;
        }
        const QString wrote = QStringLiteral("Wrote %1 of %2 records to %3.")
                                  .arg(asked - d.missing.size())
                                  .arg(asked)
                                  .arg(QDir::toNativeSeparators(o.output));
        if (!d.missing.isEmpty()) {
            printError(lost + wrote + QLatin1Char(' ') + problems + advice);
            QCoreApplication::exit(kExitFailure);
            return;
        }
        // Records stored damaged are downloaded as the meter holds them, and named.
        progress.say(QStringLiteral("Wrote %1 record%2 to %3.")
                         .arg(asked)
                         .arg(asked == 1 ? "" : "s")
                         .arg(QDir::toNativeSeparators(o.output)) +
                     (problems.isEmpty() ? QString() : QLatin1Char(' ') + problems) + advice);
        QCoreApplication::exit(kExitOk);
    };
    core.downloadEnded = [&] {
        if (phase == Phase::Downloading)
            complete();
    };
    // "Read" works on the recall view. The count is asked for right after a reply, when no
    // request is outstanding: a poll answered after the count request would be taken for the
    // count.
    link.onLinked = [&] {
        if (phase != Phase::Searching)
            return;
        phase = Phase::WaitingForQuiet;
        progress.say(QStringLiteral("Found the meter on %1.").arg(link.linkedPort()));
        core.showView(kFalse);
    };
    link.onReply = [&](ReplyKind kind) {
        if (phase == Phase::WaitingForQuiet) {
            phase = Phase::Downloading;
            QTimer::singleShot(0, &link, [&core] { core.read(); });
            return;
        }
        if (phase != Phase::Downloading)
            return;
        if (kind == ReplyKind::Count && form.download.counted)
            progress.say(QStringLiteral("The meter holds %1 record%2.")
                             .arg(form.reccount)
                             .arg(form.reccount == 1 ? "" : "s"));
        else if (kind == ReplyKind::Record)
            progress.show(downloadProgress(form));
    };
    link.onFailure = [&](const QString& message) {
        if (phase != Phase::Done)
            fail(message + QStringLiteral(" Nothing was written."));
    };
    SignalWatcher interrupt([&](int) {
        if (phase != Phase::Done)
            fail(QStringLiteral("Interrupted. Nothing was written."));
    });
    link.start();
    return QCoreApplication::exec();
}

} // namespace pm::cli
