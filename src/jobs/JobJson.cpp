#include "jobs/JobJson.h"

#include "analysis/WiringVerdict.h"
#include "jobs/BackBilling.h"
#include "jobs/PrimaryValues.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace pm {

namespace {

QJsonValue rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    const double r = std::round(value * scale) / scale;
    return r == 0 ? 0.0 : r;
}

QJsonValue optional(const std::optional<double>& value, int decimals) {
    return value ? rounded(*value, decimals) : QJsonValue(QJsonValue::Null);
}

QString isoTime(const QDateTime& time) {
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

QJsonValue registerJson(const std::optional<RegisterReading>& r) {
    if (!r)
        return QJsonValue::Null;
    return QJsonObject{{"value", r->value}, {"time", isoTime(r->time)}};
}

QJsonObject checkJson(const Job& job, const JobCheck& c) {
    const Panel panel = checkPanel(c);
    const PrimaryValues v = primaryValues(panel, job.ct, job.vt);
    return QJsonObject{
        {"kind", checkKindName(c.kind)},
        {"time", isoTime(c.time)},
        {"system", systemCode(c.settings.system)},
        {"connection", c.verdict.connection},
        {"verdict", c.verdict.verdict},
        {"k", optional(c.verdict.k, 3)},
        {"correct", c.verdict.correct},
        {"ambiguous", c.verdict.ambiguous},
        {"load_angle", rounded(c.verdict.loadAngle, 1)},
        {"block", QString::fromLatin1(c.block.toHex(' ').toUpper())},
        {"texts", QJsonArray::fromStringList(c.texts)},
        {"primary", QJsonObject{{"p1_kw", rounded(v.p[0], 3)},
                                {"p2_kw", rounded(v.p[1], 3)},
                                {"q1_kvar", rounded(v.q[0], 3)},
                                {"q2_kvar", rounded(v.q[1], 3)},
                                {"s1_kva", rounded(v.s[0], 3)},
                                {"s2_kva", rounded(v.s[1], 3)},
                                {"total_p_kw", rounded(v.totalP, 3)},
                                {"total_q_kvar", rounded(v.totalQ, 3)}}},
    };
}

QString csvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1String("\""), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

QString csvNumber(const std::optional<double>& value, int decimals) {
    if (!value)
        return {};
    const QJsonValue r = rounded(*value, decimals);
    return plainNumber(r.toDouble());
}

QString csvLine(const QStringList& fields) {
    QStringList escaped;
    for (const QString& f : fields)
        escaped << csvField(f);
    return escaped.join(QLatin1Char(',')) + QLatin1Char('\n');
}

} // namespace

QJsonObject jobJson(const Job& job) {
    QJsonArray checks;
    for (const JobCheck& c : job.checks)
        checks << checkJson(job, c);
    QJsonObject o{
        {"id", job.id},
        {"site", job.site},
        {"meter", job.meter},
        {"ct", job.ct.text()},
        {"vt", job.vt.text()},
        {"multiplier", job.multiplier},
        {"primary_register", job.primaryRegister},
        {"engineer", job.engineer},
        {"note", job.note},
        {"created", isoTime(job.created)},
        {"closed", job.closed.isValid() ? QJsonValue(isoTime(job.closed)) : QJsonValue::Null},
        {"checks", checks},
        {"register_from", registerJson(job.from)},
        {"register_to", registerJson(job.to)},
    };
    if (job.recording)
        o.insert("recording",
                 QJsonObject{{"file", job.recording->file},
                             {"registered_kwh", rounded(job.recording->registeredKwh, 3)},
                             {"real_kwh", rounded(job.recording->realKwh, 3)},
                             {"covered", rounded(job.recording->coveredShare, 4)}});
    const BackBilling bill = jobBackBilling(job);
    if (bill.ok) {
        o.insert("registered_kwh", rounded(bill.registeredKwh, 3));
        o.insert("real_kwh", optional(bill.realKwh, 3));
        o.insert("to_bill_kwh", optional(bill.toBillKwh, 3));
        o.insert("back_billing_k", optional(bill.k, 3));
        o.insert("back_billing", QJsonArray::fromStringList(bill.lines));
    } else if (job.from || job.to) {
        o.insert("back_billing_problem", bill.problem);
    }
    return o;
}

QJsonObject summaryJson(const JobSummary& s) {
    return QJsonObject{{"id", s.id},
                       {"site", s.site},
                       {"meter", s.meter},
                       {"created", isoTime(s.created)},
                       {"as_found", s.asFound},
                       {"as_left", s.asLeft}};
}

QString summaryCsvHeader() {
    return QStringLiteral("id,site,meter,created,as_found,as_left\n");
}

QString summaryCsvRow(const JobSummary& s) {
    return csvLine({QString::number(s.id), s.site, s.meter, isoTime(s.created),
                    QString::number(s.asFound), QString::number(s.asLeft)});
}

