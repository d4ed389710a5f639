#include "Files.h"
#include "Printers.h"
#include "TestVectors.h"
#include "fakes/DiskFaults.h"
#include "fakes/Fifo.h"
#include "fakes/GatedStore.h"
#include "fakes/Pty.h"
#include "fakes/SyncCount.h"
#include "fakes/WaitUntil.h"
#include "protocol/Fmtval.h"
#include "trend/TrendCsv.h"
#include "trend/TrendRecorder.h"
#include "trend/TrendReduce.h"
#include "trend/TrendSpan.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <charconv>
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

TEST(TrendSeries, StaysInOrderWhenTheRingWrapsMoreThanOnce) {
    TrendSeries series(4);
    for (int k = 0; k < 11; ++k) // the storage wraps twice and a bit
        series.append(readingOf(kT0 + 1000 * k, float(k)));
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(series.at(i).value(Field::U1), double(7 + i));
    const auto runs = series.runs(0, 4, Field::U1);
    ASSERT_EQ(runs[0].values.size(), 1u); // slot 3 holds the oldest
    EXPECT_EQ(runs[0].values[0], 7.0f);
    EXPECT_EQ(runs[1].values.size(), 3u);
    EXPECT_EQ(runs[1].msecs.back(), kT0 + 10000);

    // Drawn whole ("All"): every reading held, oldest first, none of those pushed out.
    const auto all = reduceMinMax(series, Field::U1, kT0 + 7000, kT0 + 10000, 100);
    ASSERT_EQ(all.size(), 1u);
    ASSERT_EQ(all[0].size(), 4u);
    EXPECT_EQ(all[0].front(), QPointF(double(kT0 + 7000), 7.0));
    EXPECT_EQ(all[0].back(), QPointF(double(kT0 + 10000), 10.0));
}

// Every block a scan offers holds exactly the extremes and the sum of its readings, whether the
// ring has wrapped through the middle of a block or not, and the readings not in whole blocks come
// one by one, so each index is seen once, in order.
TEST(TrendSeries, BlockSummariesHoldExactlyTheirReadingsAcrossTheWrap) {
    constexpr std::size_t kCapacity = 3 * kTrendBlock + 5; // the last block is short
    std::mt19937 random(7);
    std::uniform_int_distribution<int> tenths(-500, 500);
    for (const std::size_t count : {kTrendBlock, kCapacity, kCapacity + 11, 4 * kCapacity + 1}) {
        TrendSeries series(kCapacity);
        qint64 t = kT0;
        for (std::size_t k = 0; k < count; ++k) {
            // A gap now and then, inside a block or on its edge.
            t += k % 45 == 0 || k % kTrendBlock == 0 ? 5000 : 1000;
            series.append(readingOf(t, float(tenths(random)) / 4));
        }
        for (const auto& [first, last] : {std::pair<std::size_t, std::size_t>{0, series.size()},
                                          {1, series.size() - 1},
                                          {kTrendBlock - 1, kTrendBlock + 1},
                                          {3, 2 * kTrendBlock + 3}}) {
            const std::size_t stop = std::min(last, series.size());
            std::size_t next = first;
            int blocks = 0;
            series.scan(
                first, last, Field::U1,
                [&](std::size_t index, qint64 msecs, float v) {
                    EXPECT_EQ(index, next++);
                    EXPECT_EQ(msecs, series.msecsAt(index));
                    EXPECT_EQ(v, series.valueAt(index, Field::U1));
                },
                [&](const TrendBlock& b) {
                    EXPECT_EQ(b.first, next);
                    const std::size_t end = b.first + b.count;
                    EXPECT_LE(end, stop);
                    float lo = series.valueAt(b.first, Field::U1);
                    float hi = lo;
                    std::size_t loAt = b.first, hiAt = b.first;
                    double sum = 0;
                    bool broken = false;
                    for (std::size_t i = b.first; i < end; ++i) {
                        const float v = series.valueAt(i, Field::U1);
                        sum += double(v);
                        if (v < lo)
                            lo = v, loAt = i;
                        if (v > hi)
                            hi = v, hiAt = i;
                        if (i > b.first &&
                            series.msecsAt(i) - series.msecsAt(i - 1) > kTrendGapMsecs)
                            broken = true;
                    }
                    EXPECT_EQ(b.min, lo);
                    EXPECT_EQ(b.max, hi);
                    EXPECT_EQ(b.minAt, loAt);
                    EXPECT_EQ(b.maxAt, hiAt);
                    EXPECT_EQ(b.minMsecs, series.msecsAt(loAt));
                    EXPECT_EQ(b.maxMsecs, series.msecsAt(hiAt));
                    EXPECT_EQ(b.sum, sum);
                    EXPECT_EQ(b.broken, broken);
                    EXPECT_EQ(b.firstMsecs, series.msecsAt(b.first));
                    EXPECT_EQ(b.lastMsecs, series.msecsAt(end - 1));
                    next = end;
                    ++blocks;
                    return true;
                });
            EXPECT_EQ(next, stop) << count << " " << first;
            if (stop - first >= 2 * kTrendBlock) {
                EXPECT_GT(blocks, 0) << count;
            }
        }
    }
}

