// The report list's "Export" menu driven as the operator drives it: the CSV file and the workbook
// saved through their dialogs, and the workbook opened with the desktop's spreadsheet application (a
// recording fake one registered in private XDG folders; it writes the file it was asked to open into a
// FIFO the test reads).

#include "apps/Tarvo/uFmMain.h"

#include "base/uDesktopApps.h"
#include "base/uKeyNum.h"
#include "base/uListExport.h"
#include "base/uShellOpen.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uListView.h"
#include "gui/uListViewModel.h"
#include "sheet/uSheet.h"
#include "tests/common/FakeDesktopApp.h"
#include "tests/common/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0C, 0x0B, 0x0A});
const TOrv_KEYNUM cNoName = MakeKeyNum({0x0D});
const TOrv_KEYNUM cCid = MakeKeyNum({0xF1, 0xE0});

// One zone all day at 2 per minute, whole amounts, per minute; a name with the CSV separator, a card
// without a name.
QByteArray DataFile(int AKeyView = 0) {
    return QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<Tarvo version=\"1.2\">\r\n<Main keyView=\"") +
           QByteArray::number(AKeyView) +
           "\"><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication>"
           "<AccPrice>0</AccPrice></Main>\r\n<Reader cardRegInterval=\"0\"/>\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
           "</TimeZones>\r\n<Cards>\r\n"
           "<Item1 number=\"0A0B0C\" name=\"Ann; Lee\" level=\"0\"><Commant>window seat</Commant></Item1>\r\n"
           "<Item2 number=\"0D\" name=\"\" level=\"10\"/>\r\n"
           "<Item3 number=\"E0F1\" name=\"Cid\" level=\"5\"/>\r\n"
           "</Cards>\r\n<Popup timeOut=\"60\" max=\"20\"/>\r\n</Tarvo>\r\n";
}

QString Cell(TListView* AList, int ARow, int AColumn) {
    return AList->model()->data(AList->model()->index(ARow, AColumn)).toString();
}

// The list's captions without the photo column.
QStringList ShownCaptions(TListView* AList) {
    QStringList l;
    for (int c = 1; c < AList->model()->columnCount(); ++c)
        l << AList->model()->headerData(c, Qt::Horizontal).toString();
    return l;
}

// Runs AAction; every modal dialog it opens is handed to AAnswer, which closes it. Returns the class
// names of the dialogs seen, in order.
QStringList AnswerModals(const std::function<void()>& AAction, const std::function<void(QDialog*)>& AAnswer) {
    QStringList lSeen;
    QTimer lWatch;
    lWatch.setInterval(5);
    QObject::connect(&lWatch, &QTimer::timeout, [&] {
        if (auto* lDlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            lDlg && lDlg->isVisible()) {
            lSeen << QString::fromLatin1(lDlg->metaObject()->className());
            AAnswer(lDlg);
            if (lDlg->isVisible())
                lDlg->reject();
        }
    });
    lWatch.start();
    AAction();
    return lSeen;
}

// Answers a save dialog with AName (empty: cancel) and the name filter AFilter (empty: as offered);
// VFilters gets the filters it offered. An error box is noted in VError and closed.
std::function<void(QDialog*)> SaveAs(const QString& AName, const QString& AFilter, QStringList* VFilters,
                                     QString* VError = nullptr) {
    return [=](QDialog* ADlg) {
        if (auto* lBox = qobject_cast<QMessageBox*>(ADlg)) {
            if (VError)
                *VError = lBox->text();
            lBox->accept();
            return;
        }
        auto* lFile = qobject_cast<QFileDialog*>(ADlg);
        if (!lFile)
            return;
        if (VFilters)
            *VFilters = lFile->nameFilters();
        if (AName.isEmpty())
            return; // rejected by the watcher
        if (!AFilter.isEmpty())
            lFile->selectNameFilter(AFilter);
        lFile->selectFile(AName);
        ADlg->accept(); // QFileDialog::accept, through the public base
    };
}

