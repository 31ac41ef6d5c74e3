// The text log-line reader and writer on any text (see LogLineFuzz.h).
#include "fuzz/LogLineFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    using namespace Tarvo;
    return LogLineFuzz::FuzzLogLine(AData, ASize, "fuzz_logline_txt", LOG_FORMAT_TXT, ParseLogLineTxt,
                                    FormatLogLineTxt);
}
