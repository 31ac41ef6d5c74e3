// Photos as JPEG files: baseline, 24-bit colour, encoded with libjpeg-turbo straight from the
// 32-bit image rows.

#include "camera/uWebCam.h"

#include "base/uMessages.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct TJpegError {
    jpeg_error_mgr m_oMgr;
    std::jmp_buf m_oJump;
};

[[noreturn]] void JpegErrorExit(j_common_ptr AInfo) {
    std::longjmp(reinterpret_cast<TJpegError*>(AInfo->err)->m_oJump, 1);
}

void JpegNoOutput(j_common_ptr) {}

// Only plain C objects live in this frame, so leaving it by longjmp skips no destructor. The
// output buffer is malloc'ed by libjpeg; the caller frees it.
bool CompressRows(const unsigned char* ABits, int AWidth, int AHeight, int ABytesPerLine, int AQuality,
                  unsigned char** VOut, unsigned long* VSize) {
    jpeg_compress_struct oInfo;
    TJpegError oErr;
    oInfo.err = jpeg_std_error(&oErr.m_oMgr);
    oErr.m_oMgr.error_exit = JpegErrorExit;
    oErr.m_oMgr.output_message = JpegNoOutput;
    if (setjmp(oErr.m_oJump)) {
        jpeg_destroy_compress(&oInfo);
        return false;
    }
    jpeg_create_compress(&oInfo);
    jpeg_mem_dest(&oInfo, VOut, VSize);
    oInfo.image_width = static_cast<JDIMENSION>(AWidth);
    oInfo.image_height = static_cast<JDIMENSION>(AHeight);
    oInfo.input_components = 4;
    // QImage::Format_RGB32 is 0xffRRGGBB per pixel: bytes B, G, R, x in memory on little-endian.
    oInfo.in_color_space = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_set_defaults(&oInfo);
    jpeg_set_quality(&oInfo, AQuality, TRUE);
    jpeg_start_compress(&oInfo, TRUE);
    while (oInfo.next_scanline < oInfo.image_height) {
        JSAMPROW pRow =
            const_cast<JSAMPROW>(ABits + static_cast<std::ptrdiff_t>(oInfo.next_scanline) * ABytesPerLine);
        jpeg_write_scanlines(&oInfo, &pRow, 1);
    }
    jpeg_finish_compress(&oInfo);
    jpeg_destroy_compress(&oInfo);
    return true;
}

} // namespace

QByteArray EncodeJpeg(const QImage& AImage, int AQuality) {
    if (AImage.isNull() || AImage.width() <= 0 || AImage.height() <= 0)
        return {};
    const QImage oImage = AImage.format() == QImage::Format_RGB32 || AImage.format() == QImage::Format_ARGB32
                              ? AImage
                              : AImage.convertToFormat(QImage::Format_RGB32);
    if (oImage.isNull())
        return {};
    unsigned char* pOut = nullptr;
    unsigned long nSize = 0;
    const bool fOk =
        CompressRows(oImage.constBits(), oImage.width(), oImage.height(),
                     static_cast<int>(oImage.bytesPerLine()), qBound(0, AQuality, 100), &pOut, &nSize);
    QByteArray aResult;
    if (fOk && pOut && nSize > 0 && nSize <= static_cast<unsigned long>(INT32_MAX))
        aResult = QByteArray(reinterpret_cast<const char*>(pOut), static_cast<qsizetype>(nSize));
    std::free(pOut);
    return aResult;
}

bool SaveJpeg(const QImage& AImage, const QString& AFileName, QString* VError) {
    const auto fail = [&](const QString& AReason) {
        if (VError)
            *VError = FormatResString(MSG_CAM_NOT_SAVED, {QDir::toNativeSeparators(AFileName), AReason});
        return false;
    };
    const QByteArray aJpeg = EncodeJpeg(AImage, 90);
    if (aJpeg.isEmpty())
        return fail(LoadResString(MSG_CAM_NOT_ENCODED));
    QSaveFile oFile(AFileName);
    if (!oFile.open(QIODevice::WriteOnly))
        return fail(oFile.errorString());
    if (oFile.write(aJpeg) != aJpeg.size()) {
        const QString sReason = oFile.errorString();
        oFile.cancelWriting();
        return fail(sReason);
    }
    if (!oFile.commit())
        return fail(oFile.errorString());
    return true;
}
