// Every reader of the bus folder's files: records, messages, outputs, keys and names must take any
// bytes. What parses must write back to the same record.

#include "orvreader/src/uOrvBusFormat.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace Orv;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const std::string_view lText(reinterpret_cast<const char*>(AData), ASize);

    TBusPort lPort;
    if (ParsePort(lText, lPort)) {
        TBusPort lAgain;
        if (!ParsePort(FormatPort(lPort), lAgain) || !(lAgain == lPort))
            std::abort();
    }
    TBusMessage lMsg;
    if (ParseMessage(lText, lMsg)) {
        TBusMessage lAgain;
        if (!ParseMessage(FormatMessage(lMsg), lAgain) || !(lAgain == lMsg))
            std::abort();
    }
    TBusOutputs lOut;
    if (ParseOutputs(lText, lOut)) {
        TBusOutputs lAgain;
        if (!ParseOutputs(FormatOutputs(lOut), lAgain) || !(lAgain == lOut))
            std::abort();
    }
    TKey lKey{};
    if (ParseKeyHex(lText, lKey)) {
        TKey lAgain{};
        if (!ParseKeyHex(KeyToHex(lKey), lAgain) || lAgain != lKey || lKey[0] > 15)
            std::abort();
    }
    std::u16string lName;
    if (Utf8ToUtf16(lText, lName)) {
        if (Utf16ToUtf8(lName) != lText)
            std::abort();
        CheckPortName(lName);
        IsComName(lName);
        PortFolderName(CanonicalPortName(lName));
    }
    return 0;
}
