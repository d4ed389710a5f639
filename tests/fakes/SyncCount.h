#pragma once

#include <QString>

// How many times this process has asked for the data of an existing file to be synced to the
// disk. The tests' own fdatasync counts each call, then syncs as the system's would. Counts are
// kept by the file's inode, which a later file may reuse: compare a count before and after.
int syncCount(const QString& path);
