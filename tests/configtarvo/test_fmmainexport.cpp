// The zones and cards lists' "Export" and "Import" commands driven as the operator drives them: files
// chosen in the file dialogs, the workbook opened with the desktop's spreadsheet application (a
// recording fake one registered in private XDG folders; it writes the file it was asked to open into a
// FIFO the test reads), failures shown in the error box.

#include "tests/configtarvo/ConfigBench.h"

#include "apps/ConfigTarvo/uDlgProcessing.h"
#include "base/uDesktopApps.h"
#include "base/uListExport.h"
#include "config/uTableImport.h"
#include "gui/uListView.h"
#include "gui/uListViewModel.h"
#include "sheet/uSheetTable.h"
#include "tests/common/FakeDesktopApp.h"
#include "tests/common/TestSupport.h"

#include <QAction>
#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace ConfigBench;

namespace {

// Answers the modal dialogs that come up while it lives: a file dialog gets AName (empty: cancelled)
// and its filters are kept; an error box's text is kept and the box closed.
class TDialogAnswerer {
public:
    explicit TDialogAnswerer(const QString& AName) : m_sName(AName) {
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            QWidget* lModal = QApplication::activeModalWidget();
            if (auto* lBox = qobject_cast<QMessageBox*>(lModal)) {
                m_aErrors << lBox->text();
                lBox->accept();
            } else if (auto* lFile = qobject_cast<QFileDialog*>(lModal); lFile && lFile->isVisible()) {
                m_aFilters = lFile->nameFilters();
                m_aDialogs << lFile->objectName();
                if (m_sName.isEmpty()) {
                    lFile->reject();
                    return;
                }
                lFile->selectFile(m_sName);
                static_cast<QDialog*>(lFile)->accept(); // QFileDialog::accept, through the public base
            }
        });
        m_oTimer.start(5);
    }
    QStringList m_aErrors, m_aFilters, m_aDialogs;

private:
    QString m_sName;
    QTimer m_oTimer;
};

// Notes every processing box shown while it lives; with ACancelAt > 0 it presses the box's Cancel when
// the progress reaches that row.
class TProcessingWatcher : public QObject {
public:
    explicit TProcessingWatcher(int ACancelAt) : m_nCancelAt(ACancelAt) { qApp->installEventFilter(this); }
    int m_nShown = 0;

protected:
    bool eventFilter(QObject* AObject, QEvent* AEvent) override {
        auto* lBox = qobject_cast<TfmProcessingDlg*>(AObject);
        if (lBox && AEvent->type() == QEvent::Show &&
            lBox->objectName() == QStringLiteral("dlgImportProcessing")) {
            ++m_nShown;
            if (m_nCancelAt > 0)
                connect(lBox->pbProgress, &QProgressBar::valueChanged, lBox, [this, lBox](int AValue) {
                    if (AValue == m_nCancelAt)
                        lBox->btnCancel->click();
                });
        }
        return false;
    }

private:
    int m_nCancelAt;
};

QString Cell(TListView* AList, int ARow, int AColumn) {
    return AList->model()->data(AList->model()->index(ARow, AColumn)).toString();
}

// Every row of the list as shown, from column 1 on (column 0 is the row number).
TTextRows ShownRows(TListView* AList) {
    TTextRows lRows;
    for (int r = 0; r < AList->model()->rowCount(); ++r) {
        QStringList lRow;
        for (int c = 1; c < AList->model()->columnCount(); ++c)
            lRow << Cell(AList, r, c);
        lRows.push_back(lRow);
    }
    return lRows;
}

} // namespace

class TestFmMainExport : public QObject {
    Q_OBJECT

    TBench m_oBench;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TEnvOverride> m_oCache, m_oData, m_oConfig, m_oDataDirs, m_oConfigDirs;

