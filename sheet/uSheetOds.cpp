// .ods: written as a zip of its own (the mimetype first and stored, the manifest, the content with
// string cells and column widths), read from content.xml with QXmlStreamReader: the first table, texts
// of its paragraphs, repeated rows and columns without expanding the empty ones.

#include "sheet/uSheet.h"
#include "sheet/uSheetCells.h"
#include "sheet/uZipEntry.h"

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>

#include <zip.h>

#include <list>

namespace {

const QString cOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString cTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString cText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString cStyle = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString cFo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");

// One paragraph's text: runs of blanks after the first, tabs as their elements.
bool IsPlainText(const QString& AText) {
    if (AText.startsWith(QLatin1Char(' ')))
        return false;
    QChar lPrev;
    for (const QChar c : AText) {
        if (c.unicode() < 0x20 || c.unicode() >= 0xFFFE ||
            (c == QLatin1Char(' ') && lPrev == QLatin1Char(' ')))
            return false;
        lPrev = c;
    }
    return true;
}

// content.xml is written straight into bytes: a general XML writer spends most of an export's time on
// its device calls, and the document's few element names need no namespace bookkeeping.
class TXmlBytes {
public:
    explicit TXmlBytes(QByteArray& AOut) : m_rOut(AOut) {}
    TXmlBytes& Raw(const char* AText) {
        m_rOut.append(AText);
        return *this;
    }
    // AText with the characters markup reserves replaced (quotes too, so it also serves attributes).
    TXmlBytes& Text(const QString& AText) {
        const QByteArray lUtf8 = AText.toUtf8();
        for (const char c : lUtf8) {
            switch (c) {
            case '&':
                m_rOut.append("&amp;");
                break;
            case '<':
                m_rOut.append("&lt;");
                break;
            case '>':
                m_rOut.append("&gt;");
                break;
            case '"':
                m_rOut.append("&quot;");
                break;
            default:
                m_rOut.append(c);
            }
        }
        return *this;
    }

private:
    QByteArray& m_rOut;
};

void WriteParagraph(TXmlBytes& AXml, const QString& AText) {
    AXml.Raw("<text:p>");
    if (IsPlainText(AText)) { // the common case, written at once
        AXml.Text(AText).Raw("</text:p>");
        return;
    }
    QString lRun;
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText.at(i);
        if (c == QLatin1Char('\t')) {
            AXml.Text(lRun).Raw("<text:tab/>");
            lRun.clear();
        } else if (c == QLatin1Char(' ') && (i == 0 || AText.at(i - 1) == QLatin1Char(' '))) {
            qsizetype n = 1;
            while (i + n < AText.size() && AText.at(i + n) == QLatin1Char(' '))
                ++n;
            AXml.Text(lRun).Raw("<text:s text:c=\"").Text(QString::number(n)).Raw("\"/>");
            lRun.clear();
            i += n - 1;
        } else if (c.unicode() < 0x20 || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF) {
            // Characters XML cannot hold.
        } else {
            lRun += c;
        }
    }
    AXml.Text(lRun).Raw("</text:p>");
}

QByteArray ContentXml(const TSheetRows& ARows, const QString& ASheetName) {
    int lColumns = 0;
    for (const QStringList& lRow : ARows)
        lColumns = std::max(lColumns, int(lRow.size()));
    QByteArray lBytes;
    TXmlBytes lXml(lBytes);
    lXml.Raw("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content xmlns:office=\"")
        .Text(cOffice)
        .Raw("\" xmlns:table=\"")
        .Text(cTable)
        .Raw("\" xmlns:text=\"")
        .Text(cText)
        .Raw("\" xmlns:style=\"")
        .Text(cStyle)
        .Raw("\" xmlns:fo=\"")
        .Text(cFo)
        .Raw("\" office:version=\"1.2\"><office:automatic-styles>");
    for (int c = 0; c < lColumns; ++c) {
        // About 0.19 cm per character of the default font.
        lXml.Raw("<style:style style:name=\"co")
            .Text(QString::number(c + 1))
            .Raw("\" style:family=\"table-column\"><style:table-column-properties style:column-width=\"")
            .Text(QStringLiteral("%1cm").arg(SheetColumnWidth(ARows, c) * 0.19, 0, 'f', 3))
            .Raw("\"/></style:style>");
    }
    lXml.Raw("</office:automatic-styles><office:body><office:spreadsheet><table:table table:name=\"")
        .Text(ASheetName.isEmpty() ? QStringLiteral("Sheet1") : ASheetName)
        .Raw("\">");
    for (int c = 0; c < lColumns; ++c)
        lXml.Raw("<table:table-column table:style-name=\"co").Text(QString::number(c + 1)).Raw("\"/>");
    if (ARows.empty()) // a table needs a row
        lXml.Raw("<table:table-row><table:table-cell/></table:table-row>");
    for (const QStringList& lRow : ARows) {
        lXml.Raw("<table:table-row>");
        if (lRow.isEmpty())
            lXml.Raw("<table:table-cell/>");
        for (const QString& lCell : lRow) {
            if (lCell.isEmpty()) {
                lXml.Raw("<table:table-cell/>");
                continue;
            }
            lXml.Raw("<table:table-cell office:value-type=\"string\">");
            if (!lCell.contains(QLatin1Char('\r')) && !lCell.contains(QLatin1Char('\n'))) {
                WriteParagraph(lXml, lCell);
            } else {
                QString lText = lCell;
                lText.replace(QLatin1String("\r\n"), QLatin1String("\n"))
                    .replace(QLatin1Char('\r'), QLatin1Char('\n'));
                for (const QString& lLine : lText.split(QLatin1Char('\n')))
                    WriteParagraph(lXml, lLine);
            }
            lXml.Raw("</table:table-cell>");
        }
        lXml.Raw("</table:table-row>");
    }
    lXml.Raw("</table:table></office:spreadsheet></office:body></office:document-content>");
    return lBytes;
}

