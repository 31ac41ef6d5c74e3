// .xlsx: written with libxlsxwriter (text cells only, so "0090" or "=x" stay as typed), read with
// libzip and QXmlStreamReader (the first sheet through the workbook's relationships, shared and inline
// strings with their rich-text runs, numbers through their number formats).

#include "sheet/uSheet.h"
#include "sheet/uSheetCells.h"
#include "sheet/uSheetNumFmt.h"
#include "sheet/uZipEntry.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QXmlStreamReader>

#include <xlsxwriter.h>

#include <memory>

namespace {

// Worksheet names hold at most 31 characters and none of []:*?/\.
QString SheetNameFor(const QString& AName) {
    QString lName = AName.isEmpty() ? QStringLiteral("Sheet1") : AName;
    for (QChar& c : lName)
        if (QStringLiteral("[]:*?/\\").contains(c))
            c = QLatin1Char('_');
    return lName.left(31);
}

// A text that reads like the format's escape "_xHHHH_" keeps its underscore escaped, so that a reader
// shows the text as typed.
QString EscapeEscapes(const QString& AText) {
    if (!AText.contains(QLatin1String("_x")))
        return AText;
    static const QRegularExpression cEscape(QStringLiteral("_(x[0-9A-Fa-f]{4}_)"));
    QString lText = AText;
    return lText.replace(cEscape, QStringLiteral("_x005F_\\1"));
}

} // namespace

void WriteXlsx(const QString& AFileName, const TSheetRows& ARows, const QString& ASheetName) {
    const QByteArray lPath = QFile::encodeName(AFileName);
    lxw_workbook_options lOptions{};
    lOptions.constant_memory = LXW_TRUE; // rows go out as they are written
    lxw_workbook* lBook = workbook_new_opt(lPath.constData(), &lOptions);
    if (lBook == nullptr)
        RaiseSheetWrite(AFileName, QStringLiteral("the workbook could not be created."));
    lxw_worksheet* lSheet = workbook_add_worksheet(lBook, SheetNameFor(ASheetName).toUtf8().constData());
    if (lSheet == nullptr) {
        workbook_close(lBook);
        RaiseSheetWrite(AFileName, QStringLiteral("the worksheet could not be created."));
    }
    // Printed, the columns fit the width of one page, however many pages the rows take.
    worksheet_fit_to_pages(lSheet, 1, 0);
    int lColumns = 0;
    for (const QStringList& lRow : ARows)
        lColumns = std::max(lColumns, int(lRow.size()));
    for (int c = 0; c < lColumns; ++c)
        worksheet_set_column(lSheet, lxw_col_t(c), lxw_col_t(c), SheetColumnWidth(ARows, c), nullptr);
    lxw_error lError = LXW_NO_ERROR;
    for (size_t r = 0; r < ARows.size() && lError == LXW_NO_ERROR; ++r)
        for (int c = 0; c < ARows[r].size() && lError == LXW_NO_ERROR; ++c) {
            const QString& lText = ARows[r].at(c);
            if (lText.isEmpty())
                continue;
            // A cell holds at most 32,767 characters.
            lError = worksheet_write_string(lSheet, lxw_row_t(r), lxw_col_t(c),
                                            EscapeEscapes(lText.left(32767)).toUtf8().constData(), nullptr);
        }
    const lxw_error lClose = workbook_close(lBook);
    if (lError == LXW_NO_ERROR)
        lError = lClose;
    if (lError != LXW_NO_ERROR)
        RaiseSheetWrite(AFileName, QString::fromLatin1(lxw_strerror(lError)));
}

