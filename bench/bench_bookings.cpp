// Start-up with a large "Reserved.ini": reading the bookings of 100 guests inside out of a file of N
// entries, nearly all of them stale (guests long gone, damage), and writing the cleaned file back. The
// time must grow with N, not with its square; Google Benchmark fits the complexity.

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uKeyNum.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>

using namespace Tarvo;

namespace {

constexpr int cInside = 100;

TOrv_KEYNUM CardNumber(int AIdx) {
    return MakeKeyNum({std::uint8_t(AIdx), std::uint8_t(AIdx >> 8), std::uint8_t(AIdx >> 16), 0x20});
}

QByteArray DataFile() {
    QByteArray lXml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
                      "<Main><StartDayTime>06:00</StartDayTime></Main>\r\n<TimeZones>"
                      "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"2\"/></TimeZones>\r\n"
                      "<Cards>\r\n";
    for (int i = 0; i < cInside; ++i)
        lXml += QStringLiteral("<Item%1 number=\"%2\" name=\"Guest %1\" level=\"0\"/>\r\n")
                    .arg(i + 1)
                    .arg(KeyNumToStr(CardNumber(i), KEYVIEW_HEX))
                    .toUtf8();
    return lXml + "</Cards>\r\n</Tarvo>\r\n";
}

// Entries for the guests inside first, then stale ones up to AEntries.
QByteArray BookingsFile(int AEntries) {
    QByteArray lIni = "[Cards]\r\n";
    for (int i = 0; i < AEntries; ++i)
        lIni += KeyNumToStr(CardNumber(i), KEYVIEW_HEX).toLatin1() + "=10:00-12:00 \r\n";
    return lIni;
}

void BM_LoadBookings(benchmark::State& AState) {
    QTemporaryDir lDir;
    const QString lData = lDir.filePath(QStringLiteral("Tarvo.xml"));
    {
        QFile lFile(lData);
        lFile.open(QIODevice::WriteOnly);
        lFile.write(DataFile());
    }
    SetNowFunc([] { return EncodeDate(2024, 3, 12) + EncodeTime(9, 0, 0, 0); });
    TTarvoDoc lDoc;
    lDoc.SetFileName(lData);
    lDoc.Open();
    for (int i = 0; i < cInside; ++i)
        lDoc.FireCard(CardNumber(i));
    const QByteArray lIni = BookingsFile(int(AState.range(0)));
    for (auto _ : AState) {
        AState.PauseTiming();
        QFile lFile(lDoc.GetBookingsPath());
        lFile.open(QIODevice::WriteOnly | QIODevice::Truncate);
        lFile.write(lIni);
        lFile.close();
        AState.ResumeTiming();
        lDoc.LoadBookings();
    }
    AState.SetComplexityN(AState.range(0));
    SetNowFunc(nullptr);
}
BENCHMARK(BM_LoadBookings)
    ->RangeMultiplier(4)
    ->Range(2500, 160000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

} // namespace

BENCHMARK_MAIN();
