// The serial framer: whole frames handed on, every kind of garbage dropped and counted, a frame cut
// by a pause dropped.

#include "orvreader/src/serial/uOrvSerialFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Orv;

namespace {

struct TCase {
    const char* pName;
    TFraming nFraming;
    std::string sBytes;
    std::vector<std::string> aFrames;
    std::uint64_t nRejected;
};

std::vector<std::string> FeedAll(TSerialFramer& AFramer, const std::string& ABytes,
                                 std::uint64_t AMs = 1000) {
    std::vector<std::string> lFrames;
    AFramer.Feed(reinterpret_cast<const std::uint8_t*>(ABytes.data()), ABytes.size(), AMs, lFrames);
    return lFrames;
}

const std::string cStx = "\x02", cEtx = "\x03";

TEST(SerialFramer, FramesAndGarbage) {
    const std::string lLong(200, '7');
    const TCase cCases[] = {
        {"lines by CR LF, CR or LF",
         TFraming::Lines,
         "0012345678\r\n0000000042\r0000000043\n",
         {"0012345678", "0000000042", "0000000043"},
         0},
        {"blank lines skipped", TFraming::Lines, "\r\n\r\n\n12\r\n", {"12"}, 0},
        {"an unended line waits", TFraming::Lines, "0012345678", {}, 0},
        {"binary in a line drops it",
         TFraming::Lines,
         "00\x01\xFF"
         "12\r\n34\r\n",
         {"34"},
         1},
        {"only binary", TFraming::Lines, std::string("\x00\x80\xFE\x7F\r", 5), {}, 1},
        {"endless line dropped, next kept", TFraming::Lines, lLong + "\r\n99\r\n", {"99"}, 1},
        {"64 characters still a frame",
         TFraming::Lines,
         std::string(64, '1') + "\n",
         {std::string(64, '1')},
         0},
        {"65 characters are not", TFraming::Lines, std::string(65, '1') + "\n", {}, 1},
        {"stx-etx",
         TFraming::StxEtx,
         cStx + "0100BC614E" + cEtx + cStx + "12" + cEtx,
         {"0100BC614E", "12"},
         0},
        {"stx-etx with CR LF inside", TFraming::StxEtx, cStx + "0100BC614E\r\n" + cEtx, {"0100BC614E"}, 0},
        {"CR LF inside a frame is no end",
         TFraming::StxEtx,
         cStx + "12\r\n34" + cEtx + cStx + "56" + cEtx,
         {"56"},
         1},
        {"CR LF between frames is no noise",
         TFraming::StxEtx,
         cStx + "12" + cEtx + "\r\n" + cStx + "34" + cEtx,
         {"12", "34"},
         0},
        {"noise between frames counted once", TFraming::StxEtx, "garbage" + cStx + "12" + cEtx, {"12"}, 1},
        {"frame cut by the next STX", TFraming::StxEtx, cStx + "12" + cStx + "34" + cEtx, {"34"}, 1},
        {"ETX alone", TFraming::StxEtx, cEtx, {}, 1},
        {"empty frame", TFraming::StxEtx, cStx + cEtx, {}, 1},
        {"binary inside a frame",
         TFraming::StxEtx,
         cStx +
             "1\x05"
             "2" +
             cEtx,
         {},
         1},
        {"endless frame", TFraming::StxEtx, cStx + lLong + cEtx + cStx + "9" + cEtx, {"9"}, 1},
        // RDM6300: 01 00 BC 61 4E, XOR = 01^00^BC^61^4E = 92.
        {"xor right", TFraming::StxEtxXor, cStx + "0100BC614E92" + cEtx, {"0100BC614E"}, 0},
        {"xor lower case", TFraming::StxEtxXor, cStx + "0100bc614e92" + cEtx, {"0100bc614e"}, 0},
        {"xor wrong", TFraming::StxEtxXor, cStx + "0100BC614E93" + cEtx, {}, 1},
        {"xor not hex", TFraming::StxEtxXor, cStx + "0100BC614Z92" + cEtx, {}, 1},
        {"xor odd length", TFraming::StxEtxXor, cStx + "0100BC614E9" + cEtx, {}, 1},
        {"xor without data", TFraming::StxEtxXor, cStx + "00" + cEtx, {}, 1},
    };
    for (const TCase& c : cCases) {
        TSerialFramer f(c.nFraming, 100);
        EXPECT_EQ(FeedAll(f, c.sBytes), c.aFrames) << c.pName;
        EXPECT_EQ(f.Rejected(), c.nRejected) << c.pName;
    }
}

TEST(SerialFramer, FrameSplitOverReadsIsWhole) {
    const std::string lStream = "\x02"
                                "0100BC614E92\x03";
    TSerialFramer f(TFraming::StxEtxXor, 100);
    std::vector<std::string> lFrames;
    for (std::size_t i = 0; i < lStream.size(); ++i)
        f.Feed(reinterpret_cast<const std::uint8_t*>(&lStream[i]), 1, 1000 + i * 5, lFrames);
    EXPECT_EQ(lFrames, std::vector<std::string>{"0100BC614E"});
    EXPECT_EQ(f.Rejected(), 0u);
}

TEST(SerialFramer, PauseLongerThanTheGapDropsAPartialFrame) {
    for (TFraming lFraming : {TFraming::Lines, TFraming::StxEtx}) {
        const std::string lHead = lFraming == TFraming::Lines ? "00123"
                                                              : "\x02"
                                                                "00123";
        const std::string lTail = lFraming == TFraming::Lines ? "45678\r\n" : "45678\x03";
        TSerialFramer f(lFraming, 100);
        EXPECT_TRUE(FeedAll(f, lHead, 1000).empty());
        EXPECT_EQ(f.TimeoutMs(1000), 101);
        EXPECT_EQ(f.TimeoutMs(1060), 41);
        // Within the gap the frame goes on.
        EXPECT_EQ(FeedAll(f, lTail, 1100), std::vector<std::string>{"0012345678"});
        EXPECT_EQ(f.TimeoutMs(1100), -1);

        // Past the gap the head is dropped, by the next bytes or by the read loop's time-out.
        EXPECT_TRUE(FeedAll(f, lHead, 2000).empty());
        std::vector<std::string> lAfter = FeedAll(f, lTail, 2101);
        // Between STX frames the tail is noise, and its ETX a stray one.
        EXPECT_EQ(f.Rejected(), lFraming == TFraming::Lines ? 1u : 3u);
        if (lFraming == TFraming::Lines)
            EXPECT_EQ(lAfter, std::vector<std::string>{"45678"}) << "the tail is a line of its own";
        else
            EXPECT_TRUE(lAfter.empty());
        FeedAll(f, lHead, 3000);
        f.Expire(3100);
        EXPECT_EQ(f.TimeoutMs(3100), 1);
        f.Expire(3101);
        EXPECT_EQ(f.TimeoutMs(3101), -1);
        EXPECT_EQ(f.Rejected(), lFraming == TFraming::Lines ? 2u : 4u);
    }
}

} // namespace
