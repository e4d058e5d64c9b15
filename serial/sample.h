#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <optional>

namespace Quorin {

// The display string for a value: one decimal, no grouping, a leading "-" when negative,
// and the locale's decimal separator.
[[nodiscard]] QString formatValue(double value, const QLocale &locale);

// The display string for a received text: the sample code after its first sync byte, or its
// first byte when it holds no sync byte. Nothing when there is no code to show: an empty
// text, or a first sync byte that is the text's last byte.
[[nodiscard]] std::optional<QString> decodeSample(QByteArrayView received,
                                                  const QLocale &locale = QLocale::system());

// The shortest text that decodes like `received`, both now and after any further reads have
// been put in front of it.
[[nodiscard]] QByteArray keepDecodable(QByteArrayView received);

} // namespace Quorin
