// The CSV field reader and record splitter on any text: a walk over a line always ends, moves forward at
// every step and stays inside the text; records cover the text in order; and whatever fields were read,
// writing them with AddCsvField and reading them back gives the same fields and records.
//
// Byte 0 picks how the rest becomes text: even as Latin-1 (every byte one character, so every mix of
// ";", quotes and line breaks occurs), odd through the BOM-aware decoder of the file reader.

#include "base/uCsv.h"
#include "base/uIniFile.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* AWhat, const QString& AText) {
    std::fprintf(stderr, "fuzz_csvfield: %s for \"%s\"\n", AWhat, AText.left(200).toUtf8().constData());
    std::abort();
}

// NextCsvField over ALine, checking every step.
QStringList Walk(const QString& ALine) {
    QStringList fields;
    qsizetype pos = 0, prev = -1;
    QString field;
    while (NextCsvField(ALine, pos, field)) {
        if (pos != -1 && (pos <= prev || pos > ALine.size()))
            Fail("position did not move forward inside the line", ALine);
        if (field.size() > ALine.size())
            Fail("field longer than its line", ALine);
        if (fields.size() > ALine.size())
            Fail("more fields than characters", ALine);
        fields.append(field);
        if (pos == -1)
            break;
        prev = pos;
    }
    if (NextCsvField(ALine, pos, field) || pos != -1)
        Fail("a used-up line gave another field", ALine);
    return fields;
}

QString Line(const QStringList& AFields) {
    QString line;
    for (const QString& f : AFields)
        AddCsvField(line, f);
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize == 0 || ASize > 64 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(AData) + 1, qsizetype(ASize - 1));
    const QString text = (AData[0] & 1) ? DecodeTextBytes(bytes) : QString::fromLatin1(bytes);

    const QStringList fields = Walk(text);
    if (Walk(Line(fields)) != fields)
        Fail("fields did not survive writing and reading", text);

    const QStringList records = SplitCsvRecords(text);
    qsizetype covered = 0;
    QString rewritten;
    for (const QString& record : records) {
        covered += record.size();
        const QStringList recordFields = Walk(record);
        const QString line = Line(recordFields);
        if (Walk(line) != recordFields)
            Fail("record fields did not survive writing and reading", record);
        rewritten += line + QStringLiteral("\r\n");
    }
    if (covered > text.size() || (!text.isEmpty() && records.isEmpty()))
        Fail("records do not match the text", text);
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')) && !text.isEmpty() &&
        records != QStringList{text})
        Fail("a text without line breaks is not one record", text);

    const QStringList again = SplitCsvRecords(rewritten);
    if (again.size() != records.size())
        Fail("rewritten records split differently", text);
    for (qsizetype i = 0; i < again.size(); ++i)
        if (Walk(again[i]) != Walk(records[i]))
            Fail("rewritten record reads differently", text);
    return 0;
}
