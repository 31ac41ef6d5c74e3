// The percent-decoder on any bytes: the result is never longer than the input, text without "%" and
// "+" comes back unchanged, and every byte written as "%XX" decodes back to itself.

#include "vi/uViParse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* AWhat) {
    std::fprintf(stderr, "fuzz_vi_percent: %s\n", AWhat);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray lInput(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
    const QByteArray lDecoded = Vi::PercentDecode(lInput);
    if (lDecoded.size() > lInput.size())
        Fail("longer than the input");
    if (!lInput.contains('%') && !lInput.contains('+') && lDecoded != lInput)
        Fail("plain text changed");
    QByteArray lEncoded;
    for (const char c : lInput)
        lEncoded += '%' + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
    if (Vi::PercentDecode(lEncoded) != lInput)
        Fail("escaped bytes do not come back");
    return 0;
}
