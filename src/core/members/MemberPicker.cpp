#include "core/members/MemberPicker.h"

#include "core/db/TextSearch.h"
#include "core/members/Member.h"
#include "core/store/AppContext.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>

namespace selvo {

QString PickerHint() {
    return QStringLiteral("输入会员姓名、首拼、手机、卡号查询");
}

QList<PickerItem> PickerMembers(AppContext& ctx, const QString& text) {
    QString search = text.trimmed();
    if (search == PickerHint())
        search.clear();
    db::SearchQuery query;
    query.select = QStringLiteral("SELECT ID, TrueName, MobilePhone FROM tb_members");
    query.where = {QStringLiteral("UserState = 0"), {}};
    query.orderBy = QStringLiteral("ID");
    query.limit = kPickerLimit;
    query.byId = true;
    QList<PickerItem> items;
    const auto statement = db::SearchStatement(ctx.db, db::SearchTable::Members, search, query);
    auto q = statement ? ctx.db.select(statement->sql, statement->binds) : std::nullopt;
    if (!q)
        return items;
    while (q->next())
        items.append({q->value(0).toInt(),
                      q->value(1).toString() + QLatin1Char('(') + q->value(2).toString() + QLatin1Char(')')});
    // Sorted as a Chinese desktop sorts names: digits and Latin letters first, then Chinese
    // names by their pinyin. (The Chinese collation alone would put Chinese first.)
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    const auto chineseFirst = [](const QString& s) {
        return !s.isEmpty() && s.at(0).script() == QChar::Script_Han;
    };
    std::stable_sort(items.begin(), items.end(), [&](const PickerItem& a, const PickerItem& b) {
        const bool ha = chineseFirst(a.text);
        const bool hb = chineseFirst(b.text);
        if (ha != hb)
            return hb;
        return collator.compare(a.text, b.text) < 0;
    });
    return items;
}

std::optional<PickedMember> PickMember(AppContext& ctx, int memberId) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT ID, TrueName, MobilePhone, Integral, Balance FROM tb_members "
                                     "WHERE UserState = 0 AND ID = ?"),
                      {memberId});
    if (!q || !q->next())
        return std::nullopt;
    return PickedMember{q->value(0).toInt(), q->value(1).toString(), q->value(2).toString(),
                        q->value(3).toInt(), q->value(4).toDouble()};
}

} // namespace selvo
