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
    // A record that did not arrive: a block k inside the table keeps its headings and loses
    // whatever readings an earlier download left in it; the table's size stays.
    virtual void clearRecord(int k) = 0;
};

} // namespace pm
