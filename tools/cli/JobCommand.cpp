#include "app/jobs/JobReport.h"
#include "cli/Cli.h"
#include "cli/HexBlock.h"
#include "cli/MeterLink.h"
#include "cli/WiringOptions.h"
#include "common/SignalWatcher.h"
#include "jobs/BackBilling.h"
#include "jobs/JobJson.h"
#include "jobs/JobRecording.h"
#include "jobs/JobStore.h"
#include "platform/PortMap.h"
#include "protocol/Decode.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <memory>

namespace pm::cli {

namespace {

const QString kCommand = QStringLiteral("job");
const QString kUsage = QStringLiteral(
    "job new|check|registers|list|show|report|export [options] [--jobs URL]\n"
    "  job new --site S --meter M [--ct 200/5] [--vt 10000/100] [--multiplier N]\n"
    "  job check ID --as-found|--as-left [--port DEV | --block HEX] [wiring options]\n"
    "  job registers ID --from VALUE@DATE --to VALUE@DATE [--primary-register] "
    "[--recording FILE.csv]\n"
    "  job list [--site S] [--meter M] [--since DATE] [--until DATE] [--format text|json|csv]\n"
    "  job show ID [--format text|json]\n"
    "  job report ID --output FILE.pdf\n"
    "  job export --format json|csv");
const QString kDescription = QStringLiteral(
    "Keeps field jobs: one installation on one visit, with its transformer ratios, the\n"
    "as-found and as-left wiring checks (the last of each counts), the register readings\n"
    "over the period a fault lasted, and the energy to back-bill from them:\n"
    "  registered = (to - from) x multiplier x CT x VT   (x multiplier only with\n"
    "               --primary-register, where the register shows primary energy)\n"
    "  real = K x registered, to bill = (K - 1) x registered (negative: a refund)\n"
    "with K of the last as-found check, or of each reading of a recording (--recording, a\n"
    "CSV log of the Trend tab or of live --format csv) over the period.\n"
    "\n"
    "The jobs are kept in jobs.sqlite in the user's data folder, or where --jobs says:\n"
    "a file, or postgresql://user@host:port/db for a team's server; its password comes from\n"
    "PGPASSFILE (or ~/.pgpass) or --jobs-password-file, never from the command line.\n"
    "`job new` prints the new job's number alone on a line. Dates are ISO 8601\n"
    "(2026-03-01 or 2026-03-01T08:30), in local time unless they give their offset.\n"
    "\n"
    "Exit status: 0 on success; 1 when the jobs, the meter or the output failed, or there is\n"
    "no such job; 2 when the command line is wrong.");

struct Problem {
    QString text;
};

QCommandLineOption option(const char* name, const char* description, const char* value = nullptr) {
    return value ? QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description),
                                      QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description));
}

qint64 jobId(const QStringList& positional) {
    if (positional.size() != 1)
        throw Problem{positional.isEmpty()
                          ? QStringLiteral("name the job by its number.")
                          : QStringLiteral("unexpected argument \"%1\".").arg(positional[1])};
    bool ok = false;
    const qint64 id = positional[0].toLongLong(&ok);
    if (!ok || id <= 0)
        throw Problem{QStringLiteral("\"%1\" is not a job number.").arg(positional[0])};
    return id;
}

Ratio ratioOption(const QCommandLineParser& p, const QString& name, const Ratio& fallback) {
    if (!p.isSet(name))
        return fallback;
    QString error;
    const std::optional<Ratio> r = parseRatio(p.value(name), &error);
    if (!r)
        throw Problem{QStringLiteral("--%1: %2.").arg(name, error)};
    return *r;
}

double multiplierOption(const QCommandLineParser& p, double fallback) {
    if (!p.isSet(QStringLiteral("multiplier")))
        return fallback;
    const std::optional<double> m = readNumber(p.value(QStringLiteral("multiplier")));
    if (!m || !(*m > 0))
        throw Problem{QStringLiteral("--multiplier is a number above zero, not \"%1\".")
                          .arg(p.value(QStringLiteral("multiplier")))};
    return *m;
}

