// Frame rates of the capture modes, the frame receiver's layout and conversion, and JPEG files.

#include "camera/uWebCam.h"
#include "tests/common/TestSupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <gtest/gtest.h>

#include <vector>

TEST(WebCamFps, FromTimePerFrame) {
    struct TCase {
        std::int64_t m_nTime;
        std::int32_t m_nFps;
    };
    const TCase aCases[] = {
        {333333, 30},
        {0, 0},
        {666666, 15},
        {400000, 25},
        {333667, 30},
        {10000000, 1},
        {20000000, 1},
        {30000000, 0}, // 1/3 fps rounds down to 0
        // Only the low 32 bits count: the high word is garbage from some drivers.
        {(std::int64_t(5) << 32) | 333333, 30},
        {std::int64_t(1) << 32, 0},
    };
    for (const auto& c : aCases)
        EXPECT_EQ(FpsFromTimePerFrame(c.m_nTime), c.m_nFps) << c.m_nTime;
}

TEST(WebCamFps, TimePerFrameFromRate) {
    struct TCase {
        int m_nNum, m_nDen;
        std::int64_t m_nTime;
    };
    const TCase aCases[] = {{30, 1, 333333}, {30000, 1001, 333667}, {15, 1, 666667}, {0, 1, 0}, {5, 0, 0},
                            {-30, 1, 0}};
    for (const auto& c : aCases) {
        EXPECT_EQ(TimePerFrameFromRate(c.m_nNum, c.m_nDen), c.m_nTime) << c.m_nNum << "/" << c.m_nDen;
    }
    EXPECT_EQ(FpsFromTimePerFrame(TimePerFrameFromRate(30000, 1001)), 30);
}

TEST(WebCamModeList, GetItemChecksTheIndex) {
    TWebCamModeList oList;
    EXPECT_THROW(oList.GetItem(0), EAssertionFailed);
    TWebCamMode oMode;
    oMode.m_nWidth = 640;
    oList.Add(oMode);
    EXPECT_EQ(oList.GetItem(0).m_nWidth, 640);
    EXPECT_THROW(oList.GetItem(1), EAssertionFailed);
    EXPECT_THROW(oList.GetItem(-1), EAssertionFailed);
}

namespace {

// A top-down BGR frame of AWidth x AHeight whose pixel (x, y) is (b = x * 10, g = y * 10, r = 200),
// with AStride bytes per row.
std::vector<std::uint8_t> TopDownFrame(int AWidth, int AHeight, int AStride) {
    std::vector<std::uint8_t> a(static_cast<size_t>(AStride * AHeight), 0xEE);
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x) {
            std::uint8_t* p = a.data() + y * AStride + x * 3;
            p[0] = static_cast<std::uint8_t>(x * 10);
            p[1] = static_cast<std::uint8_t>(y * 10);
            p[2] = 200;
        }
    return a;
}

} // namespace

TEST(WebCamReceiver, NoBitmapBeforeTheFirstFrame) {
    TSampleGrabberCb oGrabber;
    QImage oImage(3, 3, QImage::Format_RGB32);
    oImage.fill(Qt::green);
    std::int32_t nCounter = -1;
    EXPECT_FALSE(oGrabber.HasImage());
    EXPECT_FALSE(oGrabber.GetBitmap(oImage, &nCounter));
    EXPECT_EQ(nCounter, 0);
    // Untouched.
    EXPECT_EQ(oImage.size(), QSize(3, 3));
    EXPECT_EQ(oImage.pixel(1, 1), QColor(Qt::green).rgb());
}