// The statistics of a span taken from the blocks are those of its readings: the first reading at
// each extreme, the mean of them all, at block edges and across the wrap of the storage.
TEST(TrendSpan, StatisticsFromBlocksEqualThoseOfEveryReading) {
    TrendSeries series(5 * kTrendBlock + 3);
    for (std::size_t k = 0; k < 7 * kTrendBlock; ++k)
        series.append(readingOf(kT0 + 1000 * qint64(k), float(k % 13) - 4));
    for (const auto& [first, last] : {std::pair<std::size_t, std::size_t>{0, series.size()},
                                      {kTrendBlock, 3 * kTrendBlock},
                                      {kTrendBlock - 1, 3 * kTrendBlock + 1},
                                      {2, 2 * kTrendBlock + 30}}) {
        const TrendStats s = trendStats(series, Field::U1, first, last);
        double lo = 1e9, hi = -1e9, sum = 0;
        qint64 loT = 0, hiT = 0;
        for (std::size_t i = first; i < last; ++i) {
            const double v = series.valueAt(i, Field::U1);
            sum += v;
            if (v < lo)
                lo = v, loT = series.msecsAt(i);
            if (v > hi)
                hi = v, hiT = series.msecsAt(i);
        }
        EXPECT_EQ(s.count, last - first);
        EXPECT_EQ(s.min, lo);
        EXPECT_EQ(s.max, hi);
        EXPECT_EQ(s.minMsecs, loT) << first;
        EXPECT_EQ(s.maxMsecs, hiT) << first;
        EXPECT_EQ(s.mean, sum / double(last - first));
    }
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
    load = parseTrendCsv("\xEF\xBB\xBF" + csvOf({"2024-05-01T13:30:01+05:30" + row,
                                                 "2024-05-01T08:00:00Z" + row + "00"})
                                              .replace("\n", "\r\n"));
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.at(0).msecs, kT0);
    EXPECT_EQ(load.series.at(1).msecs, kT0 + 1000);
    EXPECT_EQ(load.series.at(1).value(Field::Freq), -17.5);
    // Each value keeps the digits of its own row when the rows are put in order.
    EXPECT_EQ(trendCsvCells(load.series.at(0)).back(), "-17.500");
    EXPECT_EQ(trendCsvCells(load.series.at(1)).back(), "-17.5");

    // Every value as from_chars reads it, on either side of fifteen digits.
    const QStringList cells = {"0.1",
                               "229.98",
                               "-0.000001",
                               "999999999999999",
                               "1234567890123.4567",
                               "0.30000000000000004",
                               "5.",
                               ".5",
                               "-0",
                               "0.0001",
                               "49.99",
                               "1.0391",
                               "16777217",
                               "340282346638528859811704183484516925440",
                               "120.0",
                               "0.866",
                               "-17.5"};
    load = parseTrendCsv(csvOf({"2024-05-01T08:00:00Z," + cells.join(',')}));
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    for (int f = 0; f < kFieldCount; ++f) {
        const QByteArray cell = cells[f].toLatin1();
        double expected = 0;
        std::from_chars(cell.begin(), cell.end(), expected);
        EXPECT_EQ(load.series.at(0).value(Field(f)), float(expected)) << cell.constData();
    }

    const std::pair<QByteArray, QString> faults[] = {
        {"", "line 1: the file is empty"},
        {"time,U1,U2\n", "line 1: not the header of a readings log"},
        {csvOf({"2024-05-01T08:00:00Z" + row, "2024-13-01T08:00:00Z" + row}),
         "line 3: \"2024-13-01T08:00:00Z\" is not a time in ISO 8601 with its offset from UTC"},
        {csvOf({"2024-05-01T08:00:00" + row}), "line 2: \"2024-05-01T08:00:00\" is not a time"},
        {csvOf({"2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,x,13,14,15,16,17"}),
         "line 2: PF2 \"x\" is not a number"},
        {csvOf({"2024-05-01T08:00:00Z,1" + QString(39, '0') + row.mid(2)}),
         "line 2: U1/V \"1000000000000000000000000000000000000000\" is not a number"},
        {csvOf({"2024-05-01T08:00:00Z,1,2"}), "line 2: 2 values where there are 17 columns"},
        {csvOf({"2024-05-01T08:00:00Z" + row + ",18"}),
         "line 2: 18 values where there are 17 columns"},
        {csvOf({"2024-05-01T08:00:00Z" + row + "," + QString(2000, '9')}),
         "line 2: \"2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,1...\" is longer than 1024"},
        {csvOf({"2024-05-01T08:00:00Z" + row, "", "2024-05-01T08:00:00Z" + row}), "line 3: empty"},
        {csvOf({"2024-05-01T08:00:00Z,1,,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"}),
         "line 2: U2/V \"\" is not a number"},
        {csvOf({"2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,"}),
         "line 2: F/Hz \"\" is not a number"},
        {csvOf({"2024-05-01T08:00:00Z,,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17",
                "2024-05-01T08:00:01Z" + row}),
         "line 2: U1/V \"\" is not a number"},
        {csvOf({"2024-05-01T08:00:00Z,-,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17"}),
         "line 2: U1/V \"-\" is not a number"},
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

TEST(TrendCsv, WritesAndReadsBackTheEdgesOfTheCalendar) {
    const QString row = ",1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17";
    // In January (the year's first day), on 29 February, on the last day of a month and year.
    const QStringList times = {"2024-01-01T00:00:00Z", "2024-01-31T23:59:59+01:00",
                               "2024-02-29T12:00:00-05:00", "2023-04-30T23:59:59Z",
                               "2024-12-31T23:59:59+05:45"};
    const qint64 expected[] = {1704067200000, 1706741999000, 1709226000000, 1682899199000,
                               1735668899000};
    QStringList rows;
    for (const QString& t : times)
        rows << t + row;
    const TrendCsvLoad load = parseTrendCsv(csvOf(rows));
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    ASSERT_EQ(load.series.size(), 5u);
    std::vector<qint64> read;
    for (std::size_t i = 0; i < 5; ++i)
        read.push_back(load.series.at(i).msecs);
    std::vector<qint64> want(std::begin(expected), std::end(expected));
    std::sort(want.begin(), want.end());
    EXPECT_EQ(read, want);
    // Written in the local zone, each date as Qt writes it, and read back as the same instant.
    TrendCsvRows cells;
    for (std::size_t i = 0; i < 5; ++i) {
        const QDateTime local = QDateTime::fromMSecsSinceEpoch(want[i]);
        EXPECT_EQ(cells.cells(load.series.at(i))[0],
                  local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate));
    }
    const QByteArray again = trendCsvText(load.series, 0, 5);
    const TrendCsvLoad back = parseTrendCsv(again);
    ASSERT_TRUE(back.ok) << back.error.toStdString();
    for (std::size_t i = 0; i < 5; ++i)
        EXPECT_EQ(back.series.at(i).msecs, want[i]);
    EXPECT_FALSE(parseTrendCsv(csvOf({"2023-02-29T12:00:00Z" + row})).ok) << "not a leap year";
    EXPECT_EQ(parseTrendCsv(csvOf({"2024-05-01T08:00:00.5Z" + row})).series.at(0).msecs, kT0 + 500);
    EXPECT_FALSE(parseTrendCsv(csvOf({"2024-04-31T12:00:00Z" + row})).ok);
}

