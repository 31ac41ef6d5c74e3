// The device-tree reader on any body: it either lists at most the allowed number of cameras or fails
// with its own error; it never crashes, whatever the depth or shape of the JSON.

#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "vi/uViParse.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    static const bool s_fCodePage = [] {
        SetCodePageOverride(QStringLiteral("CP1252"));
        return true;
    }();
    (void)s_fCodePage;
    TVICameraList lList;
    try {
        Vi::ParseDeviceTree(QByteArray(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize)),
                            lList);
    } catch (const Exception&) {
        if (lList.Count() != 0) {
            std::fprintf(stderr, "fuzz_vi_devtree: cameras kept after an error\n");
            std::abort();
        }
        return 0;
    }
    if (lList.Count() > Vi::MaxCameras) {
        std::fprintf(stderr, "fuzz_vi_devtree: %d cameras\n", lList.Count());
        std::abort();
    }
    for (int i = 0; i < lList.Count(); ++i)
        if (lList.GetItem(i)->m_nLink.contains(QLatin1String("device={")))
            std::abort(); // the identifier is taken from between the braces
    return 0;
}
