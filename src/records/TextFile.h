#pragma once

#include <QByteArray>
#include <QStringList>

namespace pm {

// A text file as the instrument's users exchange them: every line ends with CR LF, and the text is
// in the Windows-1252 code page, so the degree sign is the single byte 0xB0. A character that the
// code page lacks becomes "?".
QByteArray textFileBytes(const QStringList& lines);

} // namespace pm
