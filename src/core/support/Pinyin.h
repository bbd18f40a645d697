#pragma once

#include <QString>

namespace selvo {

// The pinyin initials of a name ("首拼"/"简码"), stored in FirstSpell and matched by searches:
// 可口可乐 gives "KKKL", "Coca-Cola 330ml" gives "CocaCola 330ml". Brackets and hyphens are
// dropped, outer white space trimmed, ASCII copied as it is, each GB2312 hanzi gives its
// upper-case initial ("[" for the radicals, which have no reading). A character code page 936
// cannot hold gives "?". Every other character (full-width letters and symbols, hanzi outside
// GB2312) is left out: the code stays a plain letter code the operator can type.
QString GetFirstSpell(const QString& text);

} // namespace selvo
