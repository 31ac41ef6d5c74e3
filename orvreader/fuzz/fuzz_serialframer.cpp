// The serial framer and the key decoder take any stream. The first byte picks the framing; the rest
// is fed in pieces whose sizes and pauses come from the input too. Every frame handed on is plain
// printable text of at most cMaxNumberText characters; every number decoded from keys likewise.

#include "orvreader/src/kbd/uOrvKeyDecoder.h"
#include "orvreader/src/serial/uOrvSerialFramer.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace Orv;

namespace {

void CheckText(const std::string& AText) {
    if (AText.empty() || AText.size() > cMaxNumberText)
        std::abort();
    for (char c : AText)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize < 2)
        return 0;
    const TFraming lFraming = TFraming(AData[0] % 3);
    TSerialFramer f(lFraming, 100);
    std::uint64_t lMs = 1000;
    std::vector<std::string> lFrames;
    std::uint64_t lBefore = 0;
    for (std::size_t i = 1; i < ASize;) {
        // A piece: its length from one byte, then a pause from its low bits.
        const std::size_t lLen = std::min<std::size_t>(1 + AData[i] % 32, ASize - i);
        lMs += (AData[i] & 0x3) == 0x3 ? 150 : AData[i] & 0x3;
        f.Feed(AData + i, lLen, lMs, lFrames);
        if (f.TimeoutMs(lMs) > 101)
            std::abort();
        if (f.Rejected() < lBefore)
            std::abort();
        lBefore = f.Rejected();
        i += lLen;
    }
    f.Expire(lMs + 1000);
    if (f.TimeoutMs(lMs + 1000) != -1)
        std::abort();
    for (const std::string& s : lFrames)
        CheckText(s);

    // The same bytes as input events.
    TKeyDecoder d(50);
    for (std::size_t i = 1; i + sizeof(input_event) <= ASize; i += sizeof(input_event)) {
        input_event e;
        std::memcpy(&e, AData + i, sizeof e);
        std::string lText;
        if (d.Feed(e, lText))
            CheckText(lText);
    }
    return 0;
}
