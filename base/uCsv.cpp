#include "base/uCsv.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "base/uIniFile.h"
#include "base/uSafeFile.h"

#include <QFile>
#include <QStringView>

namespace {

const QChar cQuote = QLatin1Char('"');
const QChar cSep = QLatin1Char(';');

bool IsLineBreak(QChar AChar) {
    return AChar == QLatin1Char('\r') || AChar == QLatin1Char('\n');
}

bool NeedsQuotes(const QString& AField) {
    for (QChar c : AField)
        if (c == cQuote || c == cSep || IsLineBreak(c))
            return true;
    return false;
}

// Walks a text record by record. Line breaks inside a quoted field belong to the field; once a quoted
// field turns out to stay open to the end of the text, it ends at its line's end and the rest of the
// text is read line by line: every character is scanned at most twice, whatever the input.
class TCsvRecordReader {
public:
    explicit TCsvRecordReader(QStringView AText) : m_sText(AText) {}

    bool Next(QStringView& VRecord) {
        const qsizetype n = m_sText.size();
        if (m_nPos >= n)
            return false;
        const qsizetype start = m_nPos;
        qsizetype end = m_fLineByLine ? LineEnd(start) : RecordEnd(start);
        VRecord = m_sText.mid(start, end - start);
        m_nPos = SkipBreak(end);
        return true;
    }

private:
    qsizetype LineEnd(qsizetype AFrom) const {
        qsizetype i = AFrom;
        while (i < m_sText.size() && !IsLineBreak(m_sText[i]))
            ++i;
        return i;
    }

    qsizetype SkipBreak(qsizetype AAt) const {
        const qsizetype n = m_sText.size();
        if (AAt < n && m_sText[AAt] == QLatin1Char('\r')) {
            ++AAt;
            if (AAt < n && m_sText[AAt] == QLatin1Char('\n'))
                ++AAt;
        } else if (AAt < n && m_sText[AAt] == QLatin1Char('\n')) {
            ++AAt;
        }
        return AAt;
    }

    qsizetype RecordEnd(qsizetype AFrom) {
        const qsizetype n = m_sText.size();
        bool fieldStart = true, quoted = false, inside = false;
        qsizetype firstInnerBreak = -1;
        for (qsizetype i = AFrom; i < n; ++i) {
            const QChar c = m_sText[i];
            if (fieldStart) {
                fieldStart = false;
                quoted = c == cQuote;
                if (quoted) {
                    inside = true;
                    firstInnerBreak = -1;
                    continue;
                }
            }
            if (c == cSep) {
                if (!quoted || !inside)
                    fieldStart = true;
            } else if (quoted && c == cQuote) {
                inside = !inside;
            } else if (IsLineBreak(c)) {
                if (!quoted || !inside)
                    return i;
                if (firstInnerBreak < 0)
                    firstInnerBreak = i;
            }
        }
        if (quoted && inside && firstInnerBreak >= 0) {
            m_fLineByLine = true;
            return firstInnerBreak;
        }
        return n;
    }

    QStringView m_sText;
    qsizetype m_nPos = 0;
    bool m_fLineByLine = false;
};

bool NextCsvFieldView(QStringView ALine, qsizetype& VPos, QString& VField) {
    VField.clear();
    const qsizetype n = ALine.size();
    if (VPos < 0 || VPos > n) {
        VPos = -1;
        return false;
    }
    qsizetype end;
    if (VPos < n && ALine[VPos] == cQuote) {
        // Each quote toggles inside/outside; the text lies between the opening quote and the last quote
        // before the field's end (or runs to the end when the opening quote is the only one).
        bool inside = true;
        qsizetype lastQuote = VPos;
        end = VPos + 1;
        for (; end < n; ++end) {
            const QChar c = ALine[end];
            if (c == cQuote) {
                inside = !inside;
                lastQuote = end;
            } else if (c == cSep && !inside) {
                break;
            }
        }
        const qsizetype textEnd = lastQuote > VPos ? lastQuote : end;
        VField = ALine.mid(VPos + 1, textEnd - VPos - 1).toString();
        VField.replace(QStringLiteral("\"\""), QStringLiteral("\""));
    } else {
        end = ALine.indexOf(cSep, VPos);
        if (end < 0)
            end = n;
        VField = ALine.mid(VPos, end - VPos).toString();
    }
    VPos = end + 1 < n ? end + 1 : -1; // a ";" that ends the line ends it
    return true;
}

// The first ACount fields of ARecord, empty ones for those it runs short of.
void TakeFields(QStringView ARecord, int ACount, QStringList& VFields) {
    VFields.clear();
    VFields.reserve(ACount);
    qsizetype pos = 0;
    QString field;
    while (VFields.size() < ACount && NextCsvFieldView(ARecord, pos, field))
        VFields.append(field);
    while (VFields.size() < ACount)
        VFields.append(QString());
}

} // namespace

