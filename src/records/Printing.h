#pragma once

namespace pm {

class Alerts;
class LinePrinter;
class PrintDialog;
class ReadingTexts;
class RecordTable;

// "Print": after the printer dialog, the real-time view (realview -1) or the record blocks as
// lines of text, one document. A cancel is silent; a failing dialog or printer beeps and says why.
void printClick(int realview, int reccount, const ReadingTexts& panel, const RecordTable& table,
                PrintDialog& dialog, LinePrinter& printer, Alerts& alerts);

} // namespace pm
