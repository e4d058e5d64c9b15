// Feeds any byte stream to Quorin's decoding the way its receive loop does: the input is cut
// into reads, each read goes in front of the text received so far, and after every read the
// short text that Quorin keeps must show exactly what the whole text would.

#include "sample.h"

#include <QByteArray>
#include <QLocale>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr qsizetype MostKept = 3; // a first byte, a sync byte and the code after it

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QLocale c = QLocale::c();
    static const QLocale italian(QLocale::Italian, QLocale::Italy);

    // Each read is announced by a length byte, 1 to 16 bytes of stream follow.
    QByteArray whole;
    QByteArray kept;
    size_t at = 0;
    while (at < size) {
        const size_t length = std::min<size_t>(data[at] % 16 + 1, size - at - 1);
        const QByteArray read(reinterpret_cast<const char *>(data + at + 1), qsizetype(length));
        at += length + 1;

        whole.prepend(read);
        kept = Quorin::keepDecodable(read + kept);
        check(kept.size() <= MostKept);
        check(Quorin::decodeSample(kept, c) == Quorin::decodeSample(whole, c));
        check(Quorin::decodeSample(kept, italian) == Quorin::decodeSample(whole, italian));
    }
    return 0;
}
