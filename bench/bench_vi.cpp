// The video-server client against vmssim on loopback:
//  - live frames per second with auto refresh (each done event starts the next) over the kept connection;
//  - StartRefreshArhiveFoto -> OnArchiveFotoDone, median and p99 over 500 requests, beside the same
//    500 requests made by one curl process over its own kept connection (the ratio is the figure);
//  - the GUI thread's longest stall while 100 requests run, seen by a 1 ms timer.
// Run: build/bench/bench_vi [--requests N]

#include "base/uDateTime.h"
#include "vi/uVI.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Percentile(std::vector<double> AValues, double AP) {
    if (AValues.empty())
        return 0;
    std::sort(AValues.begin(), AValues.end());
    const size_t lIdx = std::min(AValues.size() - 1, static_cast<size_t>(AP * (AValues.size() - 1) + 0.5));
    return AValues[lIdx];
}

// Runs the event loop until APred holds (or 60 s passed).
bool Spin(const std::function<bool()>& APred) {
    QElapsedTimer lGuard;
    lGuard.start();
    while (!APred()) {
        if (lGuard.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication lApp(argc, argv);
    int lRequests = 500;
    const QStringList lArgs = QCoreApplication::arguments();
    if (lArgs.size() > 2 && lArgs.at(1) == QLatin1String("--requests"))
        lRequests = std::max(10, lArgs.at(2).toInt());

    // The simulator's request lines go to a file: a pipe nobody reads while curl runs would stall it.
    QTemporaryFile lSimOut;
    lSimOut.open();
    QProcess lSim;
    lSim.setStandardOutputFile(lSimOut.fileName());
    lSim.start(QStringLiteral(TARVO_BIN_DIR "/vmssim"), {"--cameras", "2", "--password", "pw"});
    int lPort = 0;
    QElapsedTimer lWait;
    lWait.start();
    while (lSim.waitForStarted() && lPort == 0 && lWait.elapsed() < 10000) {
        lSimOut.seek(0);
        const QByteArray lFirst = lSimOut.readLine();
        if (lFirst.endsWith('\n'))
            lPort = lFirst.trimmed().mid(5).toInt();
        else
            lSim.waitForFinished(20); // not finishing: just a short pause until the line is there
    }
    if (lPort == 0) {
        std::fprintf(stderr, "bench_vi: vmssim did not start\n");
        return 1;
    }
    const QString lServer = QStringLiteral("http://127.0.0.1:%1").arg(lPort);
    const QString lMd5 =
        QString::fromLatin1(QCryptographicHash::hash("pw", QCryptographicHash::Md5).toHex().toUpper());

    TVI lVI;
    lVI.SetServer(lServer);
    lVI.SetLogin(QStringLiteral("admin"));
    lVI.SetPasswMd5(lMd5);
    lVI.SetCurrentCamera(QStringLiteral("Cam 1 Id"));
    lVI.SetActive(true);

    // 1. Live frames with auto refresh.
    int lFrames = 0;
    bool lLiveOn = true;
    lVI.SetOnLiveFotoDone([&](TVI& A) {
        if (A.GetCmdStatus(viLiveFoto) == viSuccess)
            ++lFrames;
        if (lLiveOn)
            A.StartRefreshLiveFoto();
    });
    QElapsedTimer lTimer;
    lVI.StartRefreshLiveFoto();
    Spin([&] { return lFrames >= 1; }); // the session is made
    lFrames = 0;
    lTimer.start();
    Spin([&] { return lTimer.elapsed() >= 3000; });
    lLiveOn = false;
    const double lFps = lFrames * 1000.0 / static_cast<double>(lTimer.elapsed());
    Spin([&] { return lVI.GetCmdStatus(viLiveFoto) != viPending; });
    std::printf("live frames per second (auto refresh, one kept connection): %.1f\n", lFps);

    // 2. Archive frames one after another.
    std::vector<double> lTimes;
    bool lDone = false;
    lVI.SetOnArchiveFotoDone([&](TVI&) { lDone = true; });
    const TDateTime lStart = EncodeDate(2026, 12, 10) + EncodeTime(12, 0, 0, 0);
    for (int i = 0; i < lRequests; ++i) {
        lVI.SetNewArhFotoDate(lStart + i / 86400.0);
        lDone = false;
        QElapsedTimer lOne;
        lOne.start();
        lVI.StartRefreshArhiveFoto();
        Spin([&] { return lDone; });
        lTimes.push_back(static_cast<double>(lOne.nsecsElapsed()) / 1e6);
        if (lVI.GetCmdStatus(viArhFoto) != viSuccess) {
            std::fprintf(stderr, "bench_vi: archive request failed\n");
            return 1;
        }
    }
    const double lMedian = Percentile(lTimes, 0.5), lP99 = Percentile(lTimes, 0.99);
    std::printf("archive frame, TVI: median %.2f ms, p99 %.2f ms (%d requests)\n", lMedian, lP99, lRequests);

    // The same requests by one curl process, its connection kept, the session cookie given.
    QProcess lLogin;
    lLogin.start(QStringLiteral("curl"), {"-s", "-o", "/dev/null", "-D", "-",
                                          lServer + "/api-json.dyn?cmd=getdevtree&u=admin&p=" + lMd5});
    lLogin.waitForFinished(10000);
    const QByteArray lHead = lLogin.readAllStandardOutput();
    const int lAt = lHead.indexOf("WSID=");
    const QByteArray lWsid = lHead.mid(lAt, lHead.indexOf(';', lAt) - lAt);
    QStringList lCurlArgs = {"-s", "-H", QString::fromLatin1("Cookie: " + lWsid + "; "), "-w",
                             "%{time_total}\\n"};
    for (int i = 0; i < lRequests; ++i) {
        const qint64 lMs = LocalToUtcMSecs(lStart + i / 86400.0, 0);
        lCurlArgs << "-o"
                  << "/dev/null"
                  << lServer + QStringLiteral(
                                   "/archive-video-frame.dyn?device=%7BCam+1+Id%7D&ts=%1&time=%1&still=yes&"
                                   "res=Original")
                                   .arg(lMs);
    }
    QProcess lCurl;
    lCurl.start(QStringLiteral("curl"), lCurlArgs);
    if (!lCurl.waitForFinished(120000) || lCurl.exitCode() != 0) {
        std::fprintf(stderr, "bench_vi: curl failed\n");
        return 1;
    }
    std::vector<double> lCurlTimes;
    for (const QByteArray& lLine : lCurl.readAllStandardOutput().split('\n'))
        if (!lLine.trimmed().isEmpty())
            lCurlTimes.push_back(lLine.trimmed().toDouble() * 1000.0);
    const double lCurlMedian = Percentile(lCurlTimes, 0.5), lCurlP99 = Percentile(lCurlTimes, 0.99);
    std::printf("archive frame, curl: median %.2f ms, p99 %.2f ms (%zu requests)\n", lCurlMedian, lCurlP99,
                lCurlTimes.size());
    std::printf("ratio TVI / curl: median %.2f, p99 %.2f\n", lMedian / lCurlMedian, lP99 / lCurlP99);

    // 3. The GUI thread's longest stall while 100 requests run.
    QElapsedTimer lClock;
    lClock.start();
    qint64 lLast = lClock.nsecsElapsed(), lMaxGap = 0;
    QTimer lTick;
    lTick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&lTick, &QTimer::timeout, [&] {
        const qint64 lNow = lClock.nsecsElapsed();
        lMaxGap = std::max(lMaxGap, lNow - lLast);
        lLast = lNow;
    });
    lTick.start(1);
    int lCount = 0;
    lVI.SetOnLiveFotoDone([&](TVI& A) {
        if (++lCount < 100)
            A.StartRefreshLiveFoto();
    });
    lLast = lClock.nsecsElapsed();
    lVI.StartRefreshLiveFoto();
    Spin([&] { return lCount >= 100; });
    lTick.stop();
    std::printf("GUI thread's longest gap between 1 ms ticks during 100 requests: %.2f ms (target < 5 ms)\n",
                static_cast<double>(lMaxGap) / 1e6);

    lVI.SetActive(false);
    lSim.kill();
    lSim.waitForFinished();
    return 0;
}
