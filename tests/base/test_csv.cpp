// CSV dialect: field writing and reading, records spanning lines, file export and import.
#include "base/uCsv.h"
#include "base/uExceptions.h"
#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

QString JoinFields(const QStringList& AFields) {
    QString line;
    for (const QString& f : AFields)
        AddCsvField(line, f);
    return line;
}

QByteArray ReadAll(const QString& APath) {
    QFile file(APath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

TEST(CsvFields, WritingQuotesOnlyWhatNeedsIt) {
    const struct {
        QString m_sField, m_sWritten;
    } cases[] = {
        {QStringLiteral("x"), QStringLiteral("x;")},
        {QStringLiteral("y;z"), QStringLiteral("\"y;z\";")},
        {QStringLiteral("\""), QStringLiteral("\"\"\"\";")},
        {QString(), QStringLiteral(";")},
        {QStringLiteral("a, b 'c'"), QStringLiteral("a, b 'c';")},
        {QStringLiteral("say \"hi\""), QStringLiteral("\"say \"\"hi\"\"\";")},
        {QStringLiteral("two\r\nlines"), QStringLiteral("\"two\r\nlines\";")},
    };
    for (const auto& c : cases) {
        QString line = QStringLiteral("pre;");
        AddCsvField(line, c.m_sField);
        EXPECT_EQ(line, QStringLiteral("pre;") + c.m_sWritten) << c.m_sField.toStdString();
    }
    // x, y;z and a lone quote on one line, and back.
    const QStringList fields = {QStringLiteral("x"), QStringLiteral("y;z"), QStringLiteral("\"")};
    EXPECT_EQ(JoinFields(fields), QStringLiteral("x;\"y;z\";\"\"\"\";"));
    EXPECT_EQ(SplitCsvLine(JoinFields(fields)), fields);
}

TEST(CsvFields, ReadingLines) {
    const struct {
        QString m_sLine;
        QStringList m_aFields;
    } cases[] = {
        {QString(), {QString()}},
        {QStringLiteral("a;;b"), {"a", "", "b"}},
        {QStringLiteral("a;b;"), {"a", "b"}},
        {QStringLiteral(";"), {""}},
        {QStringLiteral(";;"), {"", ""}},
        {QStringLiteral("a"), {"a"}},
        {QStringLiteral("\"a\"\"b\";c"), {"a\"b", "c"}},
        {QStringLiteral("\"ab\"cd;e"), {"ab", "e"}},   // text after the closing quote is dropped
        {QStringLiteral("a\"b;c\""), {"a\"b", "c\""}}, // quotes inside an unquoted field stay
        {QStringLiteral("\"abc"), {"abc"}},            // never closed: runs to the line's end
        {QStringLiteral("\"a;b"), {"a;b"}},
        {QStringLiteral("\""), {""}},
        {QStringLiteral("\"\";\"\""), {"", ""}},
        {QStringLiteral("\"a\"b\"c;d"),
         {
             "a\"b",
         }}, // the third quote reopens: the ";" is inside
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCsvLine(c.m_sLine), c.m_aFields) << c.m_sLine.toStdString();
}

TEST(CsvFields, PositionsOutsideTheLineAreUsedUp) {
    const QString line = QStringLiteral("a;b");
    for (qsizetype start : {qsizetype(-1), qsizetype(-100), qsizetype(4), qsizetype(1000)}) {
        qsizetype pos = start;
        QString field = QStringLiteral("old");
        EXPECT_FALSE(NextCsvField(line, pos, field));
        EXPECT_EQ(pos, -1);
        EXPECT_TRUE(field.isEmpty());
    }
    // Every call moves forward or ends the line, whatever the text.
    for (const QString& garbage : {QStringLiteral("\"\"\"\";;\";\""), QStringLiteral(";\";\";\"\"\"x"),
                                   QStringLiteral("\"\r\n;\"\n\"")}) {
        qsizetype pos = 0, prev = -1;
        QString field;
        int count = 0;
        while (NextCsvField(garbage, pos, field)) {
            ASSERT_TRUE(pos == -1 || pos > prev);
            prev = pos;
            ASSERT_LE(++count, garbage.size() + 1);
        }
    }
}

TEST(CsvFields, AnyFieldsRoundTripThroughRecords) {
    // Fields from an alphabet of the characters that matter, many records, one text.
    const QChar alphabet[] = {QLatin1Char('a'),  QLatin1Char(';'), QLatin1Char('"'), QLatin1Char('\r'),
                              QLatin1Char('\n'), QLatin1Char(' '), QChar(0x00E9)};
    std::mt19937 rng(20240601);
    std::vector<QStringList> table;
    QString text;
    for (int r = 0; r < 400; ++r) {
        QStringList fields;
        const int count = 1 + int(rng() % 5);
        for (int f = 0; f < count; ++f) {
            QString field;
            const int len = int(rng() % 6);
            for (int i = 0; i < len; ++i)
                field += alphabet[rng() % std::size(alphabet)];
            fields.append(field);
        }
        table.push_back(fields);
        text += JoinFields(fields) + QStringLiteral("\r\n");
    }
    const QStringList records = SplitCsvRecords(text);
    ASSERT_EQ(records.size(), qsizetype(table.size()));
    for (size_t r = 0; r < table.size(); ++r)
        EXPECT_EQ(SplitCsvLine(records[qsizetype(r)]), table[r]) << "record " << r;
}

TEST(CsvRecords, LineBreaksAndUnclosedQuotes) {
    const struct {
        QString m_sText;
        QStringList m_aRecords;
    } cases[] = {
        {QString(), {}},
        {QStringLiteral("a\r\nb\nc\rd"), {"a", "b", "c", "d"}},
        {QStringLiteral("a\r\n"), {"a"}},
        {QStringLiteral("a\r\n\r\nb"), {"a", "", "b"}},
        {QStringLiteral("\r\n"), {""}},
        {QStringLiteral("\"x\r\ny\";z\r\nw"), {"\"x\r\ny\";z", "w"}},
        {QStringLiteral("a\"\r\nb"), {"a\"", "b"}}, // a quote inside an unquoted field opens nothing
        // A quote that stays open to the end damages its own line only; the rest reads line by line.
        {QStringLiteral("ok;\r\n\"open\r\ny;\r\nz\r\n"), {"ok;", "\"open", "y;", "z"}},
        {QStringLiteral("\"x\r\ny\"\r\n"), {"\"x\r\ny\""}}, // the same field closed spans the lines
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCsvRecords(c.m_sText), c.m_aRecords) << c.m_sText.toStdString();
}

struct TRowCall {
    int m_nRow;
    QStringList m_aFields;
    int m_nRowCount;
};

TEST(CsvFiles, ExportWritesCodePageAndCrLfWithHooksAroundTheRows) {
    TLocaleOverride locale(QLatin1Char('.'), 1033, QStringLiteral("CP1252"));
    TTempDir dir;
    const QString path = dir.FilePath(QStringLiteral("out.csv"));
    QStringList order;
    int param = 0;
    ExportToCsv(
        path, 3, 2, &param,
        [&](TTableTarget* ATarget, void* AParam) {
            EXPECT_EQ(ATarget, nullptr);
            EXPECT_EQ(AParam, &param);
            order << QStringLiteral("after");
        },
        [&](TTableTarget* ATarget, int ARow, void* AParam, QStringList& VFields, int ARows) {
            EXPECT_EQ(ATarget, nullptr);
            EXPECT_EQ(AParam, &param);
            EXPECT_EQ(ARows, 2);
            EXPECT_EQ(VFields, QStringList({"", "", ""}));
            order << QStringLiteral("row%1").arg(ARow);
            if (ARow == 0)
                VFields =
                    QStringList{QStringLiteral("Name"), QStringLiteral("Sum;EUR"), QStringLiteral("Note")};
            else
                VFields = QStringList{QStringLiteral("Ren\u00e9e"), QStringLiteral("1.50")}; // one short
            return false; // CSV export ignores the request to stop
        },
        [&](TTableTarget*, void*) { order << QStringLiteral("before"); });
    EXPECT_EQ(order, QStringList({"before", "row0", "row1", "after"}));
    EXPECT_EQ(ReadAll(path), QByteArray("Name;\"Sum;EUR\";Note;\r\nRen\xE9"
                                        "e;1.50;;\r\n"));
}

TEST(CsvFiles, ExportFailuresReachTheCaller) {
    TTempDir dir;
    const QString path = dir.WriteFile(QStringLiteral("keep.csv"), "old content\r\n");
    const TExportRowFunc throwing = [](TTableTarget*, int ARow, void*, QStringList&, int) -> bool {
        if (ARow == 1)
            throw EConvertError(QStringLiteral("bad row"));
        return true;
    };
    EXPECT_THROW(ExportToCsv(path, 1, 3, nullptr, {}, throwing), EConvertError);
    EXPECT_EQ(ReadAll(path), QByteArray("old content\r\n")); // a failed export leaves the old file
    EXPECT_THROW(ExportToCsv(dir.FilePath(QStringLiteral("missing/x.csv")), 1, 1, nullptr, {}, {}),
                 EInOutError);
}

std::vector<TRowCall> Import(const QString& APath, bool& VResult, int AStopAfter = -1) {
    std::vector<TRowCall> calls;
    VResult = ImportFromCsv(APath, nullptr,
                            [&](TTableTarget* ATarget, int ARow, void*, QStringList& VFields, int ARows) {
                                EXPECT_EQ(ATarget, nullptr);
                                calls.push_back({ARow, VFields, ARows});
                                return AStopAfter < 0 || ARow < AStopAfter;
                            });
    return calls;
}

TEST(CsvFiles, ImportKeepsTheFirstLinesFieldCount) {
    TTempDir dir;
    bool ok = false;
    const auto calls = Import(
        dir.WriteFile(QStringLiteral("a.csv"), "h1;h2;\r\na;b;c;d;\r\nx\r\n\r\n\"m\r\nl\";\"q\"\"\";\r\n"),
        ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(calls.size(), 5u);
    const QStringList expected[] = {{"h1", "h2"}, {"a", "b"}, {"x", ""}, {"", ""}, {"m\r\nl", "q\""}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(calls[size_t(i)].m_nRow, i);
        EXPECT_EQ(calls[size_t(i)].m_aFields, expected[i]);
        EXPECT_EQ(calls[size_t(i)].m_nRowCount, -1);
    }
}

TEST(CsvFiles, ImportDecodesByByteOrderMarkElseCodePage) {
    TLocaleOverride locale(QLatin1Char('.'), 1049, QStringLiteral("CP1251"));
    TTempDir dir;
    const QString ru = QStringLiteral("\u0418\u043c\u044f"); // "Имя"
    const struct {
        const char* m_pName;
        QByteArray m_aBytes;
    } cases[] = {
        {"ansi.csv", QByteArray("\xC8\xEC\xFF;x;\r\n")},
        {"utf8.csv", QByteArray("\xEF\xBB\xBF") + ru.toUtf8() + ";x;\r\n"},
        {"utf16.csv",
         QByteArray("\xFF\xFE") +
             QByteArray(reinterpret_cast<const char*>(QStringLiteral("\u0418\u043c\u044f;x;\r\n").utf16()),
                        2 * 6 + 2 * 2)},
    };
    for (const auto& c : cases) {
        bool ok = false;
        const auto calls = Import(dir.WriteFile(QString::fromLatin1(c.m_pName), c.m_aBytes), ok);
        ASSERT_EQ(calls.size(), 1u) << c.m_pName;
        EXPECT_EQ(calls[0].m_aFields, QStringList({ru, "x"})) << c.m_pName;
    }
}

TEST(CsvFiles, ImportEdgeCases) {
    TTempDir dir;
    bool ok = false;
    EXPECT_TRUE(Import(dir.WriteFile(QStringLiteral("empty.csv"), QByteArray()), ok).empty());
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Import(dir.WriteFile(QStringLiteral("bom.csv"), "\xEF\xBB\xBF"), ok).empty());
    EXPECT_TRUE(ok);

    const auto stopped = Import(dir.WriteFile(QStringLiteral("stop.csv"), "a;\r\nb;\r\nc;\r\nd;\r\n"), ok, 1);
    EXPECT_FALSE(ok);
    EXPECT_EQ(stopped.size(), 2u);

    EXPECT_THROW(Import(dir.FilePath(QStringLiteral("missing.csv")), ok), EInOutError);
    const QString path = dir.WriteFile(QStringLiteral("x.csv"), "a;\r\nb;\r\n");
    EXPECT_THROW(ImportFromCsv(path, nullptr,
                               [](TTableTarget*, int ARow, void*, QStringList&, int) -> bool {
                                   if (ARow == 1)
                                       throw EConvertError(QStringLiteral("bad"));
                                   return true;
                               }),
                 EConvertError);
}

TEST(CsvFiles, ExportThenImportGivesTheTableBack) {
    TLocaleOverride locale;
    TTempDir dir;
    const QString path = dir.FilePath(QStringLiteral("t.csv"));
    const std::vector<QStringList> table = {
        {"Key", "User", "Comment"},
        {"0A1B", "M\u00fcller; Hans", "said \"hi\"\r\nand left"},
        {"", ";", "\""},
    };
    ExportToCsv(path, 3, int(table.size()), nullptr, {},
                [&](TTableTarget*, int ARow, void*, QStringList& VFields, int) {
                    VFields = table[size_t(ARow)];
                    return true;
                });
    bool ok = false;
    const auto calls = Import(path, ok);
    EXPECT_TRUE(ok);
    ASSERT_EQ(calls.size(), table.size());
    for (size_t i = 0; i < table.size(); ++i)
        EXPECT_EQ(calls[i].m_aFields, table[i]);
}

} // namespace
