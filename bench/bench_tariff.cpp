// Billing of long stays over six zones: whole prices (days taken at once) against hundredths (walked
// zone by zone), without segments as at check-out and with them as for the receipt.
#include "base/uMemXml.h"
#include "frontdesk/uTarvoDoc.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

std::unique_ptr<Tarvo::TTarvoDoc> MakeDoc(bool AHundredths) {
    QString lZones;
    const char* const cStarts[] = {"00:00", "06:00", "08:30", "12:00", "18:00", "21:45"};
    for (int i = 0; i < 6; ++i)
        lZones += QStringLiteral("<Item%1 name=\"Z\" startTime=\"%2\" baseCost=\"%3\" minCost=\"%4\"/>")
                      .arg(i + 1)
                      .arg(QLatin1String(cStarts[i]))
                      .arg(AHundredths ? QStringLiteral("0.%1").arg(13 + i * 7) : QString::number(3 + i))
                      .arg(AHundredths ? QStringLiteral("0.%1").arg(11 + i * 5) : QString::number(1 + i));
    TMemXml lXml(QString(), TXmlEncoding::Utf8);
    lXml.SetText(
        QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\"><TimeZones>%1"
                       "</TimeZones><Cards><Item1 number=\"0A0B0C\" level=\"10\"/></Cards></Tarvo>")
            .arg(lZones));
    auto lDoc = std::make_unique<Tarvo::TTarvoDoc>();
    lDoc->LoadFromXml(lXml);
    lDoc->SetTariffication(Tarvo::TARIF_MINUTE);
    lDoc->SetAccPrice(AHundredths ? -2 : 0);
    return lDoc;
}

// Arguments: days of the stay, hundredths (0/1), segments wanted (0/1).
void BM_CalcSum2(benchmark::State& AState) {
    const auto lDoc = MakeDoc(AState.range(1) != 0);
    const TDateTime lIn = EncodeDate(2024, 3, 10) + EncodeTime(10, 17, 0, 0);
    const TDateTime lOut = lIn + double(AState.range(0)) + EncodeTime(3, 5, 0, 0);
    Tarvo::TTariffSegments lSegs;
    for (auto _ : AState)
        benchmark::DoNotOptimize(lDoc->CalcSum2(lIn, lOut, 4, AState.range(2) ? &lSegs : nullptr));
}
BENCHMARK(BM_CalcSum2)
    ->ArgsProduct({{0, 30, 365000}, {0, 1}, {0}})
    ->ArgsProduct({{0, 30}, {0, 1}, {1}})
    ->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