QDateTime dateTimeText(const QString& text) {
    QDateTime t = QDateTime::fromString(text, Qt::ISODate);
    if (!t.isValid()) {
        const QDate d = QDate::fromString(text, Qt::ISODate);
        if (d.isValid())
            t = d.startOfDay();
    }
    return t;
}

QDate dateOption(const QCommandLineParser& p, const QString& name) {
    if (!p.isSet(name))
        return {};
    const QDate d = QDate::fromString(p.value(name), Qt::ISODate);
    if (!d.isValid())
        throw Problem{QStringLiteral("--%1 is a date such as 2026-03-01, not \"%2\".")
                          .arg(name, p.value(name))};
    return d;
}

RegisterReading registerOption(const QCommandLineParser& p, const QString& name) {
    const QString text = p.value(name);
    const qsizetype at = text.indexOf(QLatin1Char('@'));
    const std::optional<double> value = at < 0 ? std::nullopt : readNumber(text.left(at));
    const QDateTime time = at < 0 ? QDateTime() : dateTimeText(text.mid(at + 1));
    if (!value || *value < 0 || !time.isValid())
        throw Problem{QStringLiteral("--%1 takes VALUE@DATE, the register reading and when it "
                                     "was taken (e.g. 12345.6@2026-03-01), not \"%2\".")
                          .arg(name, text)};
    return {*value, time};
}

QString formatOption(const QCommandLineParser& p, const QStringList& allowed) {
    const QString format = p.value(QStringLiteral("format"));
    if (!allowed.contains(format))
        throw Problem{QStringLiteral("--format is %1, not \"%2\".")
                          .arg(allowed.join(QStringLiteral(" or ")), format)};
    return format;
}

// Opens the jobs the options name; null after saying why.
std::unique_ptr<JobStore> openStore(const QCommandLineParser& p) {
    QString error;
    std::optional<JobsLocation> location =
        parseJobsLocation(p.value(QStringLiteral("jobs")), &error);
    if (!location)
        throw Problem{QStringLiteral("--jobs: %1.").arg(error)};
    if (p.isSet(QStringLiteral("jobs-password-file"))) {
        if (!location->postgres)
            throw Problem{QStringLiteral("--jobs-password-file goes with a postgresql:// "
                                         "address.")};
        if (!readPasswordFile(p.value(QStringLiteral("jobs-password-file")), &location->password,
                              &error)) {
            printError(error);
            return nullptr;
        }
    }
    auto store = std::make_unique<JobStore>(*location);
    if (!store->open()) {
        printError(store->lastError());
        return nullptr;
    }
    return store;
}

std::optional<Job> loadJob(JobStore& store, qint64 id) {
    std::optional<Job> job = store.job(id);
    if (!job)
        printError(store.lastError().isEmpty() ? QStringLiteral("There is no job %1 in %2.")
                                                     .arg(id)
                                                     .arg(store.location().display())
                                               : store.lastError());
    return job;
}

int written(bool ok) {
    if (ok)
        return kExitOk;
    printError(QStringLiteral("Cannot write to standard output."));
    return kExitFailure;
}

QString json(const QJsonValue& value) {
    const QByteArray text = value.isArray()
                                ? QJsonDocument(value.toArray()).toJson(QJsonDocument::Indented)
                                : QJsonDocument(value.toObject()).toJson(QJsonDocument::Indented);
    return QString::fromUtf8(text);
}