namespace {

const QString cRelNs = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

// "_xHHHH_" stands for the character HHHH (how the format writes control characters).
QString DecodeEscapes(const QString& AText) {
    if (!AText.contains(QLatin1String("_x")))
        return AText;
    static const QRegularExpression cEscape(QStringLiteral("_x([0-9A-Fa-f]{4})_"));
    QString lOut;
    qsizetype lPos = 0;
    for (auto lIt = cEscape.globalMatch(AText); lIt.hasNext();) {
        const auto lMatch = lIt.next();
        lOut += AText.mid(lPos, lMatch.capturedStart() - lPos);
        lOut += QChar(char16_t(lMatch.captured(1).toUShort(nullptr, 16)));
        lPos = lMatch.capturedEnd();
    }
    return lOut + AText.mid(lPos);
}

void CheckXml(const QXmlStreamReader& AXml, const TZipEntryDevice& ADevice, const QString& AFileName,
              const QString& APart) {
    if (!ADevice.Failure().isEmpty())
        RaiseSheetRead(AFileName, ADevice.Failure());
    if (AXml.hasError())
        RaiseSheetRead(AFileName, QStringLiteral("the part \"%1\" is damaged (%2, line %3).")
                                      .arg(APart, AXml.errorString())
                                      .arg(AXml.lineNumber()));
}

// The text of a string item (<si> or <is>): its <t> and the <t> of its runs; phonetic runs left out.
QString ReadStringItem(QXmlStreamReader& AXml) {
    QString lText;
    const QString lEnd = AXml.name().toString();
    int lPhonetic = 0;
    while (!AXml.atEnd()) {
        const auto lToken = AXml.readNext();
        if (lToken == QXmlStreamReader::StartElement) {
            if (AXml.name() == QLatin1String("rPh"))
                ++lPhonetic;
            else if (AXml.name() == QLatin1String("t") && lPhonetic == 0)
                lText += AXml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (lToken == QXmlStreamReader::EndElement) {
            if (AXml.name() == QLatin1String("rPh"))
                --lPhonetic;
            else if (AXml.name() == lEnd)
                break;
        }
    }
    return DecodeEscapes(lText);
}

QString PartPath(const QString& ABase, const QString& ATarget) {
    if (ATarget.startsWith(QLatin1Char('/')))
        return ATarget.mid(1);
    return QDir::cleanPath(ABase + QLatin1Char('/') + ATarget);
}

// The path of the first worksheet in the archive.
QString FirstSheetPath(const TZipArchive& AZip) {
    QString lRelId;
    {
        TZipEntryDevice lDevice(AZip, QStringLiteral("xl/workbook.xml"));
        QXmlStreamReader lXml(&lDevice);
        while (!lXml.atEnd() && lRelId.isEmpty())
            if (lXml.readNext() == QXmlStreamReader::StartElement && lXml.name() == QLatin1String("sheet"))
                lRelId = lXml.attributes().value(cRelNs, QStringLiteral("id")).toString();
        CheckXml(lXml, lDevice, AZip.FileName(), QStringLiteral("xl/workbook.xml"));
    }
    if (lRelId.isEmpty())
        RaiseSheetRead(AZip.FileName(), QStringLiteral("the workbook has no worksheet."));
    TZipEntryDevice lDevice(AZip, QStringLiteral("xl/_rels/workbook.xml.rels"));
    QXmlStreamReader lXml(&lDevice);
    while (!lXml.atEnd())
        if (lXml.readNext() == QXmlStreamReader::StartElement &&
            lXml.name() == QLatin1String("Relationship") &&
            lXml.attributes().value(QStringLiteral("Id")) == lRelId)
            return PartPath(QStringLiteral("xl"),
                            lXml.attributes().value(QStringLiteral("Target")).toString());
    CheckXml(lXml, lDevice, AZip.FileName(), QStringLiteral("xl/_rels/workbook.xml.rels"));
    RaiseSheetRead(AZip.FileName(), QStringLiteral("the first worksheet is missing."));
}

QStringList ReadSharedStrings(const TZipArchive& AZip) {
    QStringList lStrings;
    const QString lPart = QStringLiteral("xl/sharedStrings.xml");
    if (!AZip.Contains(lPart))
        return lStrings;
    TZipEntryDevice lDevice(AZip, lPart);
    QXmlStreamReader lXml(&lDevice);
    qint64 lChars = 0;
    while (!lXml.atEnd())
        if (lXml.readNext() == QXmlStreamReader::StartElement && lXml.name() == QLatin1String("si")) {
            lStrings << ReadStringItem(lXml);
            lChars += lStrings.back().size();
            if (lStrings.size() > SheetMaxCells || lChars > SheetMaxEntryBytes)
                RaiseSheetRead(AZip.FileName(), QStringLiteral("the workbook holds too many texts."));
        }
    CheckXml(lXml, lDevice, AZip.FileName(), lPart);
    return lStrings;
}

// The number format code of each cell style (index of <xf> in <cellXfs>).
QStringList ReadStyleFormats(const TZipArchive& AZip) {
    QStringList lFormats;
    const QString lPart = QStringLiteral("xl/styles.xml");
    if (!AZip.Contains(lPart))
        return lFormats;
    QHash<int, QString> lCustom;
    TZipEntryDevice lDevice(AZip, lPart);
    QXmlStreamReader lXml(&lDevice);
    bool lInCellXfs = false;
    while (!lXml.atEnd()) {
        const auto lToken = lXml.readNext();
        if (lToken == QXmlStreamReader::StartElement) {
            if (lXml.name() == QLatin1String("numFmt"))
                lCustom.insert(lXml.attributes().value(QStringLiteral("numFmtId")).toInt(),
                               lXml.attributes().value(QStringLiteral("formatCode")).toString());
            else if (lXml.name() == QLatin1String("cellXfs"))
                lInCellXfs = true;
            else if (lInCellXfs && lXml.name() == QLatin1String("xf")) {
                const int lId = lXml.attributes().value(QStringLiteral("numFmtId")).toInt();
                lFormats << lCustom.value(lId, BuiltInNumFmt(lId));
                if (lFormats.size() > 65536)
                    RaiseSheetRead(AZip.FileName(), QStringLiteral("the workbook has too many cell styles."));
            }
        } else if (lToken == QXmlStreamReader::EndElement && lXml.name() == QLatin1String("cellXfs")) {
            lInCellXfs = false;
        }
    }
    CheckXml(lXml, lDevice, AZip.FileName(), lPart);
    return lFormats;
}

} // namespace

TSheetRows ReadXlsx(const QString& AFileName) {
    const TZipArchive lZip(AFileName);
    const QString lSheetPath = FirstSheetPath(lZip);
    const QStringList lStrings = ReadSharedStrings(lZip);
    const QStringList lFormats = ReadStyleFormats(lZip);

    TSheetCells lCells(AFileName);
    TZipEntryDevice lDevice(lZip, lSheetPath);
    QXmlStreamReader lXml(&lDevice);
    qint64 lRow = -1, lCol = -1;
    while (!lXml.atEnd()) {
        if (lXml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (lXml.name() == QLatin1String("row")) {
            bool lOk = false;
            const qint64 lNumber = lXml.attributes().value(QStringLiteral("r")).toLongLong(&lOk);
            lRow = lOk && lNumber >= 1 ? lNumber - 1 : lRow + 1;
            lCol = -1;
            continue;
        }
        if (lXml.name() != QLatin1String("c"))
            continue;
        const QXmlStreamAttributes lAttrs = lXml.attributes();
        qint64 lRefRow = 0, lRefCol = 0;
        if (ParseCellRef(lAttrs.value(QStringLiteral("r")).toString(), lRefRow, lRefCol)) {
            lRow = lRefRow;
            lCol = lRefCol;
        } else {
            ++lCol;
        }
        const QString lType = lAttrs.value(QStringLiteral("t")).toString();
        const int lStyle = lAttrs.value(QStringLiteral("s")).toInt();
        QString lValue, lInline;
        bool lHasInline = false;
        while (!lXml.atEnd()) {
            const auto lToken = lXml.readNext();
            if (lToken == QXmlStreamReader::EndElement && lXml.name() == QLatin1String("c"))
                break;
            if (lToken != QXmlStreamReader::StartElement)
                continue;
            if (lXml.name() == QLatin1String("v"))
                lValue = lXml.readElementText(QXmlStreamReader::IncludeChildElements);
            else if (lXml.name() == QLatin1String("is")) {
                lInline = ReadStringItem(lXml);
                lHasInline = true;
            }
        }
        QString lText;
        if (lType == QLatin1String("s")) {
            bool lOk = false;
            const qint64 lIdx = lValue.toLongLong(&lOk);
            if (!lValue.isEmpty() && (!lOk || lIdx < 0 || lIdx >= lStrings.size()))
                RaiseSheetRead(AFileName,
                               QStringLiteral("cell %1 refers to text %2, which the workbook does not hold.")
                                   .arg(lAttrs.value(QStringLiteral("r")).toString(), lValue));
            if (lOk)
                lText = lStrings.at(lIdx);
        } else if (lType == QLatin1String("inlineStr")) {
            lText = lHasInline ? lInline : lValue;
        } else if (lType == QLatin1String("str") || lType == QLatin1String("e") ||
                   lType == QLatin1String("d")) {
            lText = DecodeEscapes(lValue);
        } else if (lType == QLatin1String("b")) {
            lText = lValue.isEmpty() ? QString()
                                     : (lValue.trimmed() == QLatin1String("0") ? QStringLiteral("FALSE")
                                                                               : QStringLiteral("TRUE"));
        } else if (!lValue.isEmpty()) {
            bool lOk = false;
            const double lNumber = lValue.toDouble(&lOk);
            lText =
                lOk ? FormatSheetNumber(lNumber, lStyle >= 0 && lStyle < lFormats.size() ? lFormats.at(lStyle)
                                                                                         : QString())
                    : lValue;
        }
        lCells.Set(lRow, lCol, lText);
    }
    CheckXml(lXml, lDevice, AFileName, lSheetPath);
    return lCells.Rows();
}
