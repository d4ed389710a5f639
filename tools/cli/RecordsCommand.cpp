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

namespace pm::cli {

namespace {

enum class Format { Txt, Xlsx, Csv };

struct RecordsOptions {
    QString device; // empty: look for the meter
    QString output;
    Format format = Format::Txt;
};

// The reply to the last request comes about 23 ms after it on the wire; a second is plenty.
constexpr int kLastReplyWaitMs = 1000;

const QString kDescription = QStringLiteral(
    "Links to the meter and downloads every stored record, as \"Read\" does in the window: the\n"
    "count, then one request per 100 ms (300 records take 30 s). Then writes the table:\n"
    "  txt   the record blocks as the window saves them (Windows-1252, CR LF);\n"
    "  xlsx  the table as a workbook, cell for cell, as the window exports it;\n"
    "  csv   a header, then one row per record with every value as a plain number.\n"
    "Without --format the type follows the name: .xlsx or .xls gives xlsx, .csv gives csv,\n"
    "anything else txt. Progress goes to standard error. Fails without writing anything when\n"
    "the meter is not found or the link is lost; when some records did not arrive, writes\n"
    "the others, names the missing ones and fails.");

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

// Records whose block holds no reading: their reply never came. (Block 1 has its headings from
// the start, so a label alone does not tell.)
QList<int> missingRecords(const RecordTable& table, int count) {
    QList<int> missing;
    for (int k = 1; k <= count; ++k) {
        bool arrived = false;
        for (int f = 0; f < kFieldCount && !arrived; ++f)
            arrived = !table.fieldText(k, Field(f)).isEmpty();
        if (!arrived)
            missing << k;
    }
    return missing;
}

QString listOf(const QList<int>& numbers) {
    QStringList parts;
    for (int n : numbers.mid(0, 20))
        parts << QString::number(n);
    if (numbers.size() > 20)
        parts << QStringLiteral("and %1 more").arg(numbers.size() - 20);
    return parts.join(QStringLiteral(", "));
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
    void record(int k, int count) {
        const QByteArray line = QStringLiteral("Record %1 of %2").arg(k).arg(count).toLatin1();
        if (terminal_) {
            std::fprintf(stderr, "\r%s", line.constData());
            if (k == count)
                std::fputc('\n', stderr);
        } else if (k == count || k % 100 == 0) {
            std::fprintf(stderr, "%s\n", line.constData());
        }
        std::fflush(stderr);
    }
    void say(const QString& text) {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        std::fflush(stderr);
    }

private:
    bool terminal_;
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
    parser.addOptions({port, outputOption, formatOption});
    if (const auto done = parseArguments(
            parser, QStringLiteral("records"),
            QStringLiteral("records [--port DEV] --output FILE [--format txt|xlsx|csv]"),
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
    Progress progress;
    enum class Phase { Searching, WaitingForQuiet, Downloading, Writing };
    Phase phase = Phase::Searching;
    QTimer lastReply;
    lastReply.setSingleShot(true);
    lastReply.setInterval(kLastReplyWaitMs);

    auto finish = [&link](int code) {
        link.stop();
        QCoreApplication::exit(code);
    };
    // The download is over: write what arrived.
    auto complete = [&] {
        if (phase == Phase::Writing)
            return;
        phase = Phase::Writing;
        lastReply.stop();
        const int count = form.reccount;
        link.stop();
        QString why;
        if (!writeTable(o, table, count, &why)) {
            printError(why);
            QCoreApplication::exit(kExitFailure);
            return;
        }
        const QList<int> missing = missingRecords(table, count);
        if (!missing.isEmpty()) {
            printError(
                QStringLiteral("Wrote %1 of %2 records to %3; %4 %5 did not arrive.")
                    .arg(count - missing.size())
                    .arg(count)
                    .arg(QDir::toNativeSeparators(o.output),
                         missing.size() == 1 ? QStringLiteral("record") : QStringLiteral("records"),
                         listOf(missing)));
            QCoreApplication::exit(kExitFailure);
            return;
        }
        progress.say(QStringLiteral("Wrote %1 record%2 to %3.")
                         .arg(count)
                         .arg(count == 1 ? "" : "s")
                         .arg(QDir::toNativeSeparators(o.output)));
        QCoreApplication::exit(kExitOk);
    };
    QObject::connect(&lastReply, &QTimer::timeout, complete);

    // The last request has gone out when the pacing timer stops: its reply gets a second.
    const std::function<void()> pace = form.Readdat.onTick;
    form.Readdat.onTick = [&, pace] {
        pace();
        if (phase == Phase::Downloading && !downloadRunning(form))
            lastReply.start();
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
            QTimer::singleShot(0, &lastReply, [&core] { core.read(); });
            return;
        }
        if (phase != Phase::Downloading)
            return;
        if (kind == ReplyKind::Count) {
            progress.say(QStringLiteral("The meter holds %1 record%2.")
                             .arg(form.reccount)
                             .arg(form.reccount == 1 ? "" : "s"));
            if (form.reccount < 1)
                complete();
        } else if (kind == ReplyKind::Record) {
            progress.record(form.lastcmd, form.reccount);
            if (!downloadRunning(form) && form.lastcmd == form.reccount)
                complete();
        }
    };
    link.onFailure = [&](const QString& message) {
        if (phase == Phase::Writing)
            return;
        printError(message + QStringLiteral(" Nothing was written."));
        finish(kExitFailure);
    };
    SignalWatcher interrupt([&](int) {
        printError(QStringLiteral("Interrupted. Nothing was written."));
        finish(kExitFailure);
    });
    link.start();
    return QCoreApplication::exec();
}

} // namespace pm::cli