TEST(TrendCsv, TakesARecordingWhoseLastRowWasCutShortOrBlank) {
    const QString row = ",1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17";
    const QByteArray whole = csvOf({"2024-05-01T08:00:00Z" + row, "2024-05-01T08:00:01Z" + row});
    for (const QByteArray& tail :
         {QByteArray("2024-05-01T08:00:02Z,1,2,3"), QByteArray("\n"), QByteArray(40, '\0'),
          QByteArray(40, '\0') + "\n", QByteArray(4, '\0') + "\r\n"}) {
        const TrendCsvLoad load = parseTrendCsv(whole + tail);
        ASSERT_TRUE(load.ok) << load.error.toStdString();
        EXPECT_TRUE(load.lastRowIncomplete);
        EXPECT_EQ(load.series.size(), 2u);
    }
    const TrendCsvLoad load = parseTrendCsv(whole);
    EXPECT_TRUE(load.ok && !load.lastRowIncomplete);
}

namespace {
// Bytes made as they are read: a header, a row and then nothing but line ends.
class EmptyLines : public QIODevice {
public:
    explicit EmptyLines(qint64 lines) : length_(qint64(start().size()) + lines) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    qint64 handedOver = 0;

private:
    static QByteArray start() {
        return trendCsvHeader().toLatin1() +
               "2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n";
    }
    qint64 readData(char* data, qint64 max) override {
        const QByteArray head = start();
        const qint64 n = std::min(max, length_ - handedOver);
        for (qint64 k = 0; k < n; ++k) {
            const qint64 at = handedOver + k;
            data[k] = at < head.size() ? head[qsizetype(at)] : '\n';
        }
        handedOver += n;
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }
    qint64 length_;
};
} // namespace

