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
};

} // namespace pm