    TListView* List(bool ACards) { return ACards ? m_oBench.Main().lvCards : m_oBench.Main().lvZones; }
    QAction* ImportCsv(bool ACards) {
        return ACards ? m_oBench.Main().actCardImportCsv : m_oBench.Main().actTzImportCsv;
    }

private Q_SLOTS:
    void initTestCase() { m_oBench.InitCase(); }
    void init() {
        m_oBench.Init();
        // A private desktop: its own cache (the exports folder) and no application registered.
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
        m_oBench.WriteDataFile(
            {{QStringLiteral("0A0B0C"), QStringLiteral("Ann; Lee"), QStringLiteral("window")},
             {QStringLiteral("E0F1"), QStringLiteral("Cid"), QString()}},
            nullptr);
    }
    void cleanup() {
        m_oBench.Cleanup();
        m_oConfig.reset();
        m_oDataDirs.reset();
        m_oConfigDirs.reset();
        m_oData.reset();
        m_oCache.reset();
        m_oDir.reset();
    }
    void cleanupTestCase() { m_oBench.CleanupCase(); }

    // The Excel export is offered only when the desktop has an application for .xlsx; the CSV commands
    // always, the tool bar's on the lists' tabs.
    void excelExportFollowsTheDesktop_data() {
        QTest::addColumn<bool>("application");
        QTest::newRow("no application") << false;
        QTest::newRow("fake application") << true;
    }
    void excelExportFollowsTheDesktop() {
        QFETCH(bool, application);
        if (application)
            QVERIFY(!FakeDesktopApp::Register(*m_oDir, QLatin1String(XlsxMimeType)).isEmpty());
        m_oBench.StartMain();
        TfmMain& w = m_oBench.Main();
        for (QWidget* lTab : {w.tsZones, w.tsCards}) {
            w.pcMain->setCurrentWidget(lTab);
            w.UpdateActions();
            QCOMPARE(w.actTzExportExcel->isEnabled(), application);
            QCOMPARE(w.actCardExportExcel->isEnabled(), application);
            QCOMPARE(w.actExportExcel->isEnabled(), application);
            for (QAction* a : {w.actTzExportCsv, w.actCardExportCsv, w.actExportCsv, w.actTzImportExcel,
                               w.actCardImportCsv, w.actImportExcel, w.actImportCsv})
                QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        }
        QCOMPARE(w.actTzExportExcel->toolTip().contains(QStringLiteral("Fake Sheet")), application);
    }

    // The zones exported and imported back replace a zone added in between: through a CSV file named
    // without extension (".csv" is added) and through the workbook the desktop's application opened.
    void exportThenImportRestoresTheZones_data() {
        QTest::addColumn<bool>("workbook");
        QTest::newRow("CSV") << false;
        QTest::newRow("xlsx") << true;
    }
    void exportThenImportRestoresTheZones() {
        QFETCH(bool, workbook);
        const QString lFifo =
            workbook ? FakeDesktopApp::Register(*m_oDir, QLatin1String(XlsxMimeType)) : QString();
        m_oBench.StartMain();
        TfmMain& w = m_oBench.Main();
        w.pcMain->setCurrentWidget(w.tsZones);
        const TTextRows lBefore = ShownRows(w.lvZones);
        QCOMPARE(lBefore.size(), size_t(2));
        QCOMPARE(lBefore[1].at(0), QStringLiteral("Evening"));

        QString lFile;
        if (workbook) {
            w.actTzExportExcel->trigger();
            lFile = FakeDesktopApp::ReadOpened(lFifo);
            QVERIFY2(lFile.endsWith(QStringLiteral(".xlsx")), qPrintable(lFile));
        } else {
            TDialogAnswerer lAnswer(m_oDir->FilePath(QStringLiteral("zones")));
            w.actTzExportCsv->trigger();
            QVERIFY(lAnswer.m_aErrors.isEmpty());
            QCOMPARE(lAnswer.m_aFilters, QStringList({QStringLiteral("CSV files (*.csv)")}));
            lFile = m_oDir->FilePath(QStringLiteral("zones.csv"));
        }
        // The header row holds the captions shown.
        const TTextRows lFileRows = ReadTableFile(lFile);
        QCOMPARE(lFileRows.size(), size_t(3));
        QStringList lCaptions;
        for (int c = 0; c < w.lvZones->model()->columnCount(); ++c)
            lCaptions << w.lvZones->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(lFileRows[0], lCaptions);
        QCOMPARE(lCaptions.at(1), QStringLiteral("Zone Name"));

        w.Doc().AddTimeZone(QStringLiteral("Night"), EncodeTime(23, 0, 0, 0), 1, 1);
        QCOMPARE(w.lvZones->model()->rowCount(), 3);
        {
            TDialogAnswerer lAnswer(lFile);
            (workbook ? w.actTzImportExcel : w.actImportCsv)->trigger();
            QVERIFY2(lAnswer.m_aErrors.isEmpty(), qPrintable(lAnswer.m_aErrors.join('\n')));
        }
        QCOMPARE(ShownRows(w.lvZones), lBefore);
    }

