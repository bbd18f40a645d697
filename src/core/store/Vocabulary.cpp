#include "core/store/Vocabulary.h"

#include "core/db/Database.h"

namespace selvo {

QString PayTypeText(int payType) {
    static const char* const kTexts[] = {"未知", "现金支付", "余额支付", "积分支付"};
    return QString::fromUtf8(payType >= 0 && payType <= 3 ? kTexts[payType] : kTexts[0]);
}

QString OrderTypeText(int orderType) {
    static const char* const kTexts[] = {"未知", "正常销售", "退货", "积分兑换", "快速销售"};
    return QString::fromUtf8(orderType >= 0 && orderType <= 4 ? kTexts[orderType] : kTexts[0]);
}

QString OutcomeUnknownText(const QString& what, const QString& where) {
    return QStringLiteral("与数据库服务器的连接在保存时中断，无法确定%1是否已保存。\r\n"
                          "请先在“%2”中查看：找到了就是已经完成，找不到再重新操作，切勿直接重试。")
        .arg(what, where);
}

QString DatabaseBusyText() {
    return QStringLiteral("数据库正忙（另一个程序正在写入），本单未保存，请稍后重试！");
}

QString DatabaseTroubleText(const db::Database& db) {
    if (db.fileGone())
        return db.fileGoneText();
    if (db.lastErrorIsBusy())
        return DatabaseBusyText();
    return {};
}

bool TakeDatabaseTrouble(const db::Database& db, QString& message, QString& detail) {
    const QString trouble = DatabaseTroubleText(db);
    if (trouble.isEmpty())
        return false;
    message = trouble;
    detail.clear();
    return true;
}

} // namespace selvo
