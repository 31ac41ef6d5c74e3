// FireCard at a busy desk: 10,000 registered cards and 1,000 guests inside. The check-in and the
// check-out are timed separately, each with its log (and report) line appended and flushed. The data
// folder lies on a disk ("disk": the flush reaches the device) or on tmpfs ("tmpfs": the flush costs
// next to nothing), which shows the event's own cost.
//   TARVO_BENCH_DISK_DIR   folder on a disk (default: the system's temporary folder)
//   TARVO_BENCH_TMPFS_DIR  folder on tmpfs (default: /dev/shm)

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uKeyNum.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>

using namespace Tarvo;

namespace {

constexpr int cCards = 10000;
constexpr int cInside = 1000;
// Timed cards come from the end of the card list, the longest search.
constexpr int cTimedCards = 1000;

TOrv_KEYNUM CardNumber(int AIdx) {
    return MakeKeyNum({std::uint8_t(AIdx), std::uint8_t(AIdx >> 8), 0x10});
}

QByteArray DataFile() {
    QByteArray lXml = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
                      "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication>"
                      "<AccPrice>-2</AccPrice><Entrance>50</Entrance></Main>\r\n<TimeZones>"
                      "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"2\"/>"
                      "<Item2 name=\"Evening\" startTime=\"20:00\" baseCost=\"5\" minCost=\"4\"/>"
                      "</TimeZones>\r\n<Cards>\r\n";
    for (int i = 0; i < cCards; ++i)
        lXml += QStringLiteral("<Item%1 number=\"%2\" name=\"Guest %1\" level=\"%3\"/>\r\n")
                    .arg(i + 1)
                    .arg(KeyNumToStr(CardNumber(i), KEYVIEW_HEX))
                    .arg(i % 11)
                    .toUtf8();
    return lXml + "</Cards>\r\n</Tarvo>\r\n";
}

QString FolderOf(const char* AEnvName, const QString& ADefault) {
    const QByteArray lValue = qgetenv(AEnvName);
    return lValue.isEmpty() ? ADefault : QString::fromLocal8Bit(lValue);
}

// A desk opened on a fresh data folder with the guests checked in; the clock moves 10 ms per event.
class TBusyDesk {
public:
    explicit TBusyDesk(const QString& ABaseDir) : m_oDir(ABaseDir + QStringLiteral("/tarvo-bench-XXXXXX")) {
        SetNowFunc([this] { return m_dtNow; });
        if (!m_oDir.isValid())
            return;
        QFile lFile(m_oDir.filePath(QStringLiteral("Tarvo.xml")));
        if (!lFile.open(QIODevice::WriteOnly) || lFile.write(DataFile()) < 0)
            return;
        lFile.close();
        m_oDoc.SetFileName(lFile.fileName());
        m_oDoc.SetLangDir(m_oDir.filePath(QStringLiteral("Languages")));
        m_oDoc.SetOnWriteError([this](const QString& AMessage) { m_sError = AMessage; });
        m_oDoc.Open();
        for (int i = 0; i < cInside; ++i)
            Present(i);
        m_fReady = m_oDoc.InUsers().Count() == cInside && m_sError.isEmpty();
    }
    ~TBusyDesk() { SetNowFunc({}); }

    void Present(int ACard) {
        m_dtNow += 10.0 / MSecsPerDay;
        m_oDoc.FireCard(CardNumber(ACard));
    }
    bool Ready() const { return m_fReady; }
    const QString& Error() const { return m_sError; }
    int Inside() const { return m_oDoc.InUsers().Count(); }

private:
    QTemporaryDir m_oDir;
    TTarvoDoc m_oDoc;
    TDateTime m_dtNow = EncodeDate(2024, 3, 11) + EncodeTime(9, 0, 0, 0);
    QString m_sError;
    bool m_fReady = false;
};

bool Prepare(benchmark::State& AState, const TBusyDesk& ADesk, const QString& ABaseDir) {
    if (!QFileInfo(ABaseDir).isDir()) {
        AState.SkipWithError(("no folder " + ABaseDir.toStdString()).c_str());
        return false;
    }
    if (!ADesk.Ready()) {
        AState.SkipWithError(("desk not ready: " + ADesk.Error().toStdString()).c_str());
        return false;
    }
    AState.SetLabel(ABaseDir.toStdString());
    return true;
}

void Finish(benchmark::State& AState, const TBusyDesk& ADesk) {
    if (!ADesk.Error().isEmpty())
        AState.SkipWithError(ADesk.Error().toStdString().c_str());
    AState.counters["inside"] = ADesk.Inside();
}

QString DiskDir() {
    return FolderOf("TARVO_BENCH_DISK_DIR", QDir::tempPath());
}
QString TmpfsDir() {
    return FolderOf("TARVO_BENCH_TMPFS_DIR", QStringLiteral("/dev/shm"));
}

// Check-in: two searches over the guests and the cards, the log line. The guest leaves untimed.
void BM_CheckIn(benchmark::State& AState, QString (*AFolder)()) {
    const QString lBase = AFolder();
    TBusyDesk lDesk(lBase);
    if (!Prepare(AState, lDesk, lBase))
        return;
    int lNext = 0;
    for (auto _ : AState) {
        const int lCard = cCards - 1 - lNext++ % cTimedCards;
        lDesk.Present(lCard);
        AState.PauseTiming();
        lDesk.Present(lCard);
        AState.ResumeTiming();
    }
    Finish(AState, lDesk);
}

// Check-out of the guest who came last: the search, the bill, the log and report lines.
void BM_CheckOut(benchmark::State& AState, QString (*AFolder)()) {
    const QString lBase = AFolder();
    TBusyDesk lDesk(lBase);
    if (!Prepare(AState, lDesk, lBase))
        return;
    int lNext = 0;
    for (auto _ : AState) {
        const int lCard = cCards - 1 - lNext++ % cTimedCards;
        AState.PauseTiming();
        lDesk.Present(lCard);
        AState.ResumeTiming();
        lDesk.Present(lCard);
    }
    Finish(AState, lDesk);
}

} // namespace

BENCHMARK_CAPTURE(BM_CheckIn, disk, DiskDir)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CheckOut, disk, DiskDir)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CheckIn, tmpfs, TmpfsDir)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_CheckOut, tmpfs, TmpfsDir)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
