#include "Locales.h"
#include "Printers.h"
#include "RecordFixtures.h"
#include "fakes/SimProcess.h"
#include "protocol/Decode.h"
#include "protocol/Fmtval.h"
#include "protocol/Reading.h"
#include "records/RecordCsv.h"
#include "records/TableText.h"
#include "records/TextFile.h"
#ifdef PHASEMETER_HAVE_APP
#include "app/phasor/PhasorGeometry.h"
#endif

#include <gtest/gtest.h>

namespace {

// Everything the system makes of the shared readings: the panel texts of each (written through
// fmtval and read back for the powers), the phasor labels, and the table's text file and CSV.
QStringList everythingMadeOfTheReadings() {
    QStringList made;
    for (const ReadingVector& v : readingVectors()) {
        pm::Panel panel;
        pm::livein(v.block, panel);
        for (int f = 0; f < pm::kFieldCount; ++f)
            made << panel.text(pm::Field(f));
#ifdef PHASEMETER_HAVE_APP
        for (const pm::PhasorArrow& arrow : pm::phasorPicture(panel).arrows)
            made << arrow.label();
#endif
    }
    pm::RecordTable table;
    const int n = int(readingVectors().size());
    downloadRecords(table, n);
    made << QString::fromLatin1(pm::textFileBytes(pm::tableTextLines(table, n)));
    made << pm::recordCsvLines(table, n);
    return made;
}

} // namespace

// The window and the tools take the C library's locale from the environment.
TEST(Locales, NumbersAreTheSameInEveryLocale) {
    const QStringList expected = everythingMadeOfTheReadings();
    for (const char* name : {kTwoBytePointLocale, kCommaLocale}) {
        REQUIRE_LOCALE(name);
        const ProcessLocale locale(name);
        EXPECT_EQ(everythingMadeOfTheReadings(), expected) << name;
        EXPECT_EQ(pm::fmtval(230.12f, 2), "230.12") << name;
        EXPECT_DOUBLE_EQ(pm::textValue(u"1,234.5"), 1234.5) << name;
    }
}

TEST(Locales, TheToolsPrintTheSameReadingsInEveryLocale) {
    const QString block = QString::fromLatin1(readingVector("worked_example").block.toHex());
    const CliRun plain = runCli({"decode", block});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    for (const char* name : {kTwoBytePointLocale, kCommaLocale}) {
        REQUIRE_LOCALE(name);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LC_ALL", name);
        const CliRun run = runCli({"decode", block}, 20000, env);
        EXPECT_EQ(run.exitCode, 0) << name;
        EXPECT_EQ(run.out, plain.out) << name;
    }
}