    // The CSV export replaces an older file without a question, whether the name was typed with its
    // extension or without it.
    void csvExportReplacesAnOlderFile_data() {
        QTest::addColumn<bool>("cards");
        QTest::addColumn<QString>("typed");
        QTest::newRow("zones, name without extension") << false << "list";
        QTest::newRow("cards, name with extension") << true << "list.csv";
    }
    void csvExportReplacesAnOlderFile() {
        QFETCH(bool, cards);
        QFETCH(QString, typed);
        m_oBench.StartMain();
        const QString lFile = m_oDir->WriteFile(QStringLiteral("list.csv"), "old;file\r\n");
        TDialogAnswerer lAnswer(m_oDir->FilePath(typed));
        (cards ? m_oBench.Main().actCardExportCsv : m_oBench.Main().actTzExportCsv)->trigger();
        QVERIFY2(lAnswer.m_aErrors.isEmpty(), qPrintable(lAnswer.m_aErrors.join('\n')));
        const TTextRows lRows = ReadTableFile(lFile);
        QCOMPARE(lRows.size(), size_t(3)); // the header and two entries
        QCOMPARE(lRows[1].at(1), cards ? KeyNumToStr(Key("0A0B0C"), 0) : QStringLiteral("Day"));
    }

    // A workbook with a header row replaces the cards: the header is no card, keys read as hexadecimal.
    void cardsFromAWorkbookWithAHeader() {
        m_oBench.StartMain();
        TfmMain& w = m_oBench.Main();
        const QString lFile = m_oDir->FilePath(QStringLiteral("cards.xlsx"));
        WriteTableFile(lFile,
                       {{"#", "Key", "User name", "Level of service", "Comment"},
                        {"1", "112233", "Dora", "3", "by the door"},
                        {"2", "A1", "Eli", "0", ""}},
                       QStringLiteral("Cards"));
        TDialogAnswerer lAnswer(lFile);
        w.actCardImportExcel->trigger();
        QVERIFY2(lAnswer.m_aErrors.isEmpty(), qPrintable(lAnswer.m_aErrors.join('\n')));
        QVERIFY(!lAnswer.m_aFilters.isEmpty());
        QCOMPARE(lAnswer.m_aFilters.first(), QStringLiteral("Excel files (*.xls *.xlsx *.ods)"));
        QCOMPARE(w.Doc().Cards().Count(), 2);
        QCOMPARE(Cell(w.lvCards, 0, 1), KeyNumToStr(Key("112233"), 0));
        QCOMPARE(Cell(w.lvCards, 0, 2), QStringLiteral("Dora"));
        QCOMPARE(Cell(w.lvCards, 1, 1), KeyNumToStr(Key("A1"), 0));
        QCOMPARE(Cell(w.lvCards, 1, 2), QStringLiteral("Eli"));
    }

