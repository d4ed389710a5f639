#pragma once

#include <QByteArray>
#include <QString>

namespace pm {

// Where a log's rows go: each append is one whole write, on the disk when it returns. The log's
// writer thread is the only caller once recording runs.
class RowStore {
public:
    virtual ~RowStore() = default;
    // False with the system's reason; the store then ends where it ended before.
    virtual bool append(const QByteArray& bytes, QString* why) = 0;
};

} // namespace pm
