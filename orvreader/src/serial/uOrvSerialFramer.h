#pragma once
// Frames of a serial reader's byte stream, as its readers.ini framing says:
//
//   lines         text ended by CR or LF (CR LF counts once; empty lines are skipped)
//   stx-etx       STX (0x02), text, ETX (0x03); bytes outside a frame are noise
//   stx-etx-xor   the same with two hex digits before ETX: the XOR of the bytes the text's hex
//                 pairs give (the RDM6300 family of 125 kHz modules)
//
// A frame is handed on only when it is whole and plain printable ASCII of at most cMaxNumberText
// characters; anything else (binary noise, an endless line, a wrong checksum, a frame cut by a
// pause longer than the gap) is dropped and counted. What a frame's text means is the number
// format's business (uOrvCardNumber).

#include "orvreader/src/uOrvReadersIni.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Orv {

class TSerialFramer {
public:
    TSerialFramer(TFraming AFraming, std::uint32_t AGapMs) : m_nFraming(AFraming), m_nGapMs(AGapMs) {}

    // Bytes received at AMs (steady milliseconds); the texts of the frames they complete are appended
    // to VFrames.
    void Feed(const std::uint8_t* AData, std::size_t ACount, std::uint64_t AMs,
              std::vector<std::string>& VFrames);
    // Drops a partial frame whose last byte came more than the gap before AMs.
    void Expire(std::uint64_t AMs);
    // Milliseconds from AMs until a partial frame expires; -1 when none waits.
    int TimeoutMs(std::uint64_t AMs) const;
    // Frames dropped so far.
    std::uint64_t Rejected() const { return m_nRejected; }
    // Counts a frame the number format refused.
    void CountRejected() { ++m_nRejected; }

private:
    void Drop();
    void EndFrame(std::vector<std::string>& VFrames);

    TFraming m_nFraming;
    std::uint32_t m_nGapMs;
    std::string m_sFrame;
    bool m_fInFrame = false; // a frame has begun (after STX, or a byte of a line)
    bool m_fBad = false;     // the frame under way is dropped at its end
    bool m_fNoise = false;   // noise outside a frame was counted
    bool m_fTail = false;    // a CR or LF came inside an STX frame (readers that send text CR LF ETX)
    std::uint64_t m_nLastMs = 0;
    std::uint64_t m_nRejected = 0;
};

} // namespace Orv
