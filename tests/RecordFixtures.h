#pragma once

#include "Files.h"
#include "TestVectors.h"
#include "protocol/Decode.h"
#include "protocol/Download.h"
#include "records/RecordTable.h"

#include <QStringList>
#include <QTemporaryDir>

// Fills the table as a download of the shared vectors would: record k gets vector k - 1
// (cycling), so neighbouring blocks differ.
inline void downloadRecords(pm::RecordTable& table, int count) {
    const auto& vectors = readingVectors();
    for (int k = 1; k <= count; ++k)
        pm::recordin(k, vectors[size_t(k - 1) % vectors.size()].block, table);
}

// The shared vectors that hold what a reading can: a download files them at the first asking.
inline std::vector<ReadingVector> possibleVectors() {
    std::vector<ReadingVector> possible;
    for (const ReadingVector& v : readingVectors())
        if (pm::readingPossible(v.block))
            possible.push_back(v);
    return possible;
}

// A real meter's reply takes milliseconds on the wire at 9600 baud; on a pseudo-terminal the
// simulator would answer within microseconds. --wire keeps it to what the line allows.
inline const QStringList kWireTime{"--wire"};

// A meter holding `n` records that cycle through the shared vectors, as a record file for the
// simulator, and the table a download of them makes.
struct StoredRecords {
    QTemporaryDir dir;
    QString file = dir.filePath("records.hex");
    pm::RecordTable table;
    int count = 0; // 0 when the record file could not be written

    // `vectors`: what the records cycle through; all the shared vectors, two of which a download
    // takes for records stored damaged.
    explicit StoredRecords(int n, const std::vector<ReadingVector>& vectors = readingVectors()) {
        QByteArray lines;
        for (int k = 1; k <= n; ++k) {
            const QByteArray& block = vectors[size_t(k - 1) % vectors.size()].block;
            lines += block.toHex(' ') + '\n';
            pm::recordin(k, block, table);
        }
        if (!writeFile(file, lines))
            return;
        count = n;
    }
    // The simulator's options for a meter holding them.
    QStringList simOptions() const { return QStringList{"--record-file", file} + kWireTime; }
};
