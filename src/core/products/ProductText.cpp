#include "core/products/ProductText.h"

#include "core/products/Categories.h"

namespace selvo {

QString PropertyPrefix(int property) {
    const QString tag = PropertyTag(property);
    return tag.isEmpty() ? tag : tag + QLatin1Char(' ');
}

QString PropertyTag(int property) {
    switch (property) {
    case PropertySpecialOffer:
        return QStringLiteral("[特]");
    case PropertyGift:
        return QStringLiteral("[赠]");
    default:
        return {};
    }
}

QString PropertyText(int property) {
    switch (property) {
    case PropertyRegular:
        return QStringLiteral("常规商品");
    case PropertySpecialOffer:
        return QStringLiteral("特价商品");
    case PropertyGift:
        return QStringLiteral("赠品");
    default:
        return {};
    }
}

} // namespace selvo
