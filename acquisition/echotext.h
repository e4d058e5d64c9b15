#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace Quorin {

// The code a character of the echo box stands for when it has no byte of its own, such as a
// typed "€": the question mark.
inline constexpr char UnmappedCode = '?';

// The echo box's characters for received bytes, one character a byte: Latin-1, except the
// control codes 0-31 and 127, which show as their Unicode control pictures (␀, ␁ ... ␟, ␡)
// so that every byte of the stream stays visible.
[[nodiscard]] QString echoText(QByteArrayView bytes);

// The bytes the echo box's characters stand for; the exact inverse of echoText().
[[nodiscard]] QByteArray echoBytes(QStringView text);

} // namespace Quorin
