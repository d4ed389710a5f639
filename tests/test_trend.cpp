#include "Files.h"
#include "Printers.h"
#include "TestVectors.h"
#include "fakes/DiskFaults.h"
#include "protocol/Fmtval.h"
#include "trend/TrendCsv.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendReduce.h"

#include <QDir>
#include <QTemporaryDir>
#include <ctime>
#include <gtest/gtest.h>
#include <random>

using namespace pm;

namespace {

constexpr qint64 kT0 = 1714550400000; // 2024-05-01T08:00:00Z

Panel panelOf(const QStringList& texts) {
    Panel panel;
    for (int f = 0; f < kFieldCount; ++f)
        panel.setText(Field(f), texts[f]);
    return panel;
}

TrendReading readingOf(qint64 msecs, float u1) {
    TrendReading r;
    r.msecs = msecs;
    r.values[size_t(Field::U1)] = u1;
    return r;
}

QByteArray csvOf(const QStringList& rows) {
    return trendCsvHeader().toLatin1() + rows.join('\n').toLatin1() + '\n';
}

} // namespace

TEST(TrendSeries, KeepsTheNewestReadingsInTimeOrderOnceFull) {
    TrendSeries series(4);
    for (int k = 0; k < 6; ++k)
        series.append(readingOf(kT0 + 1000 * k, float(k)));
    ASSERT_EQ(series.size(), 4u);
    EXPECT_TRUE(series.full());
    EXPECT_EQ(series.at(0).msecs, kT0 + 2000);
    EXPECT_EQ(series.at(3).value(Field::U1), 5.0);
    EXPECT_EQ(series.lowerBound(kT0 + 3500), 2u); // across the wrap of the storage
    EXPECT_EQ(series.lowerBound(kT0 + 9000), 4u);
    const auto runs = series.runs(1, 4, Field::U1);
    EXPECT_EQ(runs[0].values.size() + runs[1].values.size(), 3u);
    EXPECT_EQ(runs[0].values[0], 3.0f);

    series.append(readingOf(kT0, 6)); // the clock was set back
    EXPECT_EQ(series.at(3).msecs, kT0 + 5000);
    EXPECT_EQ(series.at(3).value(Field::U1), 6.0);
}

TEST(TrendCsv, StoredReadingsAreWrittenWithThePanelsDigits) {
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(kT0);
    for (const ReadingVector& v : readingVectors()) {
        const Panel panel = panelOf(v.texts);
        EXPECT_EQ(trendCsvRow(trendReading(kT0, panel)), trendCsvRow(time, panel))
            << v.name.toStdString();
    }
    // Every text fmtval gives, over the instrument's ranges, comes back digit for digit.
    std::mt19937 random(12);
    std::uniform_real_distribution<float> magnitude(-4, 4.6f);
    Panel panel;
    for (int k = 0; k < 3000; ++k) {
        for (int f = 0; f < kFieldCount; ++f) {
            const float value = std::pow(10.0f, magnitude(random)) * (f == 10 ? -1.0f : 1.0f);
            panel.setText(Field(f), fmtval(value, f % 5));
        }
        ASSERT_EQ(trendCsvRow(trendReading(kT0, panel)), trendCsvRow(time, panel));
    }
    // Local times with their offsets, across the change to summer time.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3"); // Central Europe, without tzdata
    tzset();
    TrendSeries series;
    QString expected = trendCsvHeader();
    for (qint64 t = 1711846800000 - 1800000; t < 1711846800000 + 1800000; t += 300000) {
        series.append(t, panel);
        expected += trendCsvRow(QDateTime::fromMSecsSinceEpoch(t), panel);
    }
    const QByteArray text = trendCsvText(series, 0, series.size());
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    tzset();
    EXPECT_EQ(text, expected.toLatin1());
    EXPECT_TRUE(text.contains("T01:55:00+01:00,") && text.contains("T03:00:00+02:00,"))
        << text.data();
}

TEST(TrendCsv, LoadsWhatIsLoggedAndNamesTheLineThatIsWrong) {
    TrendSeries series;
    for (int k = 0; k < 3; ++k)
        series.append(kT0 + 1000 * k, panelOf(readingVectors()[size_t(k)].texts));
    const QByteArray text = trendCsvText(series, 0, series.size());
    TrendCsvLoad load = parseTrendCsv(text);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(trendCsvText(load.series, 0, 3), text);

    // Other offsets, Windows line ends and a byte-order mark; rows out of order are put in order.
    const QString row = ",1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,-17.5";
    load = parseTrendCsv("\xEF\xBB\xBF" +
                         csvOf({"2024-05-01T13:30:01+05:30" + row, "2024-05-01T08:00:00Z" + row})
                             .replace("\n", "\r\n"));
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.at(0).msecs, kT0);
    EXPECT_EQ(load.series.at(1).msecs, kT0 + 1000);
    EXPECT_EQ(load.series.at(1).value(Field::Freq), -17.5);

    const std::pair<QByteArray, QString> faults[] = {
        {"", "line 1: the file is empty"},
        {"time,U1,U2\n", "line 1: not the header of a readings log"},
        {csvOf({"2024-05-01T08:00:00Z" + row, "2024-13-01T08:00:00Z" + row}),
         "line 3: \"2024-13-01T08:00:00Z\" is not a time in ISO 8601 with its offset from UTC"},
        {csvOf({"2024-05-01T08:00:00" + row}), "line 2: \"2024-05-01T08:00:00\" is not a time"},
        {csvOf({"2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,x,13,14,15,16,17"}),
         "line 2: PF2 \"x\" is not a number"},
        {csvOf({"2024-05-01T08:00:00Z,1,2"}), "line 2: 2 values where there are 17 columns"},
        {csvOf({"2024-05-01T08:00:00Z" + row, "", "2024-05-01T08:00:00Z" + row}), "line 3: empty"},
    };
    for (const auto& [bytes, message] : faults) {
        load = parseTrendCsv(bytes);
        EXPECT_FALSE(load.ok);
        EXPECT_TRUE(load.error.startsWith(message)) << load.error.toStdString();
        EXPECT_TRUE(load.series.empty());
    }

    QTemporaryDir tmp;
    load = loadTrendCsv(tmp.filePath("missing.csv"));
    EXPECT_FALSE(load.ok);
    EXPECT_TRUE(load.error.contains("missing.csv")) << load.error.toStdString();
}

