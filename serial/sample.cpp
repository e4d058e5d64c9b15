#include "sample.h"

#include "protocol.h"

#include <algorithm>
#include <cmath>

namespace Quorin {

namespace {

qsizetype firstSync(QByteArrayView received)
{
    const auto sync = std::find(received.begin(), received.end(), char(SyncByte));
    return sync == received.end() ? -1 : sync - received.begin();
}

} // namespace

QString formatValue(double value, const QLocale &locale)
{
    // Digits and sign stay ASCII whatever the locale; only the separator is the user's.
    QString text = QString::number(std::abs(value), 'f', ValueDecimals);
    text.replace(u'.', locale.decimalPoint());
    if (value < 0)
        text.prepend(u'-');
    return text;
}

std::optional<QString> decodeSample(QByteArrayView received, const QLocale &locale)
{
    const qsizetype sync = firstSync(received);
    const qsizetype sample = sync + 1; // the first byte when there is no sync byte
    if (sample >= received.size())
        return std::nullopt;
    const int code = static_cast<unsigned char>(received[sample]);
    return formatValue(scaledValue(code), locale);
}

QByteArray keepDecodable(QByteArrayView received)
{
    // A read put in front decides by itself unless its only sync byte is its last byte; then
    // the sample is the first byte of what is kept here. With no sync byte in front, what is
    // kept decides through its own first sync byte. Nothing else of it can ever show.
    const qsizetype sync = firstSync(received);
    if (sync < 0)
        return received.first(std::min<qsizetype>(received.size(), 1)).toByteArray();
    QByteArray kept = received.first(1).toByteArray();
    if (sync > 0)
        kept += char(SyncByte);
    if (sync + 1 < received.size())
        kept += received[sync + 1];
    return kept;
}

} // namespace Quorin
