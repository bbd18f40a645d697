#pragma once

#include <QString>

namespace selvo {

// "[特] " for a special offer (2), "[赠] " for a gift (3), empty otherwise: the prefix the
// sale screen, the picker, returns and purchasing put before a product name.
QString PropertyPrefix(int property);
// The same without the space, as the category tree shows it ("[特]可乐(￥3.00)").
QString PropertyTag(int property);
// "常规商品" / "特价商品" / "赠品"; empty for any other value.
QString PropertyText(int property);

} // namespace selvo
