#pragma once

namespace pm {

class ReadingTexts;

// Where downloaded records go: the record table, one block of rows per record.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Makes the table end with block k (cut back or grown, new rows empty), writes the block's
    // headings and returns the place that holds its reading texts.
    virtual ReadingTexts& beginRecord(int k) = 0;
    // The same for a record asked for again: the table grows to hold block k but is never cut
    // back, so the records after it stay.
    virtual ReadingTexts& refillRecord(int k) = 0;
    // Whether block k holds any reading; the block of a record whose reply never came holds none.
    virtual bool holdsReading(int k) const = 0;
};

} // namespace pm
