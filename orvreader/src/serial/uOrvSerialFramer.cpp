#include "orvreader/src/serial/uOrvSerialFramer.h"

#include "orvreader/src/uOrvCardNumber.h"

namespace Orv {

namespace {

constexpr std::uint8_t cStx = 0x02, cEtx = 0x03, cCr = 0x0D, cLf = 0x0A;

// The text of a checked frame without its two checksum digits; false for a wrong or missing sum.
bool CheckXor(std::string& VText) {
    if (VText.size() < 4 || VText.size() % 2 != 0)
        return false;
    std::uint8_t lSum = 0;
    for (std::size_t i = 0; i < VText.size(); i += 2) {
        int hi = HexDigit(VText[i]), lo = HexDigit(VText[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        if (i + 2 < VText.size())
            lSum ^= std::uint8_t(hi << 4 | lo);
        else if (lSum != std::uint8_t(hi << 4 | lo))
            return false;
    }
    VText.resize(VText.size() - 2);
    return true;
}

} // namespace

void TSerialFramer::Drop() {
    if (m_fInFrame && (!m_sFrame.empty() || m_fBad || m_nFraming != TFraming::Lines))
        ++m_nRejected;
    m_sFrame.clear();
    m_fInFrame = false;
    m_fBad = false;
    m_fTail = false;
}

void TSerialFramer::EndFrame(std::vector<std::string>& VFrames) {
    std::string lText;
    lText.swap(m_sFrame);
    const bool lBad = m_fBad;
    m_fInFrame = false;
    m_fBad = false;
    m_fTail = false;
    if (m_nFraming == TFraming::Lines && lText.empty() && !lBad)
        return; // the LF of CR LF, or a blank line
    if (lBad || lText.empty() || (m_nFraming == TFraming::StxEtxXor && !CheckXor(lText))) {
        ++m_nRejected;
        return;
    }
    VFrames.push_back(std::move(lText));
}

void TSerialFramer::Feed(const std::uint8_t* AData, std::size_t ACount, std::uint64_t AMs,
                         std::vector<std::string>& VFrames) {
    Expire(AMs);
    for (std::size_t i = 0; i < ACount; ++i) {
        const std::uint8_t b = AData[i];
        if (m_nFraming == TFraming::Lines) {
            if (b == cCr || b == cLf) {
                if (m_fInFrame)
                    EndFrame(VFrames);
                continue;
            }
            m_fInFrame = true;
        } else {
            if (b == cStx) {
                Drop(); // a frame cut short by the next one
                m_fInFrame = true;
                continue;
            }
            if (b == cEtx) {
                if (m_fInFrame)
                    EndFrame(VFrames);
                else
                    ++m_nRejected;
                continue;
            }
            if (!m_fInFrame) {
                if (b != cCr && b != cLf && !m_fNoise) {
                    ++m_nRejected; // noise between frames, counted once a run
                    m_fNoise = true;
                }
                continue;
            }
        }
        m_fNoise = false;
        if (m_nFraming != TFraming::Lines && (b == cCr || b == cLf)) {
            m_fTail = true; // a line end before ETX: only more line ends may follow
            continue;
        }
        if (b < 0x20 || b > 0x7E || m_fTail)
            m_fBad = true;
        else if (m_sFrame.size() >= cMaxNumberText)
            m_fBad = true; // an endless line: dropped at its end, never kept growing
        else
            m_sFrame += char(b);
    }
    m_nLastMs = AMs;
}

void TSerialFramer::Expire(std::uint64_t AMs) {
    if (m_fInFrame && AMs > m_nLastMs && AMs - m_nLastMs > m_nGapMs)
        Drop();
}

int TSerialFramer::TimeoutMs(std::uint64_t AMs) const {
    if (!m_fInFrame)
        return -1;
    const std::uint64_t lDue = m_nLastMs + m_nGapMs + 1;
    return AMs >= lDue ? 0 : int(lDue - AMs);
}

} // namespace Orv