TEST(TrendCsv, RefusesAHundredMillionEmptyLinesAfterReadingAFewOfThem) {
    EmptyLines lines(100'000'000);
    const TrendCsvLoad load = loadTrendCsv(lines);
    EXPECT_FALSE(load.ok);
    EXPECT_TRUE(load.error.startsWith("line 3: empty")) << load.error.toStdString();
    EXPECT_LT(lines.handedOver, 1 << 20) << "read no further than the first block";
}

TEST(TrendCsv, OpensALogLongerThanAWeekWhole) {
    const std::size_t count = kTrendCapacity + 1000;
    QByteArray text = trendCsvHeader().toLatin1();
    text.reserve(qsizetype(count) * 60);
    TrendCsvRows rows;
    for (std::size_t k = 0; k < count; ++k)
        rows.append(text, readingOf(kT0 + 1000 * qint64(k), float(k % 100)));
    const TrendCsvLoad load = parseTrendCsv(text);
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    ASSERT_EQ(load.series.size(), count);
    EXPECT_EQ(load.series.msecsAt(0), kT0);
    EXPECT_EQ(load.series.msecsAt(count - 1), kT0 + 1000 * qint64(count - 1));
}

TEST(TrendReduce, JoinsReadingsTwoSecondsApartAndBreaksAtOneMillisecondMore) {
    for (const auto& [step, lines] : {std::pair{qint64(2000), 1u}, std::pair{qint64(2001), 2u}}) {
        TrendSeries series;
        series.append(readingOf(kT0, 1));
        series.append(readingOf(kT0 + step, 2));
        EXPECT_EQ(reduceMinMax(series, Field::U1, kT0, kT0 + step, 50).size(), lines) << step;
    }
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

// A column many blocks wide keeps the first reading at each extreme, on a block's first and last
// reading, and a gap inside a block still breaks the line.
TEST(TrendReduce, ColumnsWiderThanABlockKeepTheirExtremesAndBreakInsideABlock) {
    constexpr std::size_t kCount = 10 * kTrendBlock;
    constexpr std::size_t kHigh = 3 * kTrendBlock - 1;
    constexpr std::size_t kLow = 5 * kTrendBlock;
    for (const bool gap : {false, true}) {
        TrendSeries series;
        qint64 t = kT0;
        for (std::size_t k = 0; k < kCount; ++k) {
            t += gap && k == 7 * kTrendBlock + 10 ? 3000 : 1000;
            const float v = k == kHigh ? 9 : k == kLow || k == kLow + 40 ? -9 : float(k % 5);
            series.append(readingOf(t, v));
        }
        const auto segments =
            reduceMinMax(series, Field::U1, series.msecsAt(0), series.msecsAt(kCount - 1), 1);
        ASSERT_EQ(segments.size(), gap ? 2u : 1u);
        const TrendSegment& first = segments[0];
        ASSERT_EQ(first.size(), 2u);
        EXPECT_EQ(first[0], QPointF(double(series.msecsAt(kHigh)), 9.0));
        EXPECT_EQ(first[1], QPointF(double(series.msecsAt(kLow)), -9.0));
    }
}

// Gaps are found inside a block and between two, as between any two readings.
TEST(TrendSpan, FindsGapsInsideAndBetweenBlocks) {
    TrendSeries series;
    qint64 t = kT0;
    std::vector<TrendGap> expected;
    for (std::size_t k = 0; k < 8 * kTrendBlock; ++k) {
        const bool gap =
            k == 2 * kTrendBlock || k == 4 * kTrendBlock + 7 || k == 7 * kTrendBlock - 1;
        if (gap)
            expected.push_back({t, t + 2001});
        t += gap ? 2001 : 2000;
        series.append(readingOf(t, 0));
    }
    const auto gaps = trendGaps(series, kT0, t, 10);
    ASSERT_EQ(gaps.size(), expected.size());
    for (std::size_t k = 0; k < gaps.size(); ++k) {
        EXPECT_EQ(gaps[k].from, expected[k].from) << k;
        EXPECT_EQ(gaps[k].to, expected[k].to) << k;
    }
}

// A recording's rows out of time order are summarised afresh once sorted.
TEST(TrendSpan, StatisticsHoldAfterSortingARecording) {
    TrendSeries series;
    for (std::size_t k = 0; k < 3 * kTrendBlock; ++k) {
        const std::size_t i = 3 * kTrendBlock - 1 - k; // newest first
        series.appendAsWritten(readingOf(kT0 + 1000 * qint64(i), float(i)));
    }
    series.sortByTime();
    const TrendStats s = trendStats(series, Field::U1, 0, series.size());
    EXPECT_EQ(s.min, 0.0);
    EXPECT_EQ(s.minMsecs, kT0);
    EXPECT_EQ(s.max, double(3 * kTrendBlock - 1));
    EXPECT_EQ(s.mean, double(3 * kTrendBlock - 1) / 2);
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
        ASSERT_TRUE(log.close(&error)) << error.toStdString();
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

TEST(TrendLog, ADiskTakingTwoSecondsASyncKeepsUpByWritingWhatWaitsInOneGo) {
    QTemporaryDir tmp;
    const auto gate = std::make_shared<StoreGate>();
    HandClock clock;
    TrendLog log;
    log.setStoreWrapper(gatedBy(gate));
    log.setClock(clock.clock());
    QString error;
    const QString path = tmp.filePath("log.csv");
    ASSERT_TRUE(writeFile(path, ""));
    const int syncs = syncCount(path);
    ASSERT_TRUE(log.open(path, &error)) << error.toStdString();
    const Panel panel = panelOf(readingVector("worked_example").texts);
    auto at = [](int k) { return QDateTime::fromMSecsSinceEpoch(kT0 + 1000 * k); };
    gate->close();
    const auto opened = qScopeGuard([&] { gate->release(); });
    ASSERT_TRUE(log.append(at(0), panel, &error));
    ASSERT_TRUE(waitUntil([&] { return gate->count() == 1; }));
    // A reading a second, a sync every two: each sync takes the two readings that came during
    // the one before.
    int writes = 1;
    for (int k = 1; k < 60; k += 2) {
        for (int r = k; r < std::min(k + 2, 60); ++r) {
            clock.advance(1000);
            ASSERT_TRUE(log.append(at(r), panel, &error)) << r << ": " << error.toStdString();
        }
        EXPECT_LE(log.behind(), 4u) << k; // the two on their way and the two that came meanwhile
        gate->let(1);
        ++writes;
        ASSERT_TRUE(waitUntil([&] { return gate->count() == writes; })) << k;
    }
    gate->release();
    ASSERT_TRUE(log.close(&error)) << error.toStdString();
    EXPECT_EQ(writes, 31);
    EXPECT_EQ(syncCount(path) - syncs, 1 + 31) << "the header, then one sync a group";
    const TrendCsvLoad load = loadTrendCsv(path);
    ASSERT_EQ(load.series.size(), 60u);
    for (std::size_t i = 0; i < 60; ++i)
        EXPECT_EQ(load.series.at(i).msecs, kT0 + 1000 * qint64(i));
}

TEST(TrendLog, CutsOffATornLastRowBeforeAppending) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const QString row = "2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n";
    ASSERT_TRUE(writeFile(path, csvOf({row.trimmed()}) + "2024-05-01T08:00:01Z,1,2,3,4"));
    TrendLog log;
    QString error, notice;
    const int syncs = syncCount(path);
    ASSERT_TRUE(log.open(path, &error, &notice)) << error.toStdString();
    EXPECT_EQ(syncCount(path) - syncs, 1) << "the cut is on the disk before any row follows it";
    EXPECT_EQ(notice, "The last row of " + path + " was incomplete and was removed.");
    const Panel panel = panelOf(readingVector("worked_example").texts);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(kT0 + 5000);
    ASSERT_TRUE(log.append(time, panel, &error));
    ASSERT_TRUE(log.close(&error));
    EXPECT_EQ(readFile(path),
              trendCsvHeader().toUtf8() + row.toUtf8() + trendCsvRow(time, panel).toUtf8());
    EXPECT_TRUE(loadTrendCsv(path).ok);
}

TEST(TrendLog, CutsABlankOrNulLastLineOrOneThatIsNoRowBeforeAppending) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const QByteArray row = "2024-05-01T08:00:00Z,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17\n";
    const Panel panel = panelOf(readingVector("worked_example").texts);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(kT0 + 5000);
    for (const QByteArray& last :
         {QByteArray("\n"), QByteArray(12, '\0') + "\n", QByteArray("\r\n"),
          QByteArray("2024-05-01T08:00:01Z,1,2,3\n"), QByteArray(3000, 'x') + "\n"}) {
        ASSERT_TRUE(writeFile(path, trendCsvHeader().toUtf8() + row + last));
        TrendLog log;
        QString error, notice;
        ASSERT_TRUE(log.open(path, &error, &notice)) << error.toStdString();
        EXPECT_EQ(notice, "The last row of " + path + " was incomplete and was removed.");
        ASSERT_TRUE(log.append(time, panel, &error));
        ASSERT_TRUE(log.close(&error));
        EXPECT_EQ(readFile(path),
                  trendCsvHeader().toUtf8() + row + trendCsvRow(time, panel).toUtf8());
        const TrendCsvLoad load = loadTrendCsv(path);
        EXPECT_TRUE(load.ok && load.series.size() == 2) << load.error.toStdString();
    }
    // Whole rows, with either line end, and a header alone stay as they are.
    for (const QByteArray& kept :
         {trendCsvHeader().toUtf8() + row, trendCsvHeader().toUtf8() + row.chopped(1) + "\r\n",
          trendCsvHeader().toUtf8()}) {
        ASSERT_TRUE(writeFile(path, kept));
        TrendLog log;
        QString error, notice;
        ASSERT_TRUE(log.open(path, &error, &notice)) << error.toStdString();
        EXPECT_TRUE(notice.isEmpty()) << notice.toStdString();
        log.close();
        EXPECT_EQ(readFile(path), kept);
    }
}

