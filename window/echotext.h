#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Quorin {

// The code a character of the echo box stands for when it has no byte of its own, such as a
// typed emoji: the question mark.
inline constexpr char UnmappedCode = '?';

// The echo box's characters for received bytes, one character a byte, in Windows-1252, the
// single-byte code page of Italian and every Western European Windows. The control codes 0-31
// and 127 show as their Unicode control pictures (␀, ␁ ... ␟, ␡), and the five codes that the
// code page leaves without a character (129, 141, 143, 144, 157) as the C1 control characters of
// the same number, as Windows itself maps them, which the box draws as the font's empty box;
// so every byte of the stream stays visible and has a character of its own.
[[nodiscard]] QString echoText(QByteArrayView bytes);

// The bytes the echo box's characters stand for; the exact inverse of echoText().
[[nodiscard]] QByteArray echoBytes(QStringView text);

} // namespace Quorin
