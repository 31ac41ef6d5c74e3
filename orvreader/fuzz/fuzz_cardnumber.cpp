// The card-number formats and readers.ini take any bytes. A number read must be one the programs can
// use (count 1..15, zero beyond it), and a configuration read must write back to the same readers.

#include "orvreader/src/uOrvCardNumber.h"
#include "orvreader/src/uOrvReadersIni.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace Orv;

namespace {

void CheckKey(const TCardNumber& ANumber) {
    const std::size_t n = ANumber.aKey[0];
    if (n == 0 || n > 15)
        std::abort();
    for (std::size_t i = n + 1; i < ANumber.aKey.size(); ++i)
        if (ANumber.aKey[i] != 0)
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const std::string_view lText(reinterpret_cast<const char*>(AData), ASize);
    for (const TFormatReading& r : ReadInEveryFormat(lText)) {
        TCardNumber n;
        if (TextToCardNumber(lText, r.nFormat, n) != r.fOk)
            std::abort();
        if (r.fOk) {
            CheckKey(r.rNumber);
            if (n.aKey != r.rNumber.aKey)
                std::abort();
        }
    }
    TCardNumber lUid;
    if (UidToCardNumber(AData, ASize, lUid))
        CheckKey(lUid);

    const TReadersConf lConf = ParseReadersIni(lText);
    for (const TReaderConf& r : lConf.aReaders)
        if (!ValidAlias(r.sAlias, r.nKind) || r.sDevice.empty())
            std::abort();
    const std::string lFormatted = FormatReadersIni(lConf);
    if (lFormatted.size() > cMaxReadersIni)
        return 0; // the writer refuses such a file
    const TReadersConf lAgain = ParseReadersIni(lFormatted);
    if (lAgain.aReaders.size() != lConf.aReaders.size() || !lAgain.aProblems.empty())
        std::abort();
    for (std::size_t i = 0; i < lConf.aReaders.size(); ++i) {
        const TReaderConf &a = lConf.aReaders[i], &b = lAgain.aReaders[i];
        if (a.sAlias != b.sAlias || a.nKind != b.nKind || a.sDevice != b.sDevice || a.nFormat != b.nFormat ||
            a.nSpeed != b.nSpeed || a.nFraming != b.nFraming || a.nGapMs != b.nGapMs || a.aExtra != b.aExtra)
            std::abort();
    }
    return 0;
}
