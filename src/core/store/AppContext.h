#pragma once

#include "core/db/Database.h"
#include "core/store/Operator.h"
#include "core/store/StoreSettings.h"

#include <QString>

namespace selvo {

// Receives the few messages core operations show themselves ("无法读取会员信息" and the like).
// Core never opens a window: the GUI installs a notifier that shows a message box, tests record.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void notify(const QString& text) = 0;
};

// What the running program holds for its whole life: the one connection, who is logged in
// and the store settings block.
struct AppContext {
    db::Database db;
    CurrentOperator op;
    StoreSettings settings;
    Notifier* notifier = nullptr;

    void notify(const QString& text) const {
        if (notifier)
            notifier->notify(text);
    }
};

} // namespace selvo