TEST(TrendLog, AppendsBehindAHeaderSavedOnWindows) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const QByteArray bare = trendCsvHeader().toLatin1().chopped(1);
    // A CR LF line end, or a byte order mark as a spreadsheet saving CSV in UTF-8 puts first.
    for (const QByteArray& header : {bare + "\r\n", "\xEF\xBB\xBF" + bare + "\n"}) {
        ASSERT_TRUE(writeFile(path, header));
        TrendLog log;
        QString error, notice;
        ASSERT_TRUE(log.open(path, &error, &notice)) << error.toStdString();
        EXPECT_TRUE(notice.isEmpty());
        const Panel panel = panelOf(readingVector("worked_example").texts);
        ASSERT_TRUE(log.append(QDateTime::fromMSecsSinceEpoch(kT0), panel, &error));
        ASSERT_TRUE(log.close(&error));
        EXPECT_TRUE(readFile(path).startsWith(header + "2024-")) << "no second header";
        EXPECT_EQ(loadTrendCsv(path).series.size(), 1u);
    }
}

TEST(TrendLog, RefusesASecondWriterWhileOpen) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    TrendLog first;
    TrendLog second;
    QString error;
    ASSERT_TRUE(first.open(path, &error)) << error.toStdString();
    EXPECT_FALSE(second.open(path, &error));
    EXPECT_EQ(error, path + " is being recorded by another program.");
    EXPECT_EQ(readFile(path), trendCsvHeader().toUtf8()) << "one header";
    first.close();
    EXPECT_TRUE(second.open(path, &error)) << error.toStdString();
}

