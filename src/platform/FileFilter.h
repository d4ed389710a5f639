#pragma once

#include <QList>
#include <QString>

namespace pm {

// One entry of a save dialog's list of file types.
struct FileType {
    QString description; // "txt (*.txt)"
    QString pattern;     // "*.txt"
};

// The entries of a filter text of description and pattern pairs, each followed by "|":
// "jpg (*.jpg)|*.jpg|txt (*.txt)|*.txt|". A trailing description without a pattern is dropped.
QList<FileType> parseFilter(const QString& filter);

// The entry as a toolkit name filter: the description, with the pattern in parentheses added when
// the description does not show one.
QString nameFilter(const FileType& type);

// The extension a pattern such as "*.txt" gives a file ("txt"); empty for "*" or "*.*".
QString patternSuffix(const QString& pattern);

} // namespace pm
