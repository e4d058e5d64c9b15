#include "framedecoder.h"

#include "protocol.h"

namespace Quorin {

void FrameDecoder::decode(QByteArrayView received, std::vector<int> &codes)
{
    for (const char byte : received) {
        const auto code = static_cast<unsigned char>(byte);
        if (code == SyncByte) {
            m_afterSync = true;
        } else if (m_afterSync) {
            codes.push_back(code);
            m_afterSync = false;
        }
    }
}

} // namespace Quorin
