#pragma once

#include "core/db/Database.h"

#include <QString>

namespace selvo::db {

// Reads a libpq connection string into the server fields of `config` (engine set to PostgreSQL).
// Both forms are understood: "host=h port=5432 dbname=shop user=till password='a b'" and
// "postgresql://till:secret@h:5432/shop?sslmode=require". Only the fields given are changed.
// False, with the reason in `error`, for a malformed string or a setting this program does not use.
bool ParsePgConnectionString(const QString& text, ConnectionConfig& config, QString* error = nullptr);

// The valid sslmode values of libpq.
bool IsValidSslMode(const QString& mode);

} // namespace selvo::db
