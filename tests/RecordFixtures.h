#pragma once

#include "TestVectors.h"
#include "protocol/Download.h"
#include "records/RecordTable.h"

// Fills the table as a download of the shared vectors would: record k gets vector k - 1
// (cycling), so neighbouring blocks differ.
inline void downloadRecords(pm::RecordTable& table, int count) {
    const auto& vectors = readingVectors();
    for (int k = 1; k <= count; ++k)
        pm::recordin(k, vectors[size_t(k - 1) % vectors.size()].block, table);
}
