// The video-server client's answer-head parser on any bytes: it never fails, the length it reports is
// never negative and only non-zero when a length was read, and a status it reports came from the text
// (or is the default 200).

#include "vi/uViParse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray lHead(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
    const Vi::TAnswerHead lParsed = Vi::ParseAnswerHead(lHead);
    if (lParsed.m_nContentLength < 0 || (!lParsed.m_fHasContentLength && lParsed.m_nContentLength != 0)) {
        std::fprintf(stderr, "fuzz_vi_head: length %lld\n", static_cast<long long>(lParsed.m_nContentLength));
        std::abort();
    }
    if (lParsed.m_nStatus != 200 && !lHead.contains(QByteArray::number(qAbs(lParsed.m_nStatus)))) {
        std::fprintf(stderr, "fuzz_vi_head: status %d not in the text\n", lParsed.m_nStatus);
        std::abort();
    }
    if (lParsed.m_fHasSetCookie && !lHead.contains(lParsed.m_sSetCookie)) {
        std::fprintf(stderr, "fuzz_vi_head: Set-Cookie value not from the text\n");
        std::abort();
    }
    return 0;
}
