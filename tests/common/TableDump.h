#pragma once

#include <QMap>
#include <QStringList>

namespace selvo {
struct AppContext;
}

namespace selvo::test {

// Every row of every shop table as text, sorted, so two dumps compare equal exactly when the
// database holds the same data.
QMap<QString, QStringList> DumpTables(AppContext& ctx);

} // namespace selvo::test
