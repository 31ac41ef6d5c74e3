// The day rebuild at start-up on a month log file of 50,000 lines, against reading the same file line
// by line without parsing. Both run in one program on the same file, so the ratio is what counts
// (target: the rebuild at most 10 times the plain read).
//
// The day rebuilt is the month's last one, so every line of the file is looked at; a variant rebuilds
// a day in the middle of the month, where the rebuild stops at the day's end.

#include "frontdesk/uLogLines.h"
#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uCodePage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace Tarvo;

namespace {

constexpr int cLines = 50000;
constexpr int cCards = 200;

struct TBenchFiles {
    QTemporaryDir m_oDir;
    QString m_sDataFile;
    QString m_sLogFile[2]; // text, CSV
};

TDateTime NowValue;

TBenchFiles& Files() {
    static TBenchFiles* lFiles = [] {
        auto* f = new TBenchFiles;
        SetCodePageOverride(QStringLiteral("CP1252"));
        f->m_sDataFile = f->m_oDir.filePath(QStringLiteral("Tarvo.xml"));
        QByteArray lXml =
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
            "<Main><StartDayTime>06:00</StartDayTime><Log fileFormat=\"0, txt\" "
            "filePeriod=\"2, month\"/></Main>\r\n<Cards>\r\n";
        for (int i = 1; i <= cCards; ++i)
            lXml +=
                QStringLiteral("<Item%1 number=\"%2\" name=\"Guest %1\" level=\"%3\"><Commant/></Item%1>\r\n")
                    .arg(i)
                    .arg(i, 6, 16, QLatin1Char('0'))
                    .arg(i % 10)
                    .toUtf8();
        lXml += "</Cards>\r\n</Tarvo>\r\n";
        QFile lData(f->m_sDataFile);
        lData.open(QIODevice::WriteOnly);
        lData.write(lXml);
        lData.close();
        QDir(f->m_oDir.path()).mkpath(QStringLiteral("Logs"));

        // March 2020: 50,000 events spread evenly, each guest in then out, a comment now and then.
        for (int lFormat : {LOG_FORMAT_TXT, LOG_FORMAT_CSV}) {
            QByteArray lBytes;
            const TDateTime lStart = EncodeDate(2020, 3, 1) + EncodeTime(6, 0, 0, 0);
            const double lStep = 30.0 / cLines;
            for (int i = 0; i < cLines; ++i) {
                TCard lCard;
                const int lGuest = (i / 2) % cCards + 1;
                lCard.m_sUserName = QStringLiteral("Guest %1").arg(lGuest);
                lCard.m_nLevel = lGuest % 10;
                TLogLine lLine;
                lLine.m_dtTime = lStart + i * lStep;
                lLine.m_nKind = i % 2 == 0 ? TLogKind::In : TLogKind::Out;
                SetLogLineCard(lLine, lCard);
                lLine.m_nSum = i % 2 == 0 ? 0 : 12.5L;
                if (i % 7 == 0)
                    lLine.m_sComment = QStringLiteral("window seat");
                lBytes += ToAnsi(lFormat == LOG_FORMAT_CSV ? FormatLogLineCsv(lLine, true, -2)
                                                           : FormatLogLineTxt(lLine, true, -2)) +
                          "\r\n";
            }
            f->m_sLogFile[lFormat] =
                f->m_oDir.filePath(QStringLiteral("Logs/") +
                                   LogFileName(QStringLiteral("L"), EncodeDate(2020, 3, 31), 2, lFormat));
            QFile lLog(f->m_sLogFile[lFormat]);
            lLog.open(QIODevice::WriteOnly);
            lLog.write(lBytes);
        }
        return f;
    }();
    return *lFiles;
}

void PlainRead(benchmark::State& AState, int AFormat) {
    const QString lPath = Files().m_sLogFile[AFormat];
    qint64 lCount = 0;
    for (auto _ : AState) {
        QFile lFile(lPath);
        lFile.open(QIODevice::ReadOnly);
        char lBuf[4096];
        int lLines = 0;
        while (lFile.readLine(lBuf, sizeof lBuf) > 0)
            ++lLines;
        benchmark::DoNotOptimize(lLines);
        lCount = lLines;
    }
    AState.counters["lines"] = double(lCount);
}

void Rebuild(benchmark::State& AState, int AFormat, int ADay) {
    Files();
    QFile lData(Files().m_sDataFile);
    lData.open(QIODevice::ReadWrite);
    QByteArray lXml = lData.readAll();
    lXml.replace(AFormat == LOG_FORMAT_CSV ? "0, txt" : "1, csv",
                 AFormat == LOG_FORMAT_CSV ? "1, csv" : "0, txt");
    lData.resize(0);
    lData.write(lXml);
    lData.close();

    NowValue = EncodeDate(2020, 3, ADay) + EncodeTime(12, 0, 0, 0);
    SetNowFunc([] { return NowValue; });
    TTarvoDoc lDoc;
    lDoc.SetFileName(Files().m_sDataFile);
    lDoc.Open(); // loads the cards (and rebuilds once)
    const TDate lDay = lDoc.ReportDate();
    int lEvents = 0;
    for (auto _ : AState) {
        AState.PauseTiming();
        lDoc.SetDefaults(); // the day's lists empty again; the cards go too, so read them back
        lDoc.LoadFromFile(Files().m_sDataFile);
        AState.ResumeTiming();
        lDoc.LoadDayFromLog(lDay);
        lEvents = lDoc.LogList().Count();
    }
    AState.counters["day_events"] = lEvents;
    SetNowFunc({});
}

void BM_PlainReadTxt(benchmark::State& AState) {
    PlainRead(AState, LOG_FORMAT_TXT);
}
void BM_RebuildLastDayTxt(benchmark::State& AState) {
    Rebuild(AState, LOG_FORMAT_TXT, 30);
}
void BM_RebuildMidMonthTxt(benchmark::State& AState) {
    Rebuild(AState, LOG_FORMAT_TXT, 15);
}
void BM_PlainReadCsv(benchmark::State& AState) {
    PlainRead(AState, LOG_FORMAT_CSV);
}
void BM_RebuildLastDayCsv(benchmark::State& AState) {
    Rebuild(AState, LOG_FORMAT_CSV, 30);
}

} // namespace

BENCHMARK(BM_PlainReadTxt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildLastDayTxt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildMidMonthTxt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainReadCsv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RebuildLastDayCsv)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
