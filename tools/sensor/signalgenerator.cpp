#include "signalgenerator.h"

#include <algorithm>
#include <cmath>

namespace Quorin {

namespace {

constexpr int HighestCode = LowestCode + static_cast<int>(CodeSpan);
constexpr int CodeCount = HighestCode - LowestCode + 1;

// Noise: out of every thousand pieces, how many of each kind. Long garbage runs are rare as
// pieces but still make up about a third of the bytes.
constexpr int FramePieces = 750;
constexpr int TruncatedPieces = 80;
constexpr int StrayPieces = 60;
constexpr int LongGarbagePieces = 1;
constexpr int AllPieces = 1000;
constexpr int ShortGarbageMax = 16;
constexpr int LongGarbageMin = 300;
constexpr int LongGarbageMax = 3000;

} // namespace

std::optional<SignalShape> signalShapeFromName(QStringView name)
{
    if (name == u"constant")
        return SignalShape::Constant;
    if (name == u"ramp")
        return SignalShape::Ramp;
    if (name == u"sine")
        return SignalShape::Sine;
    if (name == u"noise")
        return SignalShape::Noise;
    return std::nullopt;
}

SignalGenerator::SignalGenerator(const SignalSettings &settings)
    : m_settings(settings)
    , m_random(settings.seed)
{
    m_settings.period = std::max(m_settings.period, 1);
}

QByteArray SignalGenerator::next(qsizetype count)
{
    QByteArray out;
    out.reserve(std::max<qsizetype>(count, 0));
    while (out.size() < count) {
        if (m_pendingPos == m_pending.size()) {
            m_pending.clear();
            m_pendingPos = 0;
            switch (m_settings.shape) {
            case SignalShape::Constant:
                appendFrame(m_settings.code);
                break;
            case SignalShape::Ramp:
                appendFrame(LowestCode + static_cast<int>(m_frame % CodeCount));
                break;
            case SignalShape::Sine:
                appendFrame(sineCode());
                break;
            case SignalShape::Noise:
                appendNoisePiece();
                break;
            }
        }
        const qsizetype take = std::min(count - out.size(), m_pending.size() - m_pendingPos);
        out.append(m_pending.constData() + m_pendingPos, take);
        m_pendingPos += take;
    }
    return out;
}

void SignalGenerator::appendFrame(int code)
{
    m_pending.append(static_cast<char>(SyncByte));
    m_pending.append(static_cast<char>(code));
    ++m_frame;
}

int SignalGenerator::sineCode() const
{
    constexpr double Pi = 3.14159265358979323846;
    // The remainder keeps the angle exact however long the program runs.
    const double phase = static_cast<double>(m_frame % m_settings.period) / m_settings.period;
    const double level = 0.5 + 0.5 * std::sin(2 * Pi * phase);
    return static_cast<int>(std::lround(LowestCode + CodeSpan * level));
}

void SignalGenerator::appendNoisePiece()
{
    using Uniform = std::uniform_int_distribution<int>;
    const int kind = m_frameMustFollow ? 0 : Uniform(0, AllPieces - 1)(m_random);
    m_frameMustFollow = false;

    if (kind < FramePieces) {
        // Plain codes make up most frames, but the edges of the code range are what break
        // readers, so they come far more often than chance would have them.
        const int roll = Uniform(0, 19)(m_random);
        const int code = roll == 0 ? SyncByte : roll == 1 ? 0 : Uniform(0, SyncByte)(m_random);
        appendFrame(code);
    } else if (kind < FramePieces + TruncatedPieces) {
        m_pending.append(static_cast<char>(SyncByte));
        m_frameMustFollow = true;
    } else if (kind < FramePieces + TruncatedPieces + StrayPieces) {
        m_pending.append(static_cast<char>(SyncByte));
    } else {
        const bool isLong = kind >= AllPieces - LongGarbagePieces;
        const int length = isLong ? Uniform(LongGarbageMin, LongGarbageMax)(m_random)
                                  : Uniform(1, ShortGarbageMax)(m_random);
        Uniform garbage(0, SyncByte - 1);
        for (int i = 0; i < length; ++i)
            m_pending.append(static_cast<char>(garbage(m_random)));
    }
}

} // namespace Quorin
