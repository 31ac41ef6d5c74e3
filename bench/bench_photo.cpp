// A card event's photo: from the start of the card's handling (HandleCard, which runs FireCard) to the
// first photo of the event complete on disk, with the fake camera at 640x480, over 200 events (check-ins
// and check-outs of one card, a second apart). The shot is taken inside the event, so the file is
// complete when FireCard returns; the figures are the whole event with its photo, and the wait after
// the return (always 0 unless the shot were taken later). Target: median below 50 ms.
//
// Needs the fake-camera plugin (built with the tests): run from the build folder as bench/bench_photo.

#include "apps/Tarvo/uFmMain.h"
#include "base/uClock.h"
#include "camera/uWebCam.h"
#include "frontdesk/uTarvoDoc.h"
#include "tests/common/FakeCam.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int cEvents = 200;
const TOrv_KEYNUM cAnn = MakeKeyNum({0x0C, 0x0B, 0x0A});

QByteArray DataFile() {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
           "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication></Main>\r\n"
           "<Reader cardRegInterval=\"0\"/>\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
           "minCost=\"1\"/></TimeZones>\r\n"
           "<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n</Cards>\r\n"
           "<Popup timeOut=\"60\" max=\"3\"/>\r\n"
           "<Camera source=\"1\"><WebCam camera=\"Bench Camera\" mode=\"0\" numShots=\"1\"/></Camera>\r\n"
           "</Tarvo>\r\n";
}

double Percentile(std::vector<double> AValues, double AShare) {
    std::sort(AValues.begin(), AValues.end());
    const auto lIdx = static_cast<std::size_t>(AShare * static_cast<double>(AValues.size() - 1) + 0.5);
    return AValues[std::min(lIdx, AValues.size() - 1)];
}

void BM_CardEventToPhotoOnDisk(benchmark::State& AState) {
    static TFakeCamEnv lCams;
    lCams.Plug(QStringLiteral("bench"), QStringLiteral("Bench Camera"));
    QTemporaryDir lRuntime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(lRuntime.path()));
    for (auto _ : AState) {
        QTemporaryDir lDir;
        const QString lFile = lDir.filePath(QStringLiteral("Tarvo.xml"));
        QFile lOut(lFile);
        lOut.open(QIODevice::WriteOnly);
        lOut.write(DataFile());
        lOut.close();
        // The device monitor sees the fake camera within a moment of its plugging.
        QElapsedTimer lWait;
        lWait.start();
        for (QStringList lNames;
             !lNames.contains(QStringLiteral("Bench Camera")) && lWait.elapsed() < 10000;) {
            GetWebCamList(lNames);
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        TDateTime lNow = EncodeDate(2026, 3, 2) + EncodeTime(10, 0, 0, 0);
        SetNowFunc([&lNow] { return lNow; });
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().Open();
        {
            // The camera source is applied after the settings dialog, which is cancelled at once.
            QTimer lCancel;
            lCancel.setInterval(5);
            QObject::connect(&lCancel, &QTimer::timeout, [&lCancel] {
                if (auto* lDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                    lCancel.stop();
                    lDlg->reject();
                }
            });
            lCancel.start();
            lMain->DoSettingsDlg();
        }
        std::vector<double> lEvent, lAfter;
        int lSaved = 0;
        TWebCam* lCam = lMain->WebCam();
        for (lWait.restart();
             lCam && lCam->GetActive() && !lCam->IsImageAvailable() && lWait.elapsed() < 10000;)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        for (int i = 0; i < cEvents && lCam && lCam->GetActive(); ++i) {
            lNow += 1.0 / 86400.0;
            const QString lPhoto = lMain->Doc().GetArchFotoPath(lNow, false);
            QElapsedTimer lTimer;
            lTimer.start();
            lMain->HandleCard(1, cAnn);
            const double lReturned = static_cast<double>(lTimer.nsecsElapsed()) / 1e6;
            while (!QFile::exists(lPhoto) && lTimer.elapsed() < 2000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            const double lOnDisk = static_cast<double>(lTimer.nsecsElapsed()) / 1e6;
            if (QFile::exists(lPhoto))
                ++lSaved;
            lEvent.push_back(lOnDisk);
            lAfter.push_back(lOnDisk - lReturned);
            // Frames keep coming between events, as at the desk.
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        SetNowFunc({});
        if (lEvent.empty()) {
            AState.SkipWithError("the fake camera did not start");
            return;
        }
        AState.counters["median_ms"] = Percentile(lEvent, 0.5);
        AState.counters["p99_ms"] = Percentile(lEvent, 0.99);
        AState.counters["after_return_p99_ms"] = Percentile(lAfter, 0.99);
        AState.counters["photos_saved"] = lSaved;
        AState.counters["events"] = static_cast<double>(lEvent.size());
    }
}
BENCHMARK(BM_CardEventToPhotoOnDisk)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication lApp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