const char cManifest[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
    "manifest:version=\"1.2\">\n"
    " <manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
    "manifest:media-type=\"application/vnd.oasis.opendocument.spreadsheet\"/>\n"
    " <manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>\n"
    "</manifest:manifest>\n";

} // namespace

void WriteOds(const QString& AFileName, const TSheetRows& ARows, const QString& ASheetName) {
    int lError = 0;
    zip_t* lZip = zip_open(QFile::encodeName(AFileName).constData(), ZIP_CREATE | ZIP_TRUNCATE, &lError);
    if (lZip == nullptr)
        RaiseSheetWrite(AFileName, QStringLiteral("the file cannot be created."));
    // The buffers must live until zip_close has written them.
    std::list<QByteArray> lParts;
    const auto lAdd = [&](const char* AName, QByteArray ABytes, bool AStored) {
        lParts.push_back(std::move(ABytes));
        zip_source_t* lSource =
            zip_source_buffer(lZip, lParts.back().constData(), zip_uint64_t(lParts.back().size()), 0);
        const zip_int64_t lIdx =
            lSource == nullptr ? -1 : zip_file_add(lZip, AName, lSource, ZIP_FL_ENC_UTF_8);
        if (lIdx < 0) {
            if (lSource != nullptr)
                zip_source_free(lSource);
            const QString lReason = QString::fromLocal8Bit(zip_strerror(lZip));
            zip_discard(lZip);
            RaiseSheetWrite(AFileName, lReason);
        }
        // Light compression: the parts are repetitive XML, and a quick export matters more than bytes.
        zip_set_file_compression(lZip, zip_uint64_t(lIdx), AStored ? ZIP_CM_STORE : ZIP_CM_DEFLATE,
                                 AStored ? 0 : 1);
    };
    // The mimetype comes first and uncompressed, so that a reader tells the type from the first bytes.
    lAdd("mimetype", QByteArray("application/vnd.oasis.opendocument.spreadsheet"), true);
    lAdd("META-INF/manifest.xml", QByteArray(cManifest), false);
    lAdd("content.xml", ContentXml(ARows, ASheetName), false);
    if (zip_close(lZip) != 0) {
        const QString lReason = QString::fromLocal8Bit(zip_strerror(lZip));
        zip_discard(lZip);
        RaiseSheetWrite(AFileName, lReason);
    }
}

