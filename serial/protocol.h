#pragma once

#include <string_view>

// What the sensor sends: a sync byte, then the sample code, over and over.
namespace Quorin {

inline constexpr unsigned char SyncByte = 255;

// Codes 1 to 254 map linearly onto 0.0 to 100.0; 0 and 255 fall just outside.
inline constexpr int LowestCode = 1;
inline constexpr double CodeSpan = 253.0;
inline constexpr double FullScale = 100.0;

// The value shows with one decimal, at least one digit before it and no grouping ("###0.0").
inline constexpr int ValueDecimals = 1;

// The line the sensor talks on.
inline constexpr int LineBaudRate = 9600;
inline constexpr int BitsPerByteOnLine = 10; // start bit, 8 data bits, stop bit
inline constexpr int LineBytesPerSecond = LineBaudRate / BitsPerByteOnLine;

// The baud rate a settings string such as "9600,N,8,1" starts with.
[[nodiscard]] constexpr int baudRateOf(std::string_view settings)
{
    int rate = 0;
    for (std::size_t i = 0; i < settings.size() && settings[i] >= '0' && settings[i] <= '9'; ++i)
        rate = rate * 10 + (settings[i] - '0');
    return rate;
}

// The value of a code, or of the mean of several.
[[nodiscard]] constexpr double scaledValue(double code)
{
    return (code - LowestCode) * FullScale / CodeSpan;
}

} // namespace Quorin