int runNew(const QCommandLineParser& p) {
    const QString site = p.value(QStringLiteral("site")).trimmed();
    const QString meter = p.value(QStringLiteral("meter")).trimmed();
    if (site.isEmpty() || meter.isEmpty())
        throw Problem{QStringLiteral("a new job needs --site and --meter.")};
    Job job;
    job.site = site;
    job.meter = meter;
    job.ct = ratioOption(p, QStringLiteral("ct"), {});
    job.vt = ratioOption(p, QStringLiteral("vt"), {});
    job.multiplier = multiplierOption(p, 1);
    job.engineer = p.value(QStringLiteral("engineer"));
    job.note = p.value(QStringLiteral("note"));
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    if (!store->createJob(job)) {
        printError(store->lastError());
        return kExitFailure;
    }
    return written(printOut(QString::number(job.id) + QLatin1Char('\n')));
}

int saveCheck(JobStore& store, const Job& job, JobCheck check) {
    if (!store.addCheck(job.id, check)) {
        printError(store.lastError());
        return kExitFailure;
    }
    return written(printOut(QStringLiteral("Saved the %1 check of job %2: %3\n")
                                .arg(checkKindName(check.kind))
                                .arg(job.id)
                                .arg(check.verdict.verdict)));
}

int runCheck(const QCommandLineParser& p) {
    const qint64 id = jobId(p.positionalArguments());
    const bool found = p.isSet(QStringLiteral("as-found"));
    if (found == p.isSet(QStringLiteral("as-left")))
        throw Problem{QStringLiteral("say --as-found or --as-left.")};
    QString error;
    const std::optional<WiringSettings> settings = wiringSettingsOf(p, error);
    if (!settings)
        throw Problem{error};
    const QString device = p.value(QStringLiteral("port"));
    if (p.isSet(QStringLiteral("port")) && p.isSet(QStringLiteral("block")))
        throw Problem{QStringLiteral("give either --port or --block, not both.")};
    if (p.isSet(QStringLiteral("port")) && device.isEmpty())
        throw Problem{QStringLiteral("--port needs a device, e.g. /dev/ttyUSB0.")};
    std::optional<QByteArray> block;
    if (p.isSet(QStringLiteral("block"))) {
        block = blockFromHex(p.value(QStringLiteral("block")), error);
        if (!block)
            throw Problem{QStringLiteral("--block is not a measurement block: %1; a block is 22 "
                                         "bytes, 44 hex digits.")
                              .arg(error)};
    }
    const CheckKind kind = found ? CheckKind::AsFound : CheckKind::AsLeft;
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    const std::optional<Job> job = loadJob(*store, id);
    if (!job)
        return kExitFailure;
    if (block) {
        Panel panel;
        livein(*block, panel);
        return saveCheck(
            *store, *job,
            makeCheck(kind, QDateTime::currentDateTimeUtc(), *block, panel, *settings));
    }
    if (!device.isEmpty())
        setPortDevices({device});
    MeterLink link(device.isEmpty() ? kPortCount : 1);
    auto finish = [&link](int code) {
        link.stop();
        QCoreApplication::exit(code);
    };
    link.onReply = [&](ReplyKind reply) {
        if (reply != ReplyKind::Live)
            return;
        const QByteArray& bytes = link.core().form.inbuf;
        finish(saveCheck(*store, *job,
                         makeCheck(kind, QDateTime::currentDateTimeUtc(),
                                   bytes.size() == 22 ? bytes : QByteArray(), link.core().panel,
                                   *settings)));
    };
    link.onFailure = [&finish](const QString& message) {
        printError(message);
        finish(kExitFailure);
    };
    SignalWatcher interrupt([&finish](int) { finish(kExitFailure); });
    link.start();
    return QCoreApplication::exec();
}

