#pragma once

#include <QList>
#include <QString>

namespace selvo {

struct AppContext;

// One row of the product picker.
struct PickerRow {
    int id = 0;
    QString code;
    QString name;  // with the "[特] " / "[赠] " prefix
    QString price; // "%.2f"
    QString unit;
};

inline constexpr int kPickerRowLimit = 100;

// On-sale products by ID, at most `limit`; with a search text (trimmed), only those whose
// name, initials or code contain it literally.
QList<PickerRow> PickerRows(AppContext& ctx, const QString& search, int limit = kPickerRowLimit);

// "12,15,20,": each ID followed by a comma, in the given order.
QString PickedIdsText(const QList<int>& ids);
// Back to IDs: each piece followed by a comma; a trailing piece without one, and anything
// that is not a whole number, is not used.
QList<int> ParsePickedIds(const QString& text);

QString PickNothingText(); // "至少选择一个商品"

} // namespace selvo
