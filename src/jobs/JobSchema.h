#pragma once

#include <QStringList>
#include <vector>

namespace pm {

// The statements that take the schema from version n to n + 1, at index n; the same tables in
// SQLite and PostgreSQL, but for how a generated key is declared.
std::vector<QStringList> jobMigrations(bool postgres);

} // namespace pm