TEST(TrendLog, RefusesAFifoOrADeviceAsTheLog) {
    QTemporaryDir tmp;
    const Fifo fifo(tmp.filePath("pipe"));
    ASSERT_TRUE(fifo.ok());
    const Pty pty;
    ASSERT_TRUE(pty.ok());
    for (const QString& path : {tmp.filePath("pipe"), pty.slavePath()}) {
        TrendLog log;
        QString error;
        EXPECT_FALSE(log.open(path, &error));
        EXPECT_TRUE(error.contains(path) && error.contains("not a plain file"))
            << error.toStdString();
    }
    EXPECT_TRUE(fifo.inPlace());
}

TEST(TrendLog, RemovesAFileItMadeThatGotNoReading) {
    QTemporaryDir tmp;
    const QString made = tmp.filePath("new.csv");
    const QString kept = tmp.filePath("empty.csv");
    ASSERT_TRUE(writeFile(kept, ""));
    for (const QString& path : {made, kept}) {
        TrendLog log;
        QString error;
        ASSERT_TRUE(log.open(path, &error)) << error.toStdString();
        EXPECT_TRUE(log.close(&error));
    }
    EXPECT_FALSE(QFileInfo::exists(made)) << "only its header: the meter never answered";
    EXPECT_EQ(readFile(kept), trendCsvHeader().toUtf8()) << "not this run's file";
}