QByteArray FileBytes(const QString& AFileName) {
    QFile f(AFileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestRepExport : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TFixedClock> m_oClock;
    std::unique_ptr<TLocaleOverride> m_oLocale;
    std::unique_ptr<TEnvOverride> m_oCache, m_oData, m_oConfig, m_oDataDirs, m_oConfigDirs;

    // The private desktop: its own cache (the exports folder) and no application registered.
    void PrivateDesktop() {
        m_oDir = std::make_unique<TTempDir>();
        auto dir = [this](const char* AName) {
            return QFile::encodeName(m_oDir->FilePath(QLatin1String(AName)));
        };
        m_oCache = std::make_unique<TEnvOverride>("XDG_CACHE_HOME", dir("cache"));
        m_oData = std::make_unique<TEnvOverride>("XDG_DATA_HOME", dir("data"));
        m_oConfig = std::make_unique<TEnvOverride>("XDG_CONFIG_HOME", dir("config"));
        // Nor the system's applications: a spreadsheet application installed on the test machine
        // must not count as registered.
        m_oDataDirs = std::make_unique<TEnvOverride>("XDG_DATA_DIRS",
                                                     FakeDesktopApp::SystemDataWithoutApplications(*m_oDir));
        m_oConfigDirs = std::make_unique<TEnvOverride>("XDG_CONFIG_DIRS", dir("system-config"));
    }

    std::unique_ptr<TfmMain> MakeMain(int AKeyView = 0) {
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile(AKeyView));
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().Open();
        lMain->show();
        lMain->pcMain->setCurrentWidget(lMain->tsReport);
        return lMain;
    }
    void CardAt(TfmMain& AMain, const TOrv_KEYNUM& AKey, int AHour, int AMin) {
        m_oClock->Set(MakeDateTime(2026, 3, 2, AHour, AMin, 0));
        AMain.HandleCard(1, AKey);
    }
    // Three visits, each with its own sum: the nameless card 10:05-10:10, Ann 10:00-10:30, Cid 10:20-10:32.
    void ThreeVisits(TfmMain& AMain) {
        CardAt(AMain, cAnn, 10, 0);
        CardAt(AMain, cNoName, 10, 5);
        CardAt(AMain, cNoName, 10, 10);
        CardAt(AMain, cCid, 10, 20);
        CardAt(AMain, cAnn, 10, 30);
        CardAt(AMain, cCid, 10, 32);
    }
    // The CSV export through the menu's command into AName in the test folder; the rows read back.
    TTextRows ExportCsv(TfmMain& AMain, const QString& AName = QStringLiteral("report.csv")) {
        const QString lFile = m_oDir->FilePath(AName);
        AnswerModals([&] { AMain.actRepExportCsv->trigger(); }, SaveAs(lFile, QString(), nullptr));
        return QFileInfo::exists(lFile) ? ReadCsvRows(lFile) : TTextRows();
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit()); }
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>();
        m_oClock = std::make_unique<TFixedClock>(MakeDateTime(2026, 3, 2, 10, 0, 0), 1000);
        PrivateDesktop();
    }
    void cleanup() {
        m_oClock.reset();
        m_oLocale.reset();
        m_oConfig.reset();
        m_oDataDirs.reset();
        m_oConfigDirs.reset();
        m_oData.reset();
        m_oCache.reset();
    }

    // The menu and its commands as the operator finds them.
    void exportMenu() {
        auto w = MakeMain();
        auto* lMenu = w->menuReport->findChild<QMenu*>(QStringLiteral("miExport"));
        QVERIFY(lMenu);
        QStringList lNames, lCaptions;
        for (QAction* a : lMenu->actions()) {
            lNames << a->objectName();
            lCaptions << a->text();
        }
        QCOMPARE(lNames, QStringList({"actRepExportCsv", "actRepExportExcel", "actRepExportOOCalc",
                                      "actRepExportSheet"}));
        QCOMPARE(lCaptions,
                 QStringList({"CSV...", "Microsoft Excel", "OpenOffice Calc", "Spreadsheet file..."}));
        QVERIFY(w->actRepExportCsv->isEnabled());
        QVERIFY(w->actRepExportSheet->isEnabled());
    }

    // The header row holds the captions the list shows at the moment of export; an empty report gives
    // that line alone.
    void emptyReportGivesTheHeaderLine_data() {
        QTest::addColumn<QStringList>("captions"); // set on the list first; empty: as built
        QTest::newRow("built-in captions") << QStringList();
        QTest::newRow("translated captions")
            << QStringList({"Kamera", "Nr.", "Benutzer", "Kommentar", "Stufe", "Ankunft", "Abgang", "Summe"});
    }
    void emptyReportGivesTheHeaderLine() {
        QFETCH(QStringList, captions);
        auto w = MakeMain();
        if (!captions.isEmpty())
            w->lvReport->ListModel()->SetColumnCaptions(captions);
        const QStringList lShown = ShownCaptions(w->lvReport);
        QCOMPARE(lShown.size(), 7);
        if (!captions.isEmpty())
            QCOMPARE(lShown, captions.mid(1));
        const TTextRows lRows = ExportCsv(*w);
        QCOMPARE(lRows.size(), size_t(1));
        QCOMPARE(lRows[0], lShown);
        QCOMPARE(FileBytes(m_oDir->FilePath(QStringLiteral("report.csv"))).count('\n'), 1);
    }

    // Column 2 is the name, quoted in the file when it holds the separator; column 3 the card's
    // comment; the name reads back whole.
    void nameWithTheSeparatorIsQuoted() {
        auto w = MakeMain();
        ThreeVisits(*w);
        const TTextRows lRows = ExportCsv(*w);
        QCOMPARE(lRows.size(), size_t(4));
        QCOMPARE(lRows[2].mid(1, 2), QStringList({"Ann; Lee", "window seat"}));
        const QByteArray lBytes = FileBytes(m_oDir->FilePath(QStringLiteral("report.csv")));
        QVERIFY2(lBytes.contains(";\"Ann; Lee\";window seat;"), lBytes.constData());
    }

    // A card without a name shows its key in braces, in the key view the settings choose.
    void namelessCardExportsItsKeyInBraces_data() {
        QTest::addColumn<int>("keyView");
        QTest::addColumn<QString>("text");
        QTest::newRow("hexadecimal") << 0 << "{0D}";
        QTest::newRow("WIN-PAK decimal") << KEYVIEW_WINPAK << "{13}";
    }
    void namelessCardExportsItsKeyInBraces() {
        QFETCH(int, keyView);
        QFETCH(QString, text);
        auto w = MakeMain(keyView);
        ThreeVisits(*w);
        const TTextRows lRows = ExportCsv(*w);
        QCOMPARE(lRows.size(), size_t(4));
        QCOMPARE(lRows[1].at(1), text);
        QCOMPARE(lRows[1].at(2), QString());
    }

    // Sorted by sum, the rows follow the list's order with its texts; column 1 keeps each visit's own
    // number, and that visit's sum is on its row.
    void sortedReportKeepsVisitNumbers() {
        auto w = MakeMain();
        ThreeVisits(*w);
        Q_EMIT w->lvReport->headerClicked(Tarvo::rcSum - 1);
        const TTextRows lRows = ExportCsv(*w);
        QCOMPARE(lRows.size(), size_t(4));
        QStringList lNumbers;
        for (int r = 0; r < 3; ++r) {
            for (int c : {1, 4, 5, 6, 7})
                QCOMPARE(lRows[size_t(r) + 1].at(c - 1), Cell(w->lvReport, r, c));
            const int lVisit = lRows[size_t(r) + 1].at(0).toInt();
            QVERIFY(lVisit >= 1 && lVisit <= 3);
            const QString lSum =
                Tarvo::TTarvoDoc::PriceToStr(w->Doc().Report().Get(lVisit - 1)->m_nSum, w->Doc().AccPrice());
            QCOMPARE(lRows[size_t(r) + 1].at(6), lSum);
            lNumbers << lRows[size_t(r) + 1].at(0);
        }
        // The sort moved the rows: the visits are no longer in their own order.
        QVERIFY2(lNumbers != QStringList({"1", "2", "3"}), qPrintable(lNumbers.join(u',')));
    }

    // The CSV command's save dialog: the catalogue's filter; ".csv" added to a name without an
    // extension; cancelling writes nothing.
    void csvSaveDialog_data() {
        QTest::addColumn<QString>("typed"); // empty: cancelled
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "day"
                                      << "day.csv";
        QTest::newRow("own extension") << "day.txt"
                                       << "day.txt";
        QTest::newRow("cancelled") << ""
                                   << "";
    }
    void csvSaveDialog() {
        QFETCH(QString, typed);
        QFETCH(QString, written);
        auto w = MakeMain();
        ThreeVisits(*w);
        const QString lFolder = m_oDir->FilePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(lFolder));
        QStringList lFilters;
        const QStringList lSeen =
            AnswerModals([&] { w->actRepExportCsv->trigger(); },
                         SaveAs(typed.isEmpty() ? QString() : lFolder + u'/' + typed, QString(), &lFilters));
        QCOMPARE(lSeen, QStringList({"QFileDialog"}));
        QCOMPARE(lFilters, QStringList({"CSV files (*.csv)"}));
        const QStringList lFiles = QDir(lFolder).entryList(QDir::Files);
        QCOMPARE(lFiles, written.isEmpty() ? QStringList() : QStringList({written}));
        if (!written.isEmpty())
            QCOMPARE(ReadCsvRows(lFolder + u'/' + written).size(), size_t(4));
    }

    // "Spreadsheet file...": the chosen filter gives the type of a name without one; the workbook
    // reads back as the CSV export's table.
    void workbookSavedWhereTheOperatorSays_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("written");
        QTest::newRow("xlsx by the filter") << "day"
                                            << "Excel workbook (*.xlsx)"
                                            << "day.xlsx";
        QTest::newRow("ods by the filter") << "day"
                                           << "OpenDocument spreadsheet (*.ods)"
                                           << "day.ods";
        QTest::newRow("typed type kept") << "day.ods"
                                         << "Excel workbook (*.xlsx)"
                                         << "day.ods";
    }
    void workbookSavedWhereTheOperatorSays() {
        QFETCH(QString, typed);
        QFETCH(QString, filter);
        QFETCH(QString, written);
        auto w = MakeMain();
        ThreeVisits(*w);
        const TTextRows lCsv = ExportCsv(*w);
        const QString lFolder = m_oDir->FilePath(QStringLiteral("out"));
        QVERIFY(QDir().mkpath(lFolder));
        QVERIFY(w->actRepExportSheet);
        AnswerModals([&] { w->actRepExportSheet->trigger(); },
                     SaveAs(lFolder + u'/' + typed, filter, nullptr));
        QCOMPARE(QDir(lFolder).entryList(QDir::Files), QStringList({written}));
        const TSheetRows lSheet = ReadSheetFile(lFolder + u'/' + written);
        QCOMPARE(lSheet.size(), lCsv.size());
        for (size_t r = 0; r < lSheet.size(); ++r)
            QCOMPARE(lSheet[r], lCsv[r]);
    }

    // The application commands: disabled without a default application for their type; with one,
    // enabled, naming it, and opening a new workbook of the business day that holds the report.
    void workbookOpensWithTheDesktopsApplication_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("other");
        QTest::addColumn<QString>("mimeType");
        QTest::addColumn<QString>("ext");
        QTest::newRow("Microsoft Excel")
            << "actRepExportExcel"
            << "actRepExportOOCalc" << QString::fromLatin1(XlsxMimeType) << "xlsx";
        QTest::newRow("OpenOffice Calc") << "actRepExportOOCalc"
                                         << "actRepExportExcel" << QString::fromLatin1(OdsMimeType) << "ods";
    }
    void workbookOpensWithTheDesktopsApplication() {
        QFETCH(QString, action);
        QFETCH(QString, other);
        QFETCH(QString, mimeType);
        QFETCH(QString, ext);
        if (QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty())
            QSKIP("gio is not installed");
        {
            auto w = MakeMain();
            auto* a = w->findChild<QAction*>(action);
            QVERIFY(a);
            QVERIFY(!a->isEnabled());
            QVERIFY2(a->toolTip().contains(u'.' + ext), qPrintable(a->toolTip()));
        }
        const QString lFifo = FakeDesktopApp::Register(*m_oDir, mimeType);
        QVERIFY(!lFifo.isEmpty());
        SetShellOpenFunc(TShellOpenFunc()); // the desktop's own opener, as without a window installing one
        auto w = MakeMain();
        ThreeVisits(*w);
        auto* a = w->findChild<QAction*>(action);
        QVERIFY(a->isEnabled());
        QVERIFY(!w->findChild<QAction*>(other)->isEnabled());
        QVERIFY2(a->toolTip().contains(QLatin1String("Fake Sheet")) && a->toolTip().contains(u'.' + ext),
                 qPrintable(a->toolTip()));
        const TTextRows lCsv = ExportCsv(*w);
        QCOMPARE(AnswerModals([&] { a->trigger(); }, SaveAs(QString(), QString(), nullptr)), QStringList());
        const QString lOpened = FakeDesktopApp::ReadOpened(lFifo);
        const QString lExpected =
            m_oDir->FilePath(QStringLiteral("cache/tarvo/exports/Report 2026-03-02.") + ext);
        QCOMPARE(lOpened, lExpected);
        const TSheetRows lSheet = ReadSheetFile(lOpened);
        QCOMPARE(lSheet.size(), lCsv.size());
        for (size_t r = 0; r < lSheet.size(); ++r)
            QCOMPARE(lSheet[r], lCsv[r]);
    }

    // A file that cannot be written is reported in the error box naming it, and the report stays as
    // it was: the CSV file in a folder that does not exist, the workbook where the exports folder
    // cannot be made (the cache is a plain file).
    void failureGoesToTheErrorBox_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("dialogs");
        QTest::addColumn<QString>("named"); // in the error text
        QTest::newRow("CSV file") << "actRepExportCsv" << QStringList({"QFileDialog", "QMessageBox"})
                                  << "report.csv";
        QTest::newRow("workbook for the application")
            << "actRepExportExcel" << QStringList({"QMessageBox"}) << "exports";
    }
    void failureGoesToTheErrorBox() {
        QFETCH(QString, action);
        QFETCH(QStringList, dialogs);
        QFETCH(QString, named);
        const bool lWorkbook = action == QLatin1String("actRepExportExcel");
        if (lWorkbook) {
            if (QStandardPaths::findExecutable(QStringLiteral("gio")).isEmpty())
                QSKIP("gio is not installed");
            QVERIFY(!FakeDesktopApp::Register(*m_oDir, QString::fromLatin1(XlsxMimeType)).isEmpty());
            m_oDir->WriteFile(QStringLiteral("cache"), "not a folder");
        }
        auto w = MakeMain();
        ThreeVisits(*w);
        auto* a = w->findChild<QAction*>(action);
        QVERIFY(a && a->isEnabled());
        const QString lFile = m_oDir->FilePath(QStringLiteral("missing/folder/report.csv"));
        QString lError;
        const QStringList lSeen =
            AnswerModals([&] { a->trigger(); }, SaveAs(lFile, QString(), nullptr, &lError));
        QCOMPARE(lSeen, dialogs);
        QVERIFY2(lError.contains(named), qPrintable(lError));
        QVERIFY(!QFileInfo::exists(lFile));
        QCOMPARE(w->Doc().Report().Count(), 3);
        QCOMPARE(w->lvReport->model()->rowCount(), 3);
    }

    // The menu open over the report, for the documentation when TARVO_SCREENSHOT_DIR names a folder.
    void screenshot() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        auto w = MakeMain();
        ThreeVisits(*w);
        auto* lSub = w->menuReport->findChild<QMenu*>(QStringLiteral("miExport"));
        w->menuReport->popup(w->mapToGlobal(QPoint(60, 90)));
        w->menuReport->setActiveAction(lSub->menuAction());
        lSub->popup(w->mapToGlobal(QPoint(60 + w->menuReport->width() - 4, 90)));
        lSub->setActiveAction(w->actRepExportCsv);
        QPixmap lShot = w->grab();
        {
            QPainter p(&lShot);
            const QPoint lAt = w->lvReport->mapTo(w.get(), QPoint(140, 90));
            p.drawPixmap(lAt, w->menuReport->grab());
            p.drawPixmap(lAt + QPoint(w->menuReport->width() - 4, 0), lSub->grab());
        }
        QVERIFY(QDir().mkpath(lDir));
        QVERIFY(lShot.save(lDir + QStringLiteral("/report-export.png")));
    }
};

QTEST_MAIN(TestRepExport)
#include "test_repexport.moc"
