#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace selvo {

struct AppContext;

// The member picker offers at most this many members per search.
inline constexpr int kPickerLimit = 50;

// Grey hint of the picker's search box; typing it counts as no search text.
QString PickerHint();

struct PickerItem {
    int id = -1;
    QString text; // TrueName + "(" + MobilePhone + ")"
};

// Normal members (UserState 0) whose card number, initials, name or mobile contain the text
// (trimmed; letter case ignored): the kPickerLimit lowest IDs, then sorted by their text.
// An empty text or the hint lists the lowest IDs of all normal members.
QList<PickerItem> PickerMembers(AppContext& ctx, const QString& text);

struct PickedMember {
    int id = -1;
    QString name;
    QString mobile;
    int points = 0;
    double balance = 0;
};

// The chosen member, only while still normal; std::nullopt when locked, lost or gone.
std::optional<PickedMember> PickMember(AppContext& ctx, int memberId);

} // namespace selvo
