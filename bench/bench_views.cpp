// The three front-desk lists on a very busy day: 50,000 log entries and 25,000 finished visits,
// rebuilt from a generated day log at opening, each list shown offscreen in its list view.
//   BM_FireCardOnly        one card event on the document alone (log line appended on tmpfs)
//   BM_FireCardWithViews   the same event with the three views brought up to date and repainted
//                          (target: < 5 ms per event)
//   BM_FireCardSortedReport as above with the report sorted by sum, so every check-out re-sorts it
//   BM_SortReportBySum     a header click on "Sum" (ascending and descending in turn) with the
//                          report view repainted (target: < 100 ms)
//   TARVO_BENCH_TMPFS_DIR  folder for the data (default: /dev/shm)

#include "frontdesk/uLogLines.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uListView.h"

#include "base/uClock.h"
#include "base/uCodePage.h"
#include "base/uKeyNum.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace Tarvo;

namespace {

constexpr int cEvents = 50000;
constexpr int cCards = 2000;
// Cards kept out of the generated day: the benchmark checks them in and out.
constexpr int cSpareCards = 500;

TOrv_KEYNUM CardNumber(int AIdx) {
    return MakeKeyNum({std::uint8_t(AIdx), std::uint8_t(AIdx >> 8), 0x20});
}
QString CardName(int AIdx) {
    // Names that do not sort like their numbers.
    return QStringLiteral("Guest %1").arg((AIdx * 7919) % 10007);
}

// The desk as the main window holds it: document, adapters, models and views.
class TDesk {
public:
    TDesk() : m_oDir(DataRoot() + QStringLiteral("/tarvo-views-XXXXXX")) {
        SetCodePageOverride(QStringLiteral("CP1252"));
        const TDate day = EncodeDate(2024, 3, 11);
        m_dtNow = day + EncodeTime(22, 30, 0, 0); // hours left in the business day for the events
        SetNowFunc([this] { return m_dtNow; });
        WriteFiles(day);
        m_oDoc.SetFileName(m_oDir.filePath(QStringLiteral("Tarvo.xml")));
        m_oDoc.SetLangDir(m_oDir.filePath(QStringLiteral("Languages")));
        m_oDoc.SetOnWriteError([this](const QString& AMessage) { m_sError = AMessage; });
        m_oDoc.Open();

        m_pLog = std::make_unique<TLogViewData>(m_oDoc);
        m_pIn = std::make_unique<TInViewData>(m_oDoc);
        m_pRep = std::make_unique<TRepViewData>(m_oDoc);
        m_pLogView = MakeView(*m_pLog, 7);
        m_pInView = MakeView(*m_pIn, 7);
        m_pRepView = MakeView(*m_pRep, 8);
        m_oDoc.SetOnChange([this](TDocUpdate& ADoc) { OnChange(ADoc.ChangeMask()); });
        m_pLog->Update();
        m_pIn->Update();
        m_pRep->Update();
        Repaint();
    }
    ~TDesk() {
        m_pLogView.reset();
        m_pInView.reset();
        m_pRepView.reset();
        SetNowFunc({});
    }

    void Present(int ACard) {
        m_dtNow += 10.0 / MSecsPerDay;
        m_oDoc.FireCard(CardNumber(ACard));
    }
    // What the screen shows after an event: the visible rows painted.
    void Repaint() {
        for (TListView* v : {m_pLogView.get(), m_pInView.get(), m_pRepView.get()})
            v->viewport()->repaint();
    }
    void SetViewsActive(bool AValue) { m_fViews = AValue; }

    TTarvoDoc m_oDoc;
    std::unique_ptr<TRepViewData> m_pRep;
    std::unique_ptr<TListView> m_pRepView;
    QString m_sError;

private:
    static QString DataRoot() {
        const QByteArray env = qgetenv("TARVO_BENCH_TMPFS_DIR");
        return env.isEmpty() ? QStringLiteral("/dev/shm") : QString::fromLocal8Bit(env);
    }

