#include "core/members/MemberList.h"

#include "core/db/TextSearch.h"
#include "core/members/Member.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Money.h"

#include <QHash>

namespace selvo {

namespace {

const QString kRowColumns = QStringLiteral(
    "ID, MemberCode, TrueName, FirstSpell, MobilePhone, Sex, BirthDay, IsLuner, QQ, Email, IdCard, Integral, "
    "Cumulative, Balance, Remark, UserState, photo, AddDate, LastEditDate");

QString dateTimeText(const QDateTime& dt) {
    return dt.isValid() ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : QString();
}

MemberRecord recordFrom(const QSqlQuery& q) {
    const auto text = [&](int i) -> std::optional<QString> {
        const QVariant v = q.value(i);
        return v.isNull() ? std::nullopt : std::optional<QString>(v.toString());
    };
    MemberRecord m;
    m.id = q.value(0).toInt();
    m.memberCode = text(1);
    m.trueName = text(2);
    m.mobilePhone = text(4);
    m.birthDay = db::toDateTime(q.value(6));
    if (!q.value(7).isNull())
        m.isLuner = q.value(7).toInt() != 0;
    if (!q.value(11).isNull())
        m.integral = q.value(11).toInt();
    if (!q.value(12).isNull())
        m.cumulative = q.value(12).toDouble();
    if (!q.value(13).isNull())
        m.balance = q.value(13).toDouble();
    if (!q.value(15).isNull())
        m.userState = q.value(15).toInt();
    m.addDate = db::toDateTime(q.value(17));
    m.lastEditDate = db::toDateTime(q.value(18));
    return m;
}

} // namespace

QList<MemberListColumn> MemberListColumns() {
    return {
        {QStringLiteral("会员卡号"), 180, false},     {QStringLiteral("会员姓名"), 100, false},
        {QStringLiteral("手机号码"), 100, false},     {QStringLiteral("当前积分"), 100, false},
        {QStringLiteral("累计消费"), 100, false},     {QStringLiteral("帐户余额"), 100, false},
        {QStringLiteral("出生生日"), 130, false},     {QStringLiteral("登记时间"), 120, false},
        {QStringLiteral("最后编辑时间"), 120, false}, {QStringLiteral("用户状态"), 60, true},
    };
}

QStringList MemberListTexts(const MemberRecord& m) {
    QString birthday = QStringLiteral("未填写");
    if (m.birthDay.isValid())
        birthday = (m.isLuner.value_or(false) ? QStringLiteral("【农历】") : QStringLiteral("【公历】")) +
                   m.birthDay.toString(QStringLiteral("yyyy-MM-dd"));
    QString state;
    if (m.userState) {
        state = MemberStateText(*m.userState);
        // A code this program does not know is shown as it is rather than hidden.
        if (state.isEmpty())
            state = QString::number(*m.userState);
    }
    return {
        m.memberCode.value_or(QString()),
        m.trueName.value_or(QString()),
        m.mobilePhone.value_or(QString()),
        QString::number(m.integral.value_or(0)),
        FormatMoney(m.cumulative.value_or(0)),
        FormatMoney(m.balance.value_or(0)),
        birthday,
        dateTimeText(m.addDate),
        dateTimeText(m.lastEditDate),
        state,
    };
}

QList<std::pair<QString, int>> MemberStateChoices() {
    return {{QStringLiteral("所有"), -1},
            {QStringLiteral("正常"), MemberNormal},
            {QStringLiteral("锁定"), MemberLocked},
            {QStringLiteral("挂失"), MemberLost}};
}

std::optional<QVector<int>> MemberListIds(AppContext& ctx, const MemberFilter& filter) {
    const QString text = filter.text.trimmed();
    db::SearchQuery query;
    query.select = QStringLiteral("SELECT ID FROM tb_members");
    if (filter.state != -1)
        query.where = {QStringLiteral("UserState = ?"), {filter.state}};
    // Members registered in the same second keep a fixed order (newest ID first).
    query.orderBy = text.isEmpty() ? QStringLiteral("AddDate DESC, ID DESC") : QStringLiteral("ID");
    const auto statement = db::SearchStatement(ctx.db, db::SearchTable::Members, text, query);
    auto q = statement ? ctx.db.select(statement->sql, statement->binds) : std::nullopt;
    if (!q)
        return std::nullopt;
    QVector<int> ids;
    while (q->next())
        ids.append(q->value(0).toInt());
    return ids;
}

MemberListPages::MemberListPages(AppContext& ctx, MemberFilter filter)
    : m_ctx(ctx), m_filter(std::move(filter)),
      m_newest(ctx.db, QStringLiteral("tb_members"), QStringLiteral("AddDate"), QStringLiteral("ID")) {
    m_filter.text = m_filter.text.trimmed();
}

std::optional<QVector<int>> MemberListPages::next(int count) {
    QVector<int> ids;
    db::SearchQuery query;
    query.select = QStringLiteral("SELECT ID FROM tb_members");
    if (m_filter.state != -1)
        query.where = {QStringLiteral("UserState = ?"), {m_filter.state}};
    if (!m_filter.text.isEmpty()) {
        // By ID: each page starts after the last ID read.
        if (m_done || count <= 0)
            return ids;
        query.orderBy = QStringLiteral("ID");
        query.byId = true;
        query.afterId = m_afterId;
        query.limit = count;
        const auto statement = db::SearchStatement(m_ctx.db, db::SearchTable::Members, m_filter.text, query);
        auto q = statement ? m_ctx.db.select(statement->sql, statement->binds) : std::nullopt;
        if (!q)
            return std::nullopt;
        while (q->next())
            ids.append(q->value(0).toInt());
        m_done = ids.size() < count;
        if (!ids.isEmpty())
            m_afterId = ids.last();
        return ids;
    }
    // Newest registration first.
    query.select = QStringLiteral("FROM tb_members");
    return m_newest.next(db::SearchTable::Members, QString(), query, count);
}

QList<MemberListRow> MemberListRows(AppContext& ctx, const QVector<int>& ids) {
    QList<MemberListRow> rows;
    if (ids.isEmpty())
        return rows;
    QHash<int, MemberListRow> found;
    if (!db::SelectByIds(
            ctx.db, QStringLiteral("SELECT ") + kRowColumns + QStringLiteral(" FROM tb_members WHERE ID"),
            ids, [&](const QSqlQuery& q) {
                const MemberRecord m = recordFrom(q);
                found.insert(m.id, {m.id, MemberListTexts(m)});
            }))
        return rows;
    for (int id : ids) {
        auto it = found.constFind(id);
        if (it != found.constEnd())
            rows.append(*it);
    }
    return rows;
}

QString MemberTotalsText(AppContext& ctx) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT sum(Balance), sum(Integral), sum(Cumulative) FROM tb_members"));
    if (!q || !q->next())
        return {};
    const double balance = q->value(0).toDouble();
    const qint64 points = static_cast<qint64>(q->value(1).toDouble());
    const double cumulative = q->value(2).toDouble();
    return QString::asprintf("当前总余额:￥ %.02f元 / 总积分:%lld / 累计消费:￥ %.02f元", balance,
                             static_cast<long long>(points), cumulative);
}

