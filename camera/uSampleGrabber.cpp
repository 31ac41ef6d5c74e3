// The frame receiver: one buffer holding the latest frame, filled on the streaming thread.

#include "camera/uWebCam.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

#include <cstring>

void TSampleGrabberCb::SampleCB(const std::uint8_t* AData, std::int32_t ALen, std::int32_t AWidth,
                                std::int32_t AHeight) {
    if (!AData || ALen <= 0)
        return;
    QMutexLocker lock(&m_CS);
    // Reallocated only when the frame size changes.
    if (ALen != m_nBufferSize || m_pBuffer.empty()) {
        m_pBuffer.resize(static_cast<size_t>(ALen));
        m_nBufferSize = ALen;
    }
    std::memcpy(m_pBuffer.data(), AData, static_cast<size_t>(ALen));
    m_nFrameWidth = AWidth;
    m_nFrameHeight = AHeight;
    m_fHasImage.store(true);
    m_nImageCounter.fetch_add(1);
    m_oFrameArrived.wakeAll();
}

void TSampleGrabberCb::SampleTopDownCB(const std::uint8_t* ATopRow, std::int32_t AStride, std::int32_t AWidth,
                                       std::int32_t AHeight) {
    if (!ATopRow || AWidth <= 0 || AHeight <= 0 || AStride < AWidth * 3)
        return;
    const std::int32_t nRow = RowBytes(AWidth);
    const std::int64_t nSize = static_cast<std::int64_t>(nRow) * AHeight;
    if (nSize > INT32_MAX)
        return;
    QMutexLocker lock(&m_CS);
    if (nSize != m_nBufferSize || m_pBuffer.empty()) {
        m_pBuffer.assign(static_cast<size_t>(nSize), 0);
        m_nBufferSize = static_cast<std::int32_t>(nSize);
    }
    // Bottom row first; the padding bytes stay zero.
    for (std::int32_t y = 0; y < AHeight; ++y) {
        const std::uint8_t* pSrc = ATopRow + static_cast<std::ptrdiff_t>(y) * AStride;
        std::uint8_t* pDst = m_pBuffer.data() + static_cast<std::ptrdiff_t>(AHeight - 1 - y) * nRow;
        std::memcpy(pDst, pSrc, static_cast<size_t>(AWidth) * 3);
    }
    m_nFrameWidth = AWidth;
    m_nFrameHeight = AHeight;
    m_fHasImage.store(true);
    m_nImageCounter.fetch_add(1);
    m_oFrameArrived.wakeAll();
}

void TSampleGrabberCb::FreeBuffer() {
    QMutexLocker lock(&m_CS);
    std::vector<std::uint8_t>().swap(m_pBuffer);
    m_nBufferSize = 0;
    m_nFrameWidth = 0;
    m_nFrameHeight = 0;
    m_fHasImage.store(false);
}

bool TSampleGrabberCb::WaitForCounterAbove(std::int32_t ACounter, int AMs) {
    QDeadlineTimer oDeadline(AMs);
    QMutexLocker lock(&m_CS);
    while (m_nImageCounter.load() <= ACounter) {
        if (!m_oFrameArrived.wait(&m_CS, oDeadline))
            return m_nImageCounter.load() > ACounter;
    }
    return true;
}

bool TSampleGrabberCb::GetBitmap(QImage& VImage, std::int32_t* VCounter) {
    QMutexLocker lock(&m_CS);
    if (VCounter)
        *VCounter = m_nImageCounter.load();
    if (m_pBuffer.empty())
        return false;
    const std::int32_t nW = m_nFrameWidth;
    const std::int32_t nH = m_nFrameHeight;
    const std::int32_t nRow = RowBytes(nW);
    // The frame's own size decides how its bytes are read, never a size set elsewhere.
    if (nW <= 0 || nH <= 0 || static_cast<std::int64_t>(nRow) * nH > m_nBufferSize)
        return false;
    QImage oImage(nW, nH, QImage::Format_RGB32);
    if (oImage.isNull())
        return false;
    for (std::int32_t y = 0; y < nH; ++y) {
        const std::uint8_t* pSrc = m_pBuffer.data() + static_cast<std::ptrdiff_t>(nH - 1 - y) * nRow;
        auto* pDst = reinterpret_cast<QRgb*>(oImage.scanLine(y));
        for (std::int32_t x = 0; x < nW; ++x, pSrc += 3)
            pDst[x] = qRgb(pSrc[2], pSrc[1], pSrc[0]);
    }
    VImage = std::move(oImage);
    return true;
}
