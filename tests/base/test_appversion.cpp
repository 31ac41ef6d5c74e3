// Packed file versions: the mark compiled into our executables and read back from the file.
#include "base/uFileVersion.h"
#include "base/uVersionMark.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

namespace {

QByteArray Filler(int ASize, char ASeed) {
    QByteArray bytes(ASize, '\0');
    for (int i = 0; i < ASize; ++i)
        bytes[i] = char(ASeed + i * 31);
    return bytes;
}

// Put together at run time: a literal mark in this test program would be found in its own file.
QByteArray Prefix() {
    return QByteArray("TarvoFile") + QByteArray("Version:");
}
QByteArray Mark(const char* AVersion) {
    return Prefix() + AVersion + QByteArray(1, '\0');
}

TEST(FileVersion, MarksReadFromFiles) {
    const int chunk = 1 << 20;
    const struct {
        const char* m_pName;
        QByteArray m_aBytes;
        std::uint32_t m_nPacked;
    } cases[] = {
        {"plain", Filler(5000, 1) + Mark("1.2.3.4") + Filler(100, 2), 0x04030201u},
        {"at start", Mark("10.0.0.255"), PackVersion(10, 0, 0, 255)},
        {"parts cut to 8 bits", Mark("257.2.3.65535"), PackVersion(1, 2, 3, 255)},
        {"across the read chunks", Filler(chunk - 20, 3) + Mark("2.7.1.9") + Filler(10, 4), 0x09010702u},
        {"first malformed, then good",
         Mark("1.2.3") + Mark("1.2.3.x") + Prefix() + "1.2.3.4x" + Mark("5.6.7.8"), PackVersion(5, 6, 7, 8)},
        {"too wide", Mark("65536.1.1.1") + Mark("123456.1.1.1"), 0u},
        {"cut off at the end", Filler(50, 5) + Prefix() + "1.2.3.4", 0u},
        {"without a mark", Filler(3 * chunk + 7, 6), 0u},
        {"empty", QByteArray(), 0u},
    };
    TTempDir dir;
    for (const auto& c : cases) {
        const QString path = dir.WriteFile(QString::fromLatin1(c.m_pName), c.m_aBytes);
        EXPECT_EQ(GetFileVersionPacked(path), c.m_nPacked) << c.m_pName;
    }
    EXPECT_EQ(GetFileVersionPacked(dir.FilePath(QStringLiteral("missing"))), 0u);
    EXPECT_EQ(GetFileVersionPacked(dir.Path()), 0u);
}

TEST(FileVersion, OurExecutableCarriesItsVersion) {
    TouchVersionMark();
    const std::uint32_t own = CompiledVersionPacked();
    EXPECT_NE(own, 0u);
    EXPECT_EQ(GetFileVersionPacked(RunningExecutablePath()), own);
    EXPECT_EQ(GetFileVersionPacked(QStringLiteral("/proc/self/exe")), own);
    // A program built elsewhere has no mark.
    EXPECT_EQ(GetFileVersionPacked(QStringLiteral("/bin/sh")), 0u);
}

TEST(FileVersion, Texts) {
    EXPECT_EQ(VersionText(0), QStringLiteral("0.0.0.0"));
    EXPECT_EQ(VersionText(PackVersion(1, 20, 3, 255)), QStringLiteral("1.20.3.255"));
    EXPECT_EQ(PackVersion(1, 2, 3, 4), 0x04030201u);
}

} // namespace