namespace {

// The displayed text of a cell: its paragraphs joined by line breaks.
QString ReadCellText(QXmlStreamReader& AXml) {
    QString lText;
    int lParagraphs = 0;
    int lDepth = 0; // inside a paragraph
    while (!AXml.atEnd()) {
        const auto lToken = AXml.readNext();
        if (lToken == QXmlStreamReader::StartElement) {
            const bool lInText = AXml.namespaceUri() == cText;
            if (lDepth == 0 && lInText &&
                (AXml.name() == QLatin1String("p") || AXml.name() == QLatin1String("h"))) {
                if (lParagraphs++ > 0)
                    lText += QLatin1Char('\n');
                lDepth = 1;
                continue;
            }
            if (lDepth == 0) {
                AXml.skipCurrentElement(); // comments, drawings: not the cell's text
                continue;
            }
            {
                ++lDepth;
                if (lInText && AXml.name() == QLatin1String("s")) {
                    const int lCount = AXml.attributes().hasAttribute(cText, QStringLiteral("c"))
                                           ? AXml.attributes().value(cText, QStringLiteral("c")).toInt()
                                           : 1;
                    lText += QString(std::clamp(lCount, 1, 1000), QLatin1Char(' '));
                } else if (lInText && AXml.name() == QLatin1String("tab")) {
                    lText += QLatin1Char('\t');
                } else if (lInText && AXml.name() == QLatin1String("line-break")) {
                    lText += QLatin1Char('\n');
                } else if (AXml.name() == QLatin1String("note")) {
                    AXml.skipCurrentElement(); // a footnote inside the text
                    --lDepth;
                }
            }
        } else if (lToken == QXmlStreamReader::EndElement) {
            if (lDepth > 0) {
                --lDepth;
                continue;
            }
            return lText; // the end of the cell
        } else if (lToken == QXmlStreamReader::Characters && lDepth > 0) {
            lText += AXml.text();
        }
        if (lText.size() > SheetMaxEntryBytes / 4)
            break;
    }
    return lText;
}

int Repeated(const QXmlStreamReader& AXml, const QString& AName) {
    bool lOk = false;
    const qint64 lCount = AXml.attributes().value(cTable, AName).toLongLong(&lOk);
    return lOk && lCount >= 1 ? int(std::min<qint64>(lCount, 1LL << 30)) : 1;
}

} // namespace

TSheetRows ReadOds(const QString& AFileName) {
    const TZipArchive lZip(AFileName);
    TZipEntryDevice lDevice(lZip, QStringLiteral("content.xml"));
    QXmlStreamReader lXml(&lDevice);
    TSheetCells lCells(AFileName);
    qint64 lRow = 0;
    bool lInTable = false;
    while (!lXml.atEnd()) {
        const auto lToken = lXml.readNext();
        if (lToken == QXmlStreamReader::EndElement && lInTable && lXml.namespaceUri() == cTable &&
            lXml.name() == QLatin1String("table"))
            break; // the first table only
        if (lToken != QXmlStreamReader::StartElement || lXml.namespaceUri() != cTable)
            continue;
        if (lXml.name() == QLatin1String("table")) {
            if (lInTable)
                lXml.skipCurrentElement(); // a table inside a cell's shape: not this sheet's rows
            lInTable = true;
            continue;
        }
        if (!lInTable || lXml.name() != QLatin1String("table-row"))
            continue;
        // The row's cells, then as many copies as it repeats; empty rows only move the row count on.
        const int lRowRepeat = Repeated(lXml, QStringLiteral("number-rows-repeated"));
        std::vector<std::pair<qint64, QString>> lRowCells;
        qint64 lCol = 0;
        while (!lXml.atEnd()) {
            const auto lCellToken = lXml.readNext();
            if (lCellToken == QXmlStreamReader::EndElement && lXml.name() == QLatin1String("table-row"))
                break;
            if (lCellToken != QXmlStreamReader::StartElement)
                continue;
            const bool lCell = lXml.name() == QLatin1String("table-cell");
            if (!lCell && lXml.name() != QLatin1String("covered-table-cell")) {
                lXml.skipCurrentElement();
                continue;
            }
            const int lColRepeat = Repeated(lXml, QStringLiteral("number-columns-repeated"));
            const QString lText = ReadCellText(lXml);
            if (!lText.isEmpty()) {
                if (lCol + lColRepeat > SheetMaxColumns)
                    RaiseSheetRead(
                        AFileName,
                        QStringLiteral("the worksheet has more than %1 columns.").arg(SheetMaxColumns));
                for (int i = 0; i < lColRepeat; ++i)
                    lRowCells.emplace_back(lCol + i, lText);
            }
            lCol += lColRepeat;
        }
        if (!lRowCells.empty()) {
            if (lRow + lRowRepeat > SheetMaxRows)
                RaiseSheetRead(AFileName,
                               QStringLiteral("the worksheet has more than %1 rows.").arg(SheetMaxRows));
            for (int r = 0; r < lRowRepeat; ++r)
                for (const auto& [lAt, lText] : lRowCells)
                    lCells.Set(lRow + r, lAt, lText);
        }
        lRow += lRowRepeat;
    }
    if (!lDevice.Failure().isEmpty())
        RaiseSheetRead(AFileName, lDevice.Failure());
    if (lXml.hasError())
        RaiseSheetRead(AFileName, QStringLiteral("the part \"content.xml\" is damaged (%1, line %2).")
                                      .arg(lXml.errorString())
                                      .arg(lXml.lineNumber()));
    return lCells.Rows();
}