TEST(WebCamReceiver, TopDownFramesBecomeImagesTheRightWayUp) {
    // Widths whose rows need 0..3 padding bytes, and source strides with extra bytes.
    struct TCase {
        int m_nWidth, m_nHeight, m_nStride;
    };
    const TCase aCases[] = {{1, 2, 4}, {2, 3, 8}, {3, 2, 12}, {4, 4, 12}, {5, 3, 20}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(testing::Message() << c.m_nWidth << "x" << c.m_nHeight);
        TSampleGrabberCb oGrabber;
        const auto aFrame = TopDownFrame(c.m_nWidth, c.m_nHeight, c.m_nStride);
        oGrabber.SampleTopDownCB(aFrame.data(), c.m_nStride, c.m_nWidth, c.m_nHeight);
        QImage oImage;
        std::int32_t nCounter = 0;
        ASSERT_TRUE(oGrabber.GetBitmap(oImage, &nCounter));
        EXPECT_EQ(nCounter, 1);
        EXPECT_EQ(oImage.format(), QImage::Format_RGB32);
        ASSERT_EQ(oImage.size(), QSize(c.m_nWidth, c.m_nHeight));
        for (int y = 0; y < c.m_nHeight; ++y)
            for (int x = 0; x < c.m_nWidth; ++x)
                ASSERT_EQ(oImage.pixel(x, y), qRgb(200, y * 10, x * 10)) << x << "," << y;
    }
}

TEST(WebCamReceiver, ReceiverLayoutIsBottomUpPaddedRows) {
    // A 2x2 frame in the receiver's own layout: bottom row first, 6 bytes of pixels + 2 padding.
    const std::uint8_t aFrame[16] = {
        1, 2, 3, 4,  5,  6,  0, 0, // bottom row: (b1 g2 r3) (b4 g5 r6)
        7, 8, 9, 10, 11, 12, 0, 0, // top row
    };
    TSampleGrabberCb oGrabber;
    oGrabber.SampleCB(aFrame, 16, 2, 2);
    QImage oImage;
    ASSERT_TRUE(oGrabber.GetBitmap(oImage, nullptr));
    EXPECT_EQ(oImage.pixel(0, 0), qRgb(9, 8, 7));
    EXPECT_EQ(oImage.pixel(1, 0), qRgb(12, 11, 10));
    EXPECT_EQ(oImage.pixel(0, 1), qRgb(3, 2, 1));
    EXPECT_EQ(oImage.pixel(1, 1), qRgb(6, 5, 4));
}

TEST(WebCamReceiver, AFrameShorterThanItsSizeIsNeverReadPastItsEnd) {
    // A 4x4 frame needs 48 bytes; 20 arrived. The conversion refuses instead of reading on.
    std::vector<std::uint8_t> aShort(20, 7);
    TSampleGrabberCb oGrabber;
    oGrabber.SampleCB(aShort.data(), static_cast<std::int32_t>(aShort.size()), 4, 4);
    QImage oImage(1, 1, QImage::Format_RGB32);
    oImage.fill(Qt::blue);
    EXPECT_FALSE(oGrabber.GetBitmap(oImage, nullptr));
    EXPECT_EQ(oImage.size(), QSize(1, 1));
}

TEST(WebCamReceiver, CountsFramesAndFreesTheBuffer) {
    TSampleGrabberCb oGrabber;
    const auto aFrame = TopDownFrame(2, 2, 6);
    for (int i = 0; i < 3; ++i)
        oGrabber.SampleTopDownCB(aFrame.data(), 6, 2, 2);
    EXPECT_EQ(oGrabber.ImageCounter(), 3);
    EXPECT_TRUE(oGrabber.HasImage());
    oGrabber.FreeBuffer();
    EXPECT_FALSE(oGrabber.HasImage());
    QImage oImage;
    std::int32_t nCounter = 0;
    EXPECT_FALSE(oGrabber.GetBitmap(oImage, &nCounter));
    // The count goes on: only closing the camera discards the receiver.
    EXPECT_EQ(nCounter, 3);
    EXPECT_TRUE(oImage.isNull());
    // A frame of another size after the free.
    const auto aBig = TopDownFrame(5, 1, 15);
    oGrabber.SampleTopDownCB(aBig.data(), 15, 5, 1);
    ASSERT_TRUE(oGrabber.GetBitmap(oImage, &nCounter));
    EXPECT_EQ(oImage.size(), QSize(5, 1));
    EXPECT_EQ(nCounter, 4);
}

TEST(WebCamReceiver, WaitForCounterAboveSeesAFrameOrTimesOut) {
    TSampleGrabberCb oGrabber;
    // Nothing arrives: the wait ends at once with a zero timeout.
    EXPECT_FALSE(oGrabber.WaitForCounterAbove(0, 0));
    const auto aFrame = TopDownFrame(1, 1, 3);
    oGrabber.SampleTopDownCB(aFrame.data(), 3, 1, 1);
    EXPECT_TRUE(oGrabber.WaitForCounterAbove(0, 0));
    EXPECT_FALSE(oGrabber.WaitForCounterAbove(1, 0));
}

