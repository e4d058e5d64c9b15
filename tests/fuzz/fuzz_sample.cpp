// libFuzzer target: feeds any byte stream to Quorin's decoding the way its receive loop does, and
// stops (abort, so libFuzzer saves the input) when the short text the loop keeps would show
// something other than the whole text received so far.
//
// The input is a run of reads, each a length byte n (0 to 255) and then n bytes of the stream;
// the last read is cut short where the input ends. As in the loop, every read goes in front of
// the text received so far, newest first. The whole text grows by every read, so it is bounded
// only by the input's size: run with -max_len (the CTest run and tools/fuzz.sh use 4096).

#include "protocol.h"
#include "sample.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QLocale>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

// keepDecodable() keeps at most a first byte, a sync byte and the code after it.
constexpr qsizetype MostKept = 3;

void require(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_sample: %s\n", what);
    std::abort();
}

// What the box must show for a text, worked out here on its own: the code after the first sync
// byte, or the first byte when there is none, as (code - 1) * 100 / 253 with one decimal.
std::optional<QString> expectedShown(QByteArrayView text, QChar separator)
{
    const qsizetype sync = text.indexOf(char(Quorin::SyncByte));
    const qsizetype at = sync < 0 ? 0 : sync + 1;
    if (at >= text.size())
        return std::nullopt;
    const int code = static_cast<unsigned char>(text[at]);
    return QString::number((code - 1) * 100.0 / 253.0, 'f', 1).replace(u'.', separator);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QLocale c = QLocale::c();
    static const QLocale italian(QLocale::Italian, QLocale::Italy);
    const QByteArrayView input(data, static_cast<qsizetype>(size));

    QByteArray whole; // everything received, never trimmed
    QByteArray kept;  // what the receive loop keeps between reads
    qsizetype at = 0;
    while (at < input.size()) {
        const qsizetype length
            = std::min<qsizetype>(static_cast<unsigned char>(input[at]), input.size() - at - 1);
        const QByteArrayView read = input.sliced(at + 1, length);
        at += 1 + length;

        // The read on its own, as a view into libFuzzer's buffer, which ends where the input
        // does: a byte read past the view's end is one AddressSanitizer sees.
        require(Quorin::decodeSample(read, c) == expectedShown(read, u'.'),
                "a read decodes wrongly");
        require(Quorin::decodeSample(Quorin::keepDecodable(read), c)
                    == Quorin::decodeSample(read, c),
                "what is kept of a read decodes differently");

        whole.prepend(read);
        kept.prepend(read);
        // What the loop shows after this read, decoded from the kept text with the read in
        // front, must be what the whole text shows, in both locales.
        const auto shown = Quorin::decodeSample(whole, c);
        require(shown == expectedShown(whole, u'.'), "the whole text decodes wrongly");
        require(Quorin::decodeSample(kept, c) == shown, "the kept text decodes differently");
        require(Quorin::decodeSample(kept, italian) == Quorin::decodeSample(whole, italian),
                "the kept text decodes differently in Italian");
        require(Quorin::decodeSample(whole, italian) == expectedShown(whole, u','),
                "the whole text decodes wrongly in Italian");

        kept = Quorin::keepDecodable(kept);
        require(kept.size() <= MostKept, "the kept text is longer than three bytes");
        require(Quorin::decodeSample(kept, c) == shown, "the trimmed text decodes differently");
        // The shortest text is its own shortest text.
        require(Quorin::keepDecodable(kept).size() == kept.size(),
                "trimming the kept text again shortens it");
    }
    return 0;
}