int runRegisters(const QCommandLineParser& p) {
    const qint64 id = jobId(p.positionalArguments());
    if (!p.isSet(QStringLiteral("from")) || !p.isSet(QStringLiteral("to")))
        throw Problem{QStringLiteral("give both --from VALUE@DATE and --to VALUE@DATE.")};
    const RegisterReading from = registerOption(p, QStringLiteral("from"));
    const RegisterReading to = registerOption(p, QStringLiteral("to"));
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    std::optional<Job> job = loadJob(*store, id);
    if (!job)
        return kExitFailure;
    job->from = from;
    job->to = to;
    job->primaryRegister = p.isSet(QStringLiteral("primary-register"));
    job->multiplier = multiplierOption(p, job->multiplier);
    // A recording of another period says nothing about this one.
    job->recording.reset();
    if (p.isSet(QStringLiteral("recording"))) {
        QString error;
        if (!applyRecording(*job, p.value(QStringLiteral("recording")), &error)) {
            printError(error);
            return kExitFailure;
        }
    }
    const BackBilling bill = jobBackBilling(*job);
    if (!bill.ok) {
        printError(bill.problem);
        return kExitFailure;
    }
    if (!store->updateJob(*job)) {
        printError(store->lastError());
        return kExitFailure;
    }
    return written(printOut(bill.lines.join(QLatin1Char('\n')) + QLatin1Char('\n')));
}

int runList(const QCommandLineParser& p) {
    const QString format =
        formatOption(p, {QStringLiteral("text"), QStringLiteral("json"), QStringLiteral("csv")});
    JobFilter filter;
    filter.site = p.value(QStringLiteral("site"));
    filter.meter = p.value(QStringLiteral("meter"));
    filter.from = dateOption(p, QStringLiteral("since"));
    filter.to = dateOption(p, QStringLiteral("until"));
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    const auto jobs = store->list(filter);
    if (!jobs) {
        printError(store->lastError());
        return kExitFailure;
    }
    QString out;
    if (format == QLatin1String("json")) {
        QJsonArray array;
        for (const JobSummary& s : *jobs)
            array << summaryJson(s);
        out = json(array);
    } else if (format == QLatin1String("csv")) {
        out = summaryCsvHeader();
        for (const JobSummary& s : *jobs)
            out += summaryCsvRow(s);
    } else {
        for (const JobSummary& s : *jobs)
            out += QStringLiteral("%1  %2  %3  meter %4  (%5 as found, %6 as left)\n")
                       .arg(QString::number(s.id).rightJustified(6), jobTimeText(s.created), s.site,
                            s.meter)
                       .arg(s.asFound)
                       .arg(s.asLeft);
    }
    return written(printOut(out));
}

int runShow(const QCommandLineParser& p) {
    const qint64 id = jobId(p.positionalArguments());
    const bool asJson =
        formatOption(p, {QStringLiteral("text"), QStringLiteral("json")}) == QLatin1String("json");
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    const std::optional<Job> job = loadJob(*store, id);
    if (!job)
        return kExitFailure;
    return written(printOut(asJson ? json(jobJson(*job)) : jobText(*job)));
}

int runReport(const QCommandLineParser& p) {
    const qint64 id = jobId(p.positionalArguments());
    const QString output = p.value(QStringLiteral("output"));
    if (output.isEmpty())
        throw Problem{QStringLiteral("say where the report goes: --output FILE.pdf.")};
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    const std::optional<Job> job = loadJob(*store, id);
    if (!job)
        return kExitFailure;
    QString error;
    if (!writeJobReport(*job, output, error)) {
        printError(error);
        return kExitFailure;
    }
    return kExitOk;
}

int runExport(const QCommandLineParser& p) {
    if (!p.isSet(QStringLiteral("format")))
        throw Problem{QStringLiteral("say --format json or --format csv.")};
    const bool asJson =
        formatOption(p, {QStringLiteral("json"), QStringLiteral("csv")}) == QLatin1String("json");
    if (!p.positionalArguments().isEmpty())
        throw Problem{
            QStringLiteral("unexpected argument \"%1\".").arg(p.positionalArguments().first())};
    const auto store = openStore(p);
    if (!store)
        return kExitFailure;
    QString error;
    const std::optional<QByteArray> bytes = exportJobs(*store, asJson, &error);
    if (!bytes) {
        printError(error);
        return kExitFailure;
    }
    return written(printOut(QString::fromUtf8(*bytes)));
}