void AddCsvField(QString& VLine, const QString& AField) {
    if (NeedsQuotes(AField)) {
        VLine += cQuote;
        for (QChar c : AField) {
            if (c == cQuote)
                VLine += cQuote;
            VLine += c;
        }
        VLine += cQuote;
    } else {
        VLine += AField;
    }
    VLine += cSep;
}

bool NextCsvField(const QString& ALine, qsizetype& VPos, QString& VField) {
    return NextCsvFieldView(QStringView(ALine), VPos, VField);
}

QStringList SplitCsvLine(const QString& ALine) {
    QStringList fields;
    qsizetype pos = 0;
    QString field;
    while (NextCsvField(ALine, pos, field))
        fields.append(field);
    return fields;
}

QStringList SplitCsvRecords(const QString& AText) {
    QStringList records;
    TCsvRecordReader reader(AText);
    QStringView record;
    while (reader.Next(record))
        records.append(record.toString());
    return records;
}

void ExportToCsv(const QString& AFileName, int ACols, int ARows, void* AParam,
                 const TExportHookProc& AAfterHook, const TExportRowFunc& ARowFunc,
                 const TExportHookProc& ABeforeHook) {
    TARVO_ASSERT(ACols >= 0 && ARows >= 0, "uCsv");
    QString text;
    if (ABeforeHook)
        ABeforeHook(nullptr, AParam);
    if (ARowFunc) {
        QStringList fields;
        for (int r = 0; r < ARows; ++r) {
            fields.clear();
            for (int c = 0; c < ACols; ++c)
                fields.append(QString());
            ARowFunc(nullptr, r, AParam, fields, ARows);
            QString line;
            for (int c = 0; c < ACols; ++c)
                AddCsvField(line, c < fields.size() ? fields.at(c) : QString());
            text += line;
            text += QStringLiteral("\r\n");
        }
    }
    if (AAfterHook)
        AAfterHook(nullptr, AParam);
    WriteFileAtomically(AFileName, ToAnsi(text));
}

bool ImportFromCsv(const QString& AFileName, void* AParam, const TImportRowFunc& ARowFunc) {
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(AFileName, file.errorString()));
    const QByteArray bytes = file.read(MaxCsvFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("Cannot read file \"%1\". %2").arg(AFileName, file.errorString()));
    if (bytes.size() > MaxCsvFileSize)
        throw EInOutError(QStringLiteral("File \"%1\" is too large to import.").arg(AFileName));
    file.close();

    const QString text = DecodeTextBytes(bytes);
    TCsvRecordReader reader(text);
    QStringView record;
    if (!reader.Next(record))
        return true;

    QStringList fields;
    qsizetype pos = 0;
    QString field;
    while (fields.size() < MaxCsvFields && NextCsvFieldView(record, pos, field))
        fields.append(field);
    const int count = int(fields.size());
    if (!ARowFunc(nullptr, 0, AParam, fields, -1))
        return false;
    for (int row = 1; reader.Next(record); ++row) {
        TakeFields(record, count, fields);
        if (!ARowFunc(nullptr, row, AParam, fields, -1))
            return false;
    }
    return true;
}