    // A file that cannot be read shows the error box naming it and leaves the list as it was; the file's
    // extension chooses its reader, whichever command chose the file.
    void unreadableFileLeavesTheList_data() {
        QTest::addColumn<bool>("cards");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zones, broken xlsx") << false << "broken.xlsx" << QByteArray("PK\x03\x04 no zip");
        QTest::newRow("cards, broken xlsx") << true << "broken.xlsx" << QByteArray("not a workbook");
        QTest::newRow("zones, broken ods") << false << "broken.ods" << QByteArray("not a workbook");
        QTest::newRow("cards, broken xls") << true << "broken.xls" << QByteArray("not a workbook either");
    }
    void unreadableFileLeavesTheList() {
        QFETCH(bool, cards);
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        m_oBench.StartMain();
        const QString lFile = m_oDir->WriteFile(name, bytes);
        const TTextRows lBefore = ShownRows(List(cards));
        QVERIFY(!lBefore.empty());
        TDialogAnswerer lAnswer(lFile);
        ImportCsv(cards)->trigger();
        QCOMPARE(lAnswer.m_aErrors.size(), 1);
        QVERIFY2(lAnswer.m_aErrors.first().contains(name), qPrintable(lAnswer.m_aErrors.first()));
        QCOMPARE(ShownRows(List(cards)), lBefore);
    }

    // A file gone before it is read raises and leaves both lists as they were.
    void missingFileLeavesTheLists() {
        m_oBench.StartMain();
        const QString lFile = m_oDir->FilePath(QStringLiteral("gone.csv"));
        for (bool lCards : {false, true}) {
            const TTextRows lBefore = ShownRows(List(lCards));
            QVERIFY_THROWS_EXCEPTION(std::exception, m_oBench.Main().ImportFromFile(lCards, lFile));
            QCOMPARE(ShownRows(List(lCards)), lBefore);
        }
    }

    // A long table is taken in the processing box: whole when left to run, and cancelled, only the
    // cards before the cancel, in the file's order.
    void longImportRunsInTheProcessingBox_data() {
        QTest::addColumn<bool>("cancel");
        QTest::newRow("left to run") << false;
        QTest::newRow("cancelled") << true;
    }
    void longImportRunsInTheProcessingBox() {
        QFETCH(bool, cancel);
        m_oBench.StartMain();
        TfmMain& w = m_oBench.Main();
        const int lCount = int(TfmMain::ImportBoxRows) + 100;
        TTextRows lRows;
        for (int i = 0; i < lCount; ++i)
            lRows.push_back({QString::number(i + 1), QString::number(0x200000 + i, 16),
                             QStringLiteral("Guest %1").arg(i), QStringLiteral("1"), QString()});
        const QString lFile = m_oDir->FilePath(QStringLiteral("guests.csv"));
        WriteTableFile(lFile, lRows, QString());
        TProcessingWatcher lWatch(cancel ? 50 : 0);
        TDialogAnswerer lAnswer(lFile);
        w.actCardImportCsv->trigger();
        QVERIFY2(lAnswer.m_aErrors.isEmpty(), qPrintable(lAnswer.m_aErrors.join('\n')));
        QCOMPARE(lWatch.m_nShown, 1);
        // Cancelled as the progress reached row 50: that row and the ones after it are not taken.
        const int lTaken = w.Doc().Cards().Count();
        QCOMPARE(lTaken, cancel ? 49 : lCount);
        for (int i = 0; i < lTaken; ++i)
            QCOMPARE(Cell(w.lvCards, i, 2), QStringLiteral("Guest %1").arg(i));
    }

    // A zone row whose start time is outside the day stops the import in the error box naming the row;
    // the rows before it stay.
    void badZoneRowKeepsTheRowsBefore() {
        m_oBench.StartMain();
        TfmMain& w = m_oBench.Main();
        const QString lFile = m_oDir->FilePath(QStringLiteral("zones.csv"));
        WriteTableFile(lFile, {{"1", "Morning", "07:00", "2", "1"}, {"2", "Late", "25:30", "3", "1"}},
                       QString());
        TDialogAnswerer lAnswer(lFile);
        w.actTzImportCsv->trigger();
        QCOMPARE(lAnswer.m_aErrors.size(), 1);
        QVERIFY2(lAnswer.m_aErrors.first().contains(QLatin1Char('2')), qPrintable(lAnswer.m_aErrors.first()));
        QCOMPARE(w.lvZones->model()->rowCount(), 1);
        QCOMPARE(Cell(w.lvZones, 0, 1), QStringLiteral("Morning"));
    }
};

QTEST_MAIN(TestFmMainExport)
#include "test_fmmainexport.moc"