struct Subcommand {
    const char* name;
    int (*run)(const QCommandLineParser&);
    QList<QCommandLineOption> options;
};

QList<Subcommand> subcommands() {
    const QCommandLineOption format(QStringLiteral("format"),
                                    QStringLiteral("text (the default), json or csv."),
                                    QStringLiteral("FORMAT"), QStringLiteral("text"));
    QList<QCommandLineOption> check = {
        option("as-found", "The check before anything was changed."),
        option("as-left", "The check after the fix."),
        portOption(),
        option("block",
               "Check this 22-byte measurement block (44 hex digits) instead of a live "
               "reading.",
               "HEX"),
    };
    check += wiringOptions();
    return {
        {"new",
         runNew,
         {option("site", "The site or installation.", "S"),
          option("meter", "The meter number.", "M"),
          option("ct", "The current transformers' ratio, e.g. 200/5 (default 1/1).", "RATIO"),
          option("vt", "The voltage transformers' ratio, e.g. 10000/100 (default 1/1).", "RATIO"),
          option("multiplier", "The register's multiplier (default 1).", "N"),
          option("engineer", "Who checks it.", "NAME"), option("note", "A note.", "TEXT")}},
        {"check", runCheck, check},
        {"registers",
         runRegisters,
         {option("from",
                 "The register when the fault began (or at the last correct check, or at "
                 "installation) and when.",
                 "VALUE@DATE"),
          option("to", "The register at the fix and when.", "VALUE@DATE"),
          option("primary-register", "The register already shows primary energy."),
          option("multiplier", "The register's multiplier.", "N"),
          option("recording", "A CSV log over the period: K reading by reading.", "FILE")}},
        {"list",
         runList,
         {option("site", "Only sites containing this.", "S"),
          option("meter", "Only meter numbers containing this.", "M"),
          option("since", "Only jobs created on or after this day.", "DATE"),
          option("until", "Only jobs created on or before this day.", "DATE"), format}},
        {"show",
         runShow,
         {QCommandLineOption(QStringLiteral("format"),
                             QStringLiteral("text (the default) or json."),
                             QStringLiteral("FORMAT"), QStringLiteral("text"))}},
        {"report", runReport, {option("output", "The PDF file to write.", "FILE.pdf")}},
        {"export", runExport, {option("format", "json or csv.", "FORMAT")}},
    };
}

} // namespace

int runJob(const QStringList& arguments) {
    const QString name = arguments.value(0);
    const QList<Subcommand> all = subcommands();
    const auto it = std::find_if(
        all.begin(), all.end(), [&](const Subcommand& s) { return name == QLatin1String(s.name); });
    if (it == all.end()) {
        QCommandLineParser parser;
        if (const auto done = parseArguments(parser, kCommand, kUsage, kDescription, arguments))
            return *done;
        return usageError(kCommand, name.isEmpty()
                                        ? QStringLiteral("name what to do: new, check, "
                                                         "registers, list, show, report or export.")
                                        : QStringLiteral("unknown \"%1\".").arg(name));
    }
    QCommandLineParser parser;
    parser.addOptions(it->options);
    parser.addOption(option("jobs",
                            "Where the jobs are kept: a file, or "
                            "postgresql://user@host:port/db (default: jobs.sqlite in the "
                            "user's data folder).",
                            "URL"));
    parser.addOption(option("jobs-password-file",
                            "The PostgreSQL password, on the first line of this file.", "FILE"));
    const QString command = kCommand + QLatin1Char(' ') + name;
    if (const auto done = parseArguments(parser, command, kUsage, kDescription, arguments.mid(1)))
        return *done;
    try {
        return it->run(parser);
    } catch (const Problem& problem) {
        return usageError(command, problem.text);
    }
}

} // namespace pm::cli