QString jobCsvHeader() {
    return QStringLiteral("id,site,meter,ct,vt,multiplier,primary_register,engineer,created,"
                          "as_found_time,as_found_connection,as_found_k,as_found_correct,"
                          "as_left_time,as_left_connection,as_left_k,as_left_correct,"
                          "registered_kwh,real_kwh,to_bill_kwh\n");
}

QString jobCsvRow(const Job& job) {
    QStringList f{QString::number(job.id),
                  job.site,
                  job.meter,
                  job.ct.text(),
                  job.vt.text(),
                  plainNumber(job.multiplier),
                  job.primaryRegister ? QStringLiteral("yes") : QStringLiteral("no"),
                  job.engineer,
                  isoTime(job.created)};
    for (CheckKind kind : {CheckKind::AsFound, CheckKind::AsLeft}) {
        const JobCheck* c = job.last(kind);
        f << (c ? isoTime(c->time) : QString()) << (c ? c->verdict.connection : QString())
          << (c ? csvNumber(c->verdict.k, 3) : QString())
          << (c ? (c->verdict.correct ? QStringLiteral("yes") : QStringLiteral("no")) : QString());
    }
    const BackBilling bill = jobBackBilling(job);
    f << (bill.ok ? csvNumber(bill.registeredKwh, 3) : QString())
      << (bill.ok ? csvNumber(bill.realKwh, 3) : QString())
      << (bill.ok ? csvNumber(bill.toBillKwh, 3) : QString());
    return csvLine(f);
}

std::optional<QByteArray> exportJobs(JobStore& store, bool json, QString* error) {
    const auto jobs = store.list({});
    if (!jobs) {
        *error = store.lastError();
        return std::nullopt;
    }
    QJsonArray array;
    QString csv = jobCsvHeader();
    for (auto it = jobs->rbegin(); it != jobs->rend(); ++it) {
        const std::optional<Job> job = store.job(it->id);
        if (!job) {
            // Only a failure of the store: jobs are never deleted.
            *error = store.lastError();
            return std::nullopt;
        }
        if (json)
            array << jobJson(*job);
        else
            csv += jobCsvRow(*job);
    }
    return json ? QJsonDocument(array).toJson(QJsonDocument::Indented) : csv.toUtf8();
}

QString jobText(const Job& job) {
    QStringList lines;
    lines << QStringLiteral("Job %1: %2, meter %3").arg(job.id).arg(job.site, job.meter);
    lines << QStringLiteral("CT %1, VT %2, register multiplier %3 (%4)")
                 .arg(job.ct.text(), job.vt.text(), plainNumber(job.multiplier),
                      job.primaryRegister ? QStringLiteral("the register shows primary energy")
                                          : QStringLiteral("the register counts secondary "
                                                           "energy"));
    lines << QStringLiteral("Created %1").arg(jobTimeText(job.created)) +
                 (job.engineer.isEmpty() ? QString() : QStringLiteral(" by %1").arg(job.engineer));
    if (!job.note.isEmpty())
        lines << QStringLiteral("Note: %1").arg(job.note);
    if (job.checks.empty())
        lines << QStringLiteral("No checks yet.");
    for (const JobCheck& c : job.checks) {
        const PrimaryValues v = primaryValues(checkPanel(c), job.ct, job.vt);
        lines << QString();
        lines << QStringLiteral("%1, %2: %3")
                     .arg(c.kind == CheckKind::AsFound ? QStringLiteral("As found")
                                                       : QStringLiteral("As left"),
                          jobTimeText(c.time),
                          c.verdict.matched ? c.verdict.connection
                                            : QStringLiteral("no standard connection"));
        lines << QStringLiteral("  ") + c.verdict.verdict;
        if (c.verdict.ambiguous)
            lines << QStringLiteral("  Other connections fit with another K: say which terminal "
                                    "carries line B.");
        lines << QStringLiteral("  Primary: P1 %1, P2 %2, total P %3; Q1 %4, Q2 %5")
                     .arg(powerText(v.p[0], QStringLiteral("W")),
                          powerText(v.p[1], QStringLiteral("W")),
                          powerText(v.totalP, QStringLiteral("W")),
                          powerText(v.q[0], QStringLiteral("var")),
                          powerText(v.q[1], QStringLiteral("var")));
    }
    if (job.from || job.to) {
        lines << QString();
        const auto reg = [](const std::optional<RegisterReading>& r) {
            return r ? QStringLiteral("%1 on %2").arg(plainNumber(r->value), jobTimeText(r->time))
                     : QStringLiteral("not entered");
        };
        lines << QStringLiteral("Register: from %1 to %2").arg(reg(job.from), reg(job.to));
        const BackBilling bill = jobBackBilling(job);
        if (!bill.ok)
            lines << QStringLiteral("  ") + bill.problem;
        for (const QString& l : bill.lines)
            lines << QStringLiteral("  ") + l;
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

} // namespace pm
