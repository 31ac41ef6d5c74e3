// The result check, error texts, version check and key numbers of the reader layer.

#include "reader/OrvPClasses.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

TEST(OrvPClasses, CheckOrvResultRaisesOnlyFailures) {
    for (std::int32_t c : {0, 1, ORV_S_NO_MORE, ORV_S_CANCELLED})
        EXPECT_NO_THROW(CheckOrvResult(c)) << c;
    try {
        CheckOrvResult(ORV_E_PORT_NOT_FOUND);
        FAIL() << "no error raised";
    } catch (const EOrvPError& e) { // callers may catch the base class
        EXPECT_NE(dynamic_cast<const EOrvRError*>(&e), nullptr);
        EXPECT_EQ(e.m_nErrCode, std::int32_t(0x80040203));
        EXPECT_EQ(e.Message(), GetOrvErrorText(ORV_E_PORT_NOT_FOUND));
    }
    try {
        CheckOrvResult(std::int32_t(0x80049999));
        FAIL() << "no error raised";
    } catch (const EOrvRError& e) {
        EXPECT_TRUE(e.Message().isEmpty()) << "a code without a text gives an empty message";
    }
}

TEST(OrvPClasses, ErrorTextsComeFromTheLibraryOrTheSystem) {
    EXPECT_EQ(GetOrvErrorText(ORV_E_PORT_NOT_FOUND), QStringLiteral("The port does not exist.\r\n"));
    EXPECT_EQ(GetOrvErrorText(ORV_E_PORT_BUSY), QStringLiteral("The port is in use by another program.\r\n"));
    EXPECT_EQ(GetOrvErrorText(ORV_FROM_ERRNO(ENOENT)),
              QString::fromLocal8Bit(std::strerror(ENOENT)) + "\r\n");
    EXPECT_EQ(GetOrvErrorText(EACCES), QString::fromLocal8Bit(std::strerror(EACCES)) + "\r\n");
    EXPECT_TRUE(GetOrvErrorText(std::int32_t(0x80049999)).isEmpty());
    EXPECT_TRUE(GetOrvErrorText(std::int32_t(0x80004005)).isEmpty()) << "other facilities have no table here";
}

TEST(OrvPClasses, VersionAndKeyNumbers) {
    EXPECT_TRUE(CheckOrvVersion());
    // Counts 3 and 4 with the first three bytes equal: the longer key is the larger.
    const TOrv_KEYNUM a = MakeKeyNum({0x11, 0x22, 0x33});
    const TOrv_KEYNUM b = MakeKeyNum({0x11, 0x22, 0x33, 0x00});
    EXPECT_EQ(CompareKeyNums(a, b), -1);
    EXPECT_EQ(CompareKeyNums(b, a), 1);
    TOrvR_CARD_INFO lInfo{};
    SetCardKeyNum(lInfo, b);
    EXPECT_EQ(lInfo.nNum[0], 4);
    EXPECT_EQ(lInfo.nNum[3], 0x33);
    EXPECT_EQ(CardKeyNum(lInfo), b);
}