TEST(TrendReduce, KeepsEachColumnsExtremesInTimeOrderAndBreaksAtGaps) {
    TrendSeries series;
    // 100 readings a second apart, 3 s of silence, 100 more; a spike in each half.
    for (int k = 0; k < 200; ++k) {
        const qint64 t = kT0 + 1000 * k + (k >= 100 ? 3000 : 0);
        series.append(readingOf(t, k == 37 ? 500.0f : k == 150 ? -500.0f : float(k % 7)));
    }
    const qint64 from = kT0 + 10000;
    const qint64 to = kT0 + 180000;
    const auto segments = reduceMinMax(series, Field::U1, from, to, 10);
    ASSERT_EQ(segments.size(), 2u);
    EXPECT_LE(segments[0].back().x(), double(kT0 + 99000));
    EXPECT_GE(segments[1].front().x(), double(kT0 + 103000));
    // The readings just outside carry the line to both edges.
    EXPECT_EQ(segments[0].front().x(), double(from - 1000));
    EXPECT_EQ(segments[1].back().x(), double(to + 1000));
    int points = 0;
    double low = 0, high = 0;
    for (const TrendSegment& s : segments)
        for (size_t k = 0; k < s.size(); ++k) {
            ++points;
            low = std::min(low, s[k].y());
            high = std::max(high, s[k].y());
            if (k > 0) {
                EXPECT_LT(s[k - 1].x(), s[k].x());
            }
        }
    EXPECT_LE(points, 2 * 10 + 2 + 2); // two per column, the edges, a column split by the gap
    EXPECT_EQ(low, -500.0);
    EXPECT_EQ(high, 500.0);
}

TEST(TrendLog, AppendsRowsBehindOneHeaderAndRefusesAnotherFile) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const Panel panel = panelOf(readingVector("worked_example").texts);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(kT0);
    QString error;
    for (int run = 0; run < 2; ++run) {
        TrendLog log;
        ASSERT_TRUE(log.open(path, &error)) << error.toStdString();
        ASSERT_TRUE(log.append(time, panel, &error)) << error.toStdString();
        // On the disk before append returns: another reader sees the whole row at once.
        EXPECT_TRUE(readFile(path).endsWith(trendCsvRow(time, panel).toUtf8()));
    }
    EXPECT_EQ(readFile(path), (trendCsvHeader() + trendCsvRow(time, panel).repeated(2)).toUtf8());

    const QString other = tmp.filePath("other.csv");
    ASSERT_TRUE(writeFile(other, "name,value\nx,1\n"));
    TrendLog log;
    EXPECT_FALSE(log.open(other, &error));
    EXPECT_TRUE(error.contains("other.csv")) << error.toStdString();
    EXPECT_EQ(readFile(other), "name,value\nx,1\n");
    EXPECT_FALSE(log.isOpen());
}

TEST(TrendRecorder, AFailedWriteStopsRecordingWithTheReasonAndKeepsTheRowsBefore) {
    QTemporaryDir tmp;
    const Panel panel = panelOf(readingVector("worked_example").texts);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(kT0);
    const qint64 header = trendCsvHeader().toUtf8().size();
    const qint64 row = trendCsvRow(time, panel).toUtf8().size();
    const QString path = tmp.filePath("log.csv");
    TrendRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.startRecording(path, &error)) << error.toStdString();
    {
        const FileSizeLimit limit(rlim_t(header + 2 * row + row / 2));
        for (int k = 0; k < 3; ++k)
            recorder.onLiveReading(time.addSecs(k), panel, &error);
    }
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(error.contains(path) && error.contains("File too large")) << error.toStdString();
    EXPECT_EQ(recorder.series().size(), 3u);
    const TrendCsvLoad load = loadTrendCsv(path); // the two rows before, whole
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.size(), 2u);

    QDir(tmp.filePath("gone")).mkpath(".");
    ASSERT_TRUE(recorder.startRecording(tmp.filePath("gone/log.csv"), &error));
    ASSERT_TRUE(QDir(tmp.filePath("gone")).removeRecursively());
    EXPECT_FALSE(recorder.onLiveReading(time, panel, &error));
    EXPECT_TRUE(error.contains("gone/log.csv")) << error.toStdString();
}
