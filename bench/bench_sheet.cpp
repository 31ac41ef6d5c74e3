// 10,000 cards out to and in from each table kind, against the same rows as plain CSV in one run (the
// target: each at most 5x the CSV time), and the import of N cards into the configuration document,
// which must grow linearly (Google Benchmark fits the complexity).

#include "base/uKeyNum.h"
#include "config/uTableImport.h"
#include "sheet/uSheetTable.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

TTextRows CardRows(int ACount) {
    TTextRows lRows = {ConfigTarvo::CardListCaptions()};
    for (int i = 0; i < ACount; ++i)
        lRows.push_back({QString::number(i + 1),
                         QStringLiteral("%1").arg(i * 7919 + 0x100000, 8, 16, QLatin1Char('0')).toUpper(),
                         QStringLiteral("Guest number %1").arg(i), QString::number(i % 11),
                         i % 3 == 0 ? QStringLiteral("season ticket") : QString()});
    return lRows;
}

QTemporaryDir& Dir() {
    static QTemporaryDir sDir;
    return sDir;
}

void BM_Write(benchmark::State& AState, const char* AExt) {
    const TTextRows lRows = CardRows(10000);
    const QString lPath = Dir().filePath(QStringLiteral("w.") + QString::fromLatin1(AExt));
    for (auto _ : AState)
        WriteTableFile(lPath, lRows, QStringLiteral("Cards"));
}
void BM_Read(benchmark::State& AState, const char* AExt) {
    const QString lPath = Dir().filePath(QStringLiteral("r.") + QString::fromLatin1(AExt));
    WriteTableFile(lPath, CardRows(10000), QStringLiteral("Cards"));
    for (auto _ : AState)
        benchmark::DoNotOptimize(ReadTableFile(lPath));
}
BENCHMARK_CAPTURE(BM_Write, csv, "csv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, xlsx, "xlsx")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Write, ods, "ods")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, csv, "csv")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, xlsx, "xlsx")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Read, ods, "ods")->Unit(benchmark::kMillisecond);

void BM_ImportCards(benchmark::State& AState) {
    const TTextRows lRows = CardRows(int(AState.range(0)));
    ConfigTarvo::TTarvoDoc lDoc;
    for (auto _ : AState)
        benchmark::DoNotOptimize(ConfigTarvo::ImportCards(lDoc, lRows));
    AState.SetComplexityN(AState.range(0));
}
BENCHMARK(BM_ImportCards)
    ->RangeMultiplier(4)
    ->Range(1000, 64000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
