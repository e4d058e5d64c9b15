#pragma once

#include <QByteArrayView>

#include <vector>

namespace Quorin {

// Every sample of the stream in arrival order: each code that follows a sync byte, also when
// the two come in different reads. A byte that follows no sync byte, such as the code of a frame
// whose sync byte came before the port was opened, is no sample; a sync byte followed by another
// has none either.
class FrameDecoder
{
public:
    // Appends to `codes` the code of each frame that `received` completes.
    void decode(QByteArrayView received, std::vector<int> &codes);

    // A new stream, such as after the port was closed and opened again: a sync byte at the end of
    // the old one completes no frame with the first byte of the new one.
    void reset() { m_afterSync = false; }

private:
    bool m_afterSync = false;
};

} // namespace Quorin
