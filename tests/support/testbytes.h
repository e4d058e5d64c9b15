#pragma once

#include <QByteArray>

#include <initializer_list>

// Bytes from their codes, then `fill` times `filler`: bytes({255, 128}, 8) is a frame, eight 7s.
inline QByteArray bytes(std::initializer_list<int> codes, int fill = 0, char filler = '\x07')
{
    QByteArray text;
    for (const int code : codes)
        text += static_cast<char>(code);
    return text + QByteArray(fill, filler);
}