TEST(TrendLog, ASlowDiskThatKeepsTakingRowsIsNotTakenForAStalledOne) {
    QTemporaryDir tmp;
    const auto gate = std::make_shared<StoreGate>();
    HandClock clock;
    TrendLog log;
    log.setStoreWrapper(gatedBy(gate));
    log.setClock(clock.clock());
    QString error;
    ASSERT_TRUE(log.open(tmp.filePath("log.csv"), &error)) << error.toStdString();
    const Panel panel = panelOf(readingVector("worked_example").texts);
    gate->close();
    const auto opened = qScopeGuard([&] { gate->release(); }); // before the log waits for it
    ASSERT_TRUE(log.append(QDateTime::fromMSecsSinceEpoch(kT0), panel, &error));
    ASSERT_TRUE(waitUntil([&] { return gate->count() == 1; }));
    // Each row takes the disk 20 s: rows always wait, but none is owed for 30 s.
    for (int k = 1; k <= 3; ++k) {
        clock.advance(20000);
        ASSERT_TRUE(log.append(QDateTime::fromMSecsSinceEpoch(kT0 + 1000 * k), panel, &error))
            << k << ": " << error.toStdString();
        gate->let(1);
        ASSERT_TRUE(waitUntil([&] { return gate->count() == k + 1; }));
    }
    gate->release();
    ASSERT_TRUE(log.close(&error)) << error.toStdString();
    EXPECT_EQ(loadTrendCsv(tmp.filePath("log.csv")).series.size(), 4u);
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
        EXPECT_FALSE(recorder.stopRecording(&error)) << "waits for every row";
    }
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(error.contains(path) && error.contains("File too large") &&
                error.contains("the 2 readings written before are kept"))
        << error.toStdString();
    EXPECT_EQ(recorder.series().size(), 3u);
    const TrendCsvLoad load = loadTrendCsv(path); // the two rows before, whole
    ASSERT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.series.size(), 2u);

    // The folder is removed under the recording: nothing is said to be kept.
    QDir(tmp.filePath("gone")).mkpath(".");
    ASSERT_TRUE(recorder.startRecording(tmp.filePath("gone/log.csv"), &error));
    ASSERT_TRUE(QDir(tmp.filePath("gone")).removeRecursively());
    recorder.onLiveReading(time, panel, &error);
    ASSERT_TRUE(waitUntil([&] { return recorder.rowsBehind() == 0; }));
    EXPECT_FALSE(recorder.onLiveReading(time, panel, &error));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(error.contains("gone/log.csv") && error.contains("no longer there") &&
                !error.contains("kept"))
        << error.toStdString();
}

