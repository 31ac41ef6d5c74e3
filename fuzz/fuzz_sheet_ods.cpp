// The .ods reader from any bytes: the content part of an archive that is otherwise well formed, or any
// file. See SheetFuzz.h.
#include "fuzz/SheetFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    return SheetFuzz::Run(AData, ASize, "ods", [](const QByteArray& ABytes) {
        return std::map<QString, QByteArray>{
            {QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
            {QStringLiteral("content.xml"), ABytes}};
    });
}
