#pragma once
// Workbooks for the reader fuzz targets: the input's bytes become the worksheet part of a well-formed
// archive (so that the fuzzer explores the XML rather than zip headers), or, for one input in sixteen,
// the whole file. Reading may only end in ESheetError, and what it gives is a table within the caps.

#include "sheet/uSheet.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <zip.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <list>
#include <map>

namespace SheetFuzz {

[[noreturn]] inline void Fail(const char* AWhat) {
    std::fprintf(stderr, "sheet fuzz: %s\n", AWhat);
    std::abort();
}

inline void WriteZip(const QString& APath, const std::map<QString, QByteArray>& AParts) {
    int lError = 0;
    zip_t* lZip = zip_open(QFile::encodeName(APath).constData(), ZIP_CREATE | ZIP_TRUNCATE, &lError);
    if (lZip == nullptr)
        Fail("cannot create the archive");
    std::list<QByteArray> lKeep;
    for (const auto& [lName, lBytes] : AParts) {
        lKeep.push_back(lBytes);
        zip_source_t* lSource = zip_source_buffer(lZip, lKeep.back().constData(), zip_uint64_t(lKeep.back().size()), 0);
        if (lSource == nullptr || zip_file_add(lZip, lName.toUtf8().constData(), lSource, 0) < 0)
            Fail("cannot add a part");
    }
    if (zip_close(lZip) != 0)
        Fail("cannot write the archive");
}

inline void CheckRead(const QString& APath) {
    try {
        const TSheetRows lRows = ReadSheetFile(APath);
        if (lRows.size() > size_t(SheetMaxRows))
            Fail("more rows than the cap");
        size_t lWidth = lRows.empty() ? 0 : size_t(lRows.front().size());
        for (const QStringList& lRow : lRows)
            if (size_t(lRow.size()) != lWidth || lWidth > size_t(SheetMaxColumns))
                Fail("rows of different widths or beyond the cap");
    } catch (const ESheetError&) {
    }
}

// The input as the whole file, or as the parts AMakeParts builds from it.
template <class TMakeParts>
int Run(const std::uint8_t* AData, size_t ASize, const char* AExt, TMakeParts AMakeParts) {
    static QTemporaryDir* sDir = new QTemporaryDir();
    const QString lPath = sDir->filePath(QStringLiteral("fuzz.") + QString::fromLatin1(AExt));
    const QByteArray lBytes(reinterpret_cast<const char*>(AData), qsizetype(ASize));
    if (ASize > 0 && (AData[0] & 0x0F) == 0x0F) {
        QFile lFile(lPath);
        if (!lFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fail("cannot write the file");
        lFile.write(lBytes.mid(1));
    } else {
        WriteZip(lPath, AMakeParts(lBytes));
    }
    CheckRead(lPath);
    return 0;
}

} // namespace SheetFuzz