QString MemberDeleteRefusal(const AppContext& ctx, qsizetype tickedCount) {
    if (!HasRight(ctx.op.role, Right::DeleteMember))
        return NoRightText();
    if (tickedCount <= 0)
        return QStringLiteral("请选择要删除的会员");
    return {};
}

QString MemberDeleteQuestion() {
    return QStringLiteral("确认要删除选中的会员吗？  此操作不可恢复！请慎用！\r\n\r\n"
                          "注意：删除会员将同时删除与此会员相关的充值、消费、兑换、积分等信息,"
                          "此操作可能产生财务统计不准确\r\n建议不要删除，设为锁定状态");
}

QVector<int> DeleteMembers(AppContext& ctx, const QVector<int>& ids) {
    QVector<int> gone;
    for (int id : ids) {
        bool missing = false;
        bool reported = false;
        const bool ok = db::runTransaction(ctx.db, [&] {
            missing = false;
            reported = false;
            auto q = ctx.db.select(
                QStringLiteral("SELECT TrueName, MobilePhone FROM tb_members WHERE ID = ?"), {id});
            if (!q)
                return false;
            if (!q->next()) {
                // Another till deleted it already; nothing to log.
                missing = true;
                return true;
            }
            const QString label =
                q->value(0).toString() + QLatin1Char('(') + q->value(1).toString() + QLatin1Char(')');
            q->finish();
            if (!DeleteMember(ctx, id)) {
                reported = true; // DeleteMember has said so itself
                return false;
            }
            return WriteOpLog(ctx, QStringLiteral("删除会员：") + label);
        });
        if (ok)
            gone.append(id);
        else if (!reported)
            ctx.notify(QStringLiteral("删除会员失败！请重试"));
    }
    return gone;
}

} // namespace selvo
