// Arbitrary bytes through the XML store: parse as text, write back, look names up, and now and then
// load them as a file with the byte-order mark or the code page deciding the encoding. The tree read
// is also written as a hand edit would leave it (comments, processing instructions, single quotes),
// and that text must read as the same tree.

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

// The tree below ANode as the writer lays it out, dressed as by a hand edit: a comment before each
// element, a processing instruction after the last child, a comment inside each text, and values in
// single quotes (the encoder leaves no apostrophe in a value). ASeed picks where the text is cut.
void WriteDressed(const TMemXml& AXml, const TMXNode& ANode, QString& VText, std::uint32_t& VSeed) {
    const TMXNodeList& aNodes = ANode.ChildNodes();
    for (int i = 0; i < aNodes.Count(); ++i) {
        const TMXNode& oNode = *aNodes.GetNode(i);
        VSeed = VSeed * 1103515245u + 12345u;
        VText += VSeed % 2 ? QStringLiteral("<!-- a <b> -- c -->") : QStringLiteral("<!---->\r\n");
        VText += u'<' + aNodes.Get(i);
        for (const QString& sAttr : oNode.Attrs()) {
            const qsizetype nEq = sAttr.indexOf(u'=');
            VText += u' ';
            VText += sAttr.left(nEq);
            VText += QStringLiteral("='") + AXml.EncodeXmlValue(sAttr.mid(nEq + 1), true) + u'\'';
        }
        if (oNode.ChildNodes().Count() > 0) {
            VText += u">\r\n";
            WriteDressed(AXml, oNode, VText, VSeed);
            VText += QStringLiteral("<?pi <x> ?></") + aNodes.Get(i) + QStringLiteral(">\r\n");
        } else if (oNode.ValueTextExists()) {
            const QString sText = AXml.EncodeXmlValue(oNode.GetNodeText(), false);
            const qsizetype nCut =
                static_cast<qsizetype>(VSeed % static_cast<std::uint32_t>(sText.size() + 1));
            VText += u'>';
            VText += sText.left(nCut) + QStringLiteral("<!--t-->") + sText.mid(nCut);
            VText += QStringLiteral("</") + aNodes.Get(i) + QStringLiteral(">\r\n");
        } else {
            VText += u"/>\r\n";
        }
    }
}

// A text that the parse of AXml's writing and the parse of its dressed writing give alike.
void CheckDressedReadsTheSame(const TMemXml& AXml, const QString& AWritten, std::uint32_t ASeed) {
    // A doctype without its end runs to the end of the text and would swallow the dressing.
    if (!AXml.DocType().isEmpty())
        return;
    QString sDressed = QStringLiteral("<!-- first -->");
    sDressed += u"<?xml";
    for (const QString& sAttr : AXml.RootNode().Attrs()) {
        const qsizetype nEq = sAttr.indexOf(u'=');
        sDressed += u' ';
        sDressed += sAttr.left(nEq) + QStringLiteral("='") + AXml.EncodeXmlValue(sAttr.mid(nEq + 1), true);
        sDressed += u'\'';
    }
    sDressed += u"?>\r\n<?editor x?>";
    WriteDressed(AXml, AXml.RootNode(), sDressed, ASeed);
    sDressed += u"<!-- last -->\r\n";

    TMemXml oPlain{QString()};
    oPlain.SetText(AWritten);
    TMemXml oDressed{QString()};
    oDressed.SetText(sDressed);
    if (oPlain.GetText() != oDressed.GetText())
        std::abort();
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

    CheckDressedReadsTheSame(oXml, sWritten, static_cast<std::uint32_t>(ASize));

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
