#include "core/store/Vocabulary.h"

namespace selvo {

QString PayTypeText(int payType) {
    static const char* const kTexts[] = {"未知", "现金支付", "余额支付", "积分支付"};
    return QString::fromUtf8(payType >= 0 && payType <= 3 ? kTexts[payType] : kTexts[0]);
}

QString OrderTypeText(int orderType) {
    static const char* const kTexts[] = {"未知", "正常销售", "退货", "积分兑换", "快速销售"};
    return QString::fromUtf8(orderType >= 0 && orderType <= 4 ? kTexts[orderType] : kTexts[0]);
}

} // namespace selvo