    void WriteFiles(TDate ADay) {
        QByteArray xml =
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
            "<Main><StartDayTime>06:00</StartDayTime><Tariffication>1</Tariffication>"
            "<AccPrice>-2</AccPrice></Main>\r\n<TimeZones>"
            "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"2\"/>"
            "</TimeZones>\r\n<Cards>\r\n";
        for (int i = 0; i < cCards + cSpareCards; ++i)
            xml += QStringLiteral("<Item%1 number=\"%2\" name=\"%3\" level=\"%4\"><Commant/></Item%1>\r\n")
                       .arg(i + 1)
                       .arg(KeyNumToStr(CardNumber(i), KEYVIEW_HEX))
                       .arg(CardName(i))
                       .arg(i % 10)
                       .toUtf8();
        xml += "</Cards>\r\n</Tarvo>\r\n";
        QFile data(m_oDir.filePath(QStringLiteral("Tarvo.xml")));
        if (!data.open(QIODevice::WriteOnly) || data.write(xml) < 0)
            m_sError = QStringLiteral("cannot write the data file");
        data.close();

        // 25,000 visits between 06:00 and 22:00, each guest in then out.
        QByteArray log;
        const TDateTime start = ADay + EncodeTime(6, 0, 0, 0);
        const double step = (16.0 / 24.0) / cEvents;
        for (int i = 0; i < cEvents; ++i) {
            const int guest = (i / 2) % cCards;
            TCard card;
            card.m_sUserName = CardName(guest);
            card.m_nLevel = guest % 10;
            TLogLine line;
            line.m_dtTime = start + i * step;
            line.m_nKind = i % 2 == 0 ? TLogKind::In : TLogKind::Out;
            SetLogLineCard(line, card);
            line.m_nSum = i % 2 == 0 ? 0 : Extended((i / 2) % 997) / 4;
            if (i % 7 == 0)
                line.m_sComment = QStringLiteral("window seat");
            log += ToAnsi(FormatLogLineTxt(line, true, -2)) + "\r\n";
        }
        QDir(m_oDir.path()).mkpath(QStringLiteral("Logs"));
        QFile file(m_oDir.filePath(QStringLiteral("Logs/") +
                                   LogFileName(QStringLiteral("L"), ADay, LOG_PERIOD_DAY, LOG_FORMAT_TXT)));
        if (!file.open(QIODevice::WriteOnly) || file.write(log) < 0)
            m_sError = QStringLiteral("cannot write the day log");
    }

    std::unique_ptr<TListView> MakeView(TVirtualListViewData& AData, int AColumns) {
        std::vector<TListViewColumn> cols;
        for (int i = 0; i < AColumns; ++i)
            cols.push_back({QStringLiteral("C%1").arg(i), 75, Qt::AlignLeft | Qt::AlignVCenter, i == 3});
        auto* model = new TListViewModel(AData, std::move(cols));
        auto view = std::make_unique<TListView>();
        model->setParent(view.get());
        view->SetListModel(model);
        view->resize(617, 460);
        view->show();
        TListView* pView = view.get();
        AData.SetOnUpdateAllView([pView](TVirtualListViewData&) { pView->UpdateAllView(true); });
        return view;
    }

    // The main window's reaction to the change bits.
    void OnChange(std::uint32_t AMask) {
        if (!m_fViews)
            return;
        if (AMask & DCH_LOG)
            m_pLog->Update();
        if (AMask & DCH_INUSERS)
            m_pIn->Update();
        if (AMask & (DCH_REPORT | DCH_REPVIEW))
            m_pRep->Update();
    }

    QTemporaryDir m_oDir;
    TDateTime m_dtNow = 0;
    bool m_fViews = true;
    std::unique_ptr<TLogViewData> m_pLog;
    std::unique_ptr<TInViewData> m_pIn;
    std::unique_ptr<TListView> m_pLogView;
    std::unique_ptr<TListView> m_pInView;
};

TDesk& Desk() {
    static TDesk* desk = new TDesk;
    return *desk;
}

bool Ready(benchmark::State& AState) {
    TDesk& d = Desk();
    if (!d.m_sError.isEmpty() || d.m_oDoc.LogList().Count() < cEvents ||
        d.m_oDoc.Report().Count() < cEvents / 2) {
        AState.SkipWithError(("desk not ready: " + d.m_sError.toStdString() + " log " +
                              std::to_string(d.m_oDoc.LogList().Count()))
                                 .c_str());
        return false;
    }
    return true;
}

void Events(benchmark::State& AState, bool AViews, int ASortColumn) {
    if (!Ready(AState))
        return;
    TDesk& d = Desk();
    d.SetViewsActive(AViews);
    d.m_pRep->SetSortColumn(ASortColumn);
    d.m_pRep->Update();
    int n = 0;
    for (auto _ : AState) {
        // Each spare card in, later out: every other event is a check-out with a new report row.
        d.Present(cCards + (n++ / 2) % cSpareCards);
        if (AViews)
            d.Repaint();
    }
    d.SetViewsActive(true);
    AState.counters["log"] = d.m_oDoc.LogList().Count();
    AState.counters["report"] = d.m_oDoc.Report().Count();
}

void BM_FireCardOnly(benchmark::State& AState) {
    Events(AState, false, 0);
}
void BM_FireCardWithViews(benchmark::State& AState) {
    Events(AState, true, 0);
}
void BM_FireCardSortedReport(benchmark::State& AState) {
    Events(AState, true, rcSum);
}

void BM_SortReportBySum(benchmark::State& AState) {
    if (!Ready(AState))
        return;
    TDesk& d = Desk();
    d.m_pRep->SetSortColumn(0);
    for (auto _ : AState) {
        d.m_pRep->ColumnClick(rcSum - 1);
        d.m_pRepView->viewport()->repaint();
    }
    AState.counters["rows"] = d.m_pRep->GetCount();
}

} // namespace

// Fixed iterations: every event adds to the day, which should stay near its 50,000 entries.
BENCHMARK(BM_FireCardOnly)->Unit(benchmark::kMillisecond)->Iterations(1000);
BENCHMARK(BM_FireCardWithViews)->Unit(benchmark::kMillisecond)->Iterations(400);
BENCHMARK(BM_FireCardSortedReport)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_SortReportBySum)->Unit(benchmark::kMillisecond)->Iterations(20);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
