// Arbitrary bytes through the XML store: parse as text, write back, look names up, and now and then
// load them as a file with the byte-order mark or the code page deciding the encoding.

#include "base/uMemXml.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include <unistd.h>

namespace {

// Checks that hold for every tree: each name finds an entry of that name at or after its position.
void CheckLookups(const TMXNode& ANode, int ABudget) {
    const TMXNodeList& aNodes = ANode.ChildNodes();
    for (int i = 0; i < aNodes.Count() && i < ABudget; ++i) {
        const QString sName = aNodes.Get(i);
        const int nFound = aNodes.IndexOf(sName);
        if (nFound < i || aNodes.Get(nFound).toUpper() != sName.toUpper())
            std::abort();
        if (i == 0)
            CheckLookups(*aNodes.GetNode(0), ABudget / 2);
    }
}

void RemoveTempFile();

// Never freed: the exit handler that removes the file needs the name after static destruction.
const QString& TempFileName() {
    static const QString* const pName = [] {
        std::atexit(RemoveTempFile);
        return new QString(QDir::tempPath() + QStringLiteral("/fuzz_memxml.%1.xml").arg(getpid()));
    }();
    return *pName;
}

void RemoveTempFile() {
    QFile::remove(TempFileName());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const QByteArray aBytes(reinterpret_cast<const char*>(AData), static_cast<qsizetype>(ASize));
    const QString sText = QString::fromUtf8(aBytes);

    TMemXml oXml{QString()};
    oXml.SetText(sText);
    const QString sWritten = oXml.GetText();
    CheckLookups(oXml.RootNode(), 64);

    // The writer's output is the parser's input the next time the file is read.
    TMemXml oAgain{QString()};
    oAgain.SetText(sWritten);
    (void)oAgain.GetText();

    // Encoding followed by decoding gives the text back.
    if (oXml.DecodeXmlValue(oXml.EncodeXmlValue(sText, true), true) != sText)
        std::abort();

    if (ASize > 0 && AData[0] % 16 == 0) {
        QFile oFile(TempFileName());
        if (oFile.open(QIODevice::WriteOnly | QIODevice::Truncate) && oFile.write(aBytes) == aBytes.size()) {
            oFile.close();
            const TMemXml oLoaded(TempFileName(),
                                  AData[ASize - 1] % 2 ? TXmlEncoding::None : TXmlEncoding::Utf8);
            (void)oLoaded.GetText();
        }
    }
    return 0;
}
