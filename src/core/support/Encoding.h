#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace selvo {

// Multi-byte form of the text in the given iconv charset ("GBK", "GB18030"). A character the
// charset cannot hold becomes "?", the way the code page's default character stands in for it.
QByteArray EncodeText(const QString& text, const char* charset);

// The text of bytes in the given charset; nullopt when the bytes are not valid in it.
std::optional<QString> DecodeText(const QByteArray& bytes, const char* charset);

} // namespace selvo