TEST(TrendRecorder, ASlowDiskNeverHoldsUpAReadingAndAStalledOneStopsRecording) {
    QTemporaryDir tmp;
    const QString path = tmp.filePath("log.csv");
    const auto gate = std::make_shared<StoreGate>();
    HandClock clock;
    TrendRecorder recorder;
    recorder.log().setStoreWrapper(gatedBy(gate));
    recorder.log().setClock(clock.clock());
    QString error;
    ASSERT_TRUE(recorder.startRecording(path, &error)) << error.toStdString();
    const Panel panel = panelOf(readingVector("worked_example").texts);
    gate->close(); // the disk takes no row until the gate opens
    for (int k = 0; k < 10; ++k) {
        clock.advance(1000);
        // Returns while the disk holds the first row: the reading is never waited for.
        ASSERT_TRUE(
            recorder.onLiveReading(QDateTime::fromMSecsSinceEpoch(kT0 + 1000 * k), panel, &error))
            << error.toStdString();
    }
    EXPECT_EQ(recorder.rowsBehind(), 10u);
    gate->release();
    ASSERT_TRUE(waitUntil([&] { return recorder.rowsBehind() == 0; }));
    EXPECT_EQ(loadTrendCsv(path).series.size(), 10u);

    // 30 s without the disk taking a row: recording stops and says so.
    gate->close();
    const int writes = gate->count();
    ASSERT_TRUE(recorder.onLiveReading(QDateTime::fromMSecsSinceEpoch(kT0 + 20000), panel, &error));
    ASSERT_TRUE(waitUntil([&] { return gate->count() == writes + 1; }));
    clock.advance(TrendLog::kStallMsecs - 1);
    EXPECT_TRUE(recorder.onLiveReading(QDateTime::fromMSecsSinceEpoch(kT0 + 21000), panel, &error));
    clock.advance(1);
    EXPECT_FALSE(
        recorder.onLiveReading(QDateTime::fromMSecsSinceEpoch(kT0 + 22000), panel, &error));
    EXPECT_FALSE(recorder.isRecording());
    EXPECT_TRUE(error.contains(path) && error.contains("30 seconds") &&
                error.contains("the last 2 readings"))
        << error.toStdString();
    EXPECT_EQ(recorder.series().size(), 13u) << "the readings go on";
    gate->release(); // the abandoned write ends on its own
}