namespace {

QImage TestImage(int AWidth, int AHeight) {
    QImage oImage(AWidth, AHeight, QImage::Format_RGB32);
    // Top half red, bottom half blue: large flat areas survive JPEG nearly unchanged.
    for (int y = 0; y < AHeight; ++y)
        for (int x = 0; x < AWidth; ++x)
            oImage.setPixel(x, y, y < AHeight / 2 ? qRgb(220, 20, 20) : qRgb(20, 20, 220));
    return oImage;
}

bool Near(QRgb A, QRgb B) {
    return std::abs(qRed(A) - qRed(B)) < 16 && std::abs(qGreen(A) - qGreen(B)) < 16 &&
           std::abs(qBlue(A) - qBlue(B)) < 16;
}

} // namespace

TEST(WebCamJpeg, EncodesABaselineJpegThatDecodesToTheImage) {
    for (const QImage::Format eFormat :
         {QImage::Format_RGB32, QImage::Format_RGB888, QImage::Format_ARGB32}) {
        SCOPED_TRACE(static_cast<int>(eFormat));
        const QImage oSource = TestImage(64, 48).convertToFormat(eFormat);
        const QByteArray aJpeg = EncodeJpeg(oSource, 90);
        ASSERT_GT(aJpeg.size(), 4);
        EXPECT_TRUE(aJpeg.startsWith("\xFF\xD8"));
        // SOF0: a baseline frame, 8-bit samples, 3 components (24-bit colour).
        const qsizetype nSof = aJpeg.indexOf(QByteArray("\xFF\xC0", 2));
        ASSERT_GE(nSof, 0);
        EXPECT_EQ(static_cast<quint8>(aJpeg.at(nSof + 4)), 8);
        EXPECT_EQ(static_cast<quint8>(aJpeg.at(nSof + 9)), 3);
        QBuffer oBuffer;
        oBuffer.setData(aJpeg);
        QImageReader oReader(&oBuffer, "jpeg");
        const QImage oBack = oReader.read();
        ASSERT_FALSE(oBack.isNull()) << oReader.errorString().toStdString();
        EXPECT_EQ(oBack.size(), QSize(64, 48));
        EXPECT_TRUE(Near(oBack.pixel(10, 5), qRgb(220, 20, 20)));
        EXPECT_TRUE(Near(oBack.pixel(50, 40), qRgb(20, 20, 220)));
    }
    EXPECT_TRUE(EncodeJpeg(QImage(), 90).isEmpty());
}

TEST(WebCamJpeg, SaveWritesTheFileOrNamesWhyNot) {
    TTempDir oDir;
    const QImage oImage = TestImage(32, 16);
    QString sError;
    const QString sFile = oDir.FilePath(QStringLiteral("shot.jpg"));
    ASSERT_TRUE(SaveJpeg(oImage, sFile, &sError)) << sError.toStdString();
    QImageReader oReader(sFile);
    EXPECT_EQ(oReader.format(), QByteArray("jpeg"));
    EXPECT_EQ(oReader.size(), QSize(32, 16));

    // A folder that is a file, and a missing folder: false, the file named, nothing left behind.
    const QString sNotDir = oDir.WriteFile(QStringLiteral("Photo"), "x");
    for (const QString& sBad :
         {sNotDir + QStringLiteral("/a.jpg"), oDir.FilePath(QStringLiteral("none/b.jpg"))}) {
        sError.clear();
        EXPECT_FALSE(SaveJpeg(oImage, sBad, &sError));
        EXPECT_TRUE(sError.contains(sBad)) << sError.toStdString();
        EXPECT_FALSE(QFile::exists(sBad));
    }
    // An empty image is not saved as an empty file.
    const QString sEmpty = oDir.FilePath(QStringLiteral("empty.jpg"));
    EXPECT_FALSE(SaveJpeg(QImage(), sEmpty, &sError));
    EXPECT_FALSE(QFile::exists(sEmpty));
}
