#pragma once

#include "protocol.h"

#include <QByteArray>
#include <QStringView>

#include <optional>
#include <random>

namespace Quorin {

enum class SignalShape { Constant, Ramp, Sine, Noise };

// "constant", "ramp", "sine" or "noise"; nothing for anything else.
[[nodiscard]] std::optional<SignalShape> signalShapeFromName(QStringView name);

// What the simulated sensor measures, and how.
struct SignalSettings
{
    static constexpr int BytesPerFrame = 2;
    static constexpr int DefaultCode = 128;
    // Two seconds per cycle when the stream goes at line pace.
    static constexpr int DefaultPeriod = 2 * LineBytesPerSecond / BytesPerFrame;

    SignalShape shape = SignalShape::Ramp;
    int code = DefaultCode;     // constant only, 0 to 255
    int period = DefaultPeriod; // sine only, in frames, above 0
    quint32 seed = 1;           // noise only
};

// Produces the sensor's byte stream in pieces of any size; the stream does not depend on them.
class SignalGenerator
{
public:
    explicit SignalGenerator(const SignalSettings &settings);

    // The next count bytes of the stream, a frame cut at the end continuing in the next call.
    [[nodiscard]] QByteArray next(qsizetype count);

private:
    void appendFrame(int code);
    void appendNoisePiece();
    [[nodiscard]] int sineCode() const;

    SignalSettings m_settings;
    std::mt19937 m_random;
    qint64 m_frame = 0;
    bool m_frameMustFollow = false;
    QByteArray m_pending; // generated but not yet handed out
    qsizetype m_pendingPos = 0;
};

} // namespace Quorin
