// The cards list of the configuration window with a few hundred cards: the filter field narrows the
// rows shown without touching the card order or the data file, and every command acts on the card
// shown in the row, never on the card at that row number of the whole list.

#include "tests/configtarvo/ConfigBench.h"

#include "apps/ConfigTarvo/uDlgCard.h"
#include "gui/uListView.h"
#include "reader/OrvRClasses.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

using namespace ConfigBench;

namespace {

constexpr int CardCount = 300;

// Card i: key 100000 + i (hex), "Guest 000" to "Guest 299", every tenth one "staff".
std::vector<TBench::TCardRow> Guests() {
    std::vector<TBench::TCardRow> lRows;
    for (int i = 0; i < CardCount; ++i)
        lRows.push_back({QString::number(0x100000 + i, 16),
                         QStringLiteral("Guest %1").arg(i, 3, 10, QChar('0')),
                         i % 10 == 0 ? QStringLiteral("staff") : QString()});
    return lRows;
}
QString Guest(int i) {
    return QStringLiteral("Guest %1").arg(i, 3, 10, QChar('0'));
}

// Opens on the next card dialog: keeps the user name it shows and cancels it.
class TCardDlgCatcher {
public:
    TCardDlgCatcher() {
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            auto* lDlg = qobject_cast<TfmCardDlg*>(QApplication::activeModalWidget());
            if (!lDlg)
                return;
            m_aNames << lDlg->edtName->text();
            lDlg->reject();
        });
        m_oTimer.start(20);
    }
    QStringList m_aNames;

private:
    QTimer m_oTimer;
};

} // namespace

class TestFmMainCards : public QObject {
    Q_OBJECT

    TBench m_oBench;

    TfmMain& Main() { return m_oBench.Main(); }
    QLineEdit* Filter() { return Main().findChild<QLineEdit*>(QStringLiteral("edtCardFilter")); }
    // User names in the rows of the cards list as the list shows them.
    QStringList ShownNames() {
        QStringList lNames;
        QAbstractItemModel* lModel = Main().lvCards->model();
        for (int i = 0; i < lModel->rowCount(); ++i)
            lNames << lModel->index(i, 2).data().toString();
        return lNames;
    }
    QStringList DocNames() {
        QStringList lNames;
        for (int i = 0; i < Main().Doc().Cards().Count(); ++i)
            lNames << Main().Doc().Cards().GetCard(i)->m_sUserName;
        return lNames;
    }
    void StartWithGuests() {
        m_oBench.WriteDataFile(Guests(), nullptr);
        m_oBench.StartMain();
        Main().pcMain->setCurrentWidget(Main().tsCards);
        QVERIFY(Filter());
    }
    void SetFilter(const QString& AText) {
        Filter()->clear();
        QTest::keyClicks(Filter(), AText);
    }
    void SelectRow(int ARow) {
        TfmMain::SelectListItem(Main().lvCards, ARow, false);
        Main().lvCards->setFocus();
    }

private Q_SLOTS:
    void initTestCase() { m_oBench.InitCase(); }
    void init() { m_oBench.Init(); }
    void cleanup() { m_oBench.Cleanup(); }
    void cleanupTestCase() { m_oBench.CleanupCase(); }

    void filterNarrowsTheRows_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QStringList lFifteen;
        for (int i = 150; i < 160; ++i)
            lFifteen << Guest(i);
        QStringList lStaff, lKeys, lAll;
        for (int i = 0; i < CardCount; ++i) {
            if (i % 10 == 0)
                lStaff << Guest(i);
            if (i >= 0xF0 && i <= 0xFF)
                lKeys << Guest(i);
            lAll << Guest(i);
        }
        QTest::newRow("part of a name, any letter case") << "gUEST 15" << lFifteen;
        QTest::newRow("part of a comment") << "STAF" << lStaff;
        QTest::newRow("part of a key") << "1000f" << lKeys;
        QTest::newRow("nothing matches") << "nobody" << QStringList();
        QTest::newRow("blanks only show everything") << "   " << lAll;
    }
    void filterNarrowsTheRows() {
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        StartWithGuests();
        if (QTest::currentTestFailed())
            return;
        const QByteArray lFile = m_oBench.DataFileBytes();
        const QStringList lOrder = DocNames();
        QCOMPARE(ShownNames().size(), CardCount);
        SetFilter(text);
        QCOMPARE(ShownNames(), names);
        // The cards and the data file are as they were.
        QCOMPARE(DocNames(), lOrder);
        QVERIFY(!Main().Doc().Modifyed());
        // Clearing the field shows every card again.
        Filter()->clear();
        QCOMPARE(ShownNames(), lOrder);
        Main().btnOk->click();
        QCOMPARE(m_oBench.DataFileBytes(), lFile);
    }

    void commandsActOnTheShownCard() {
        StartWithGuests();
        if (QTest::currentTestFailed())
            return;
        SetFilter(QStringLiteral("guest 15"));
        QCOMPARE(ShownNames().size(), 10);

        // Enter and double-click change the card of the row.
        TCardDlgCatcher lDlgs;
        SelectRow(2); // Guest 152
        QTest::keyClick(Main().lvCards, Qt::Key_Return);
        const QRect lRow = Main().lvCards->visualRect(Main().lvCards->model()->index(5, 2));
        QTest::mouseDClick(Main().lvCards->viewport(), Qt::LeftButton, Qt::NoModifier, lRow.center());
        QCOMPARE(lDlgs.m_aNames, (QStringList{Guest(152), Guest(155)}));

        // Delete removes the selected cards shown, nothing else.
        TBoxAnswerer lAnswer(QMessageBox::Ok);
        SelectRow(0); // Guest 150
        Main().lvCards->selectionModel()->select(Main().lvCards->model()->index(9, 0),
                                                 QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTest::keyClick(Main().lvCards, Qt::Key_Delete);
        QCOMPARE(lAnswer.m_aTexts, QStringList{QStringLiteral("Really?")});
        QCOMPARE(Main().Doc().Cards().Count(), CardCount - 2);
        QCOMPARE(Main().Doc().FindCardByUserName(Guest(150)), -1);
        QCOMPARE(Main().Doc().FindCardByUserName(Guest(159)), -1);
        QVERIFY(Main().Doc().FindCardByUserName(Guest(0)) >= 0);
        QVERIFY(Main().Doc().FindCardByUserName(Guest(9)) >= 0);
        QCOMPARE(ShownNames().size(), 8);

        // Ctrl+A and Delete take the rows shown only.
        QTest::keyClick(Main().lvCards, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(Main().lvCards, Qt::Key_Delete);
        QCOMPARE(Main().Doc().Cards().Count(), CardCount - 10);
        QVERIFY(ShownNames().isEmpty());
        Filter()->clear();
        QCOMPARE(ShownNames().size(), CardCount - 10);
        QCOMPARE(ShownNames().value(149), Guest(149));
        QCOMPARE(ShownNames().value(150), Guest(160));
    }

    void selectionStaysOnTheCardWhenTheFilterChanges() {
        StartWithGuests();
        if (QTest::currentTestFailed())
            return;
        SetFilter(QStringLiteral("guest 15"));
        SelectRow(1); // Guest 151
        SetFilter(QStringLiteral("guest 1"));
        const QList<int> lRows = Main().lvCards->SelectedRows();
        QCOMPARE(lRows.size(), 1);
        QCOMPARE(ShownNames().value(lRows.first()), Guest(151));
        QCOMPARE(Main().lvCards->currentIndex().row(), lRows.first());
    }

    void ctrlFGoesToTheFilterField() {
        StartWithGuests();
        if (QTest::currentTestFailed())
            return;
        Main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Main()));
        for (QWidget* lTab : {Main().tsMain, Main().tsCards}) {
            Main().pcMain->setCurrentWidget(lTab);
            QWidget* lFocus = QApplication::focusWidget();
            QTest::keyClick(lFocus ? lFocus : &Main(), Qt::Key_F, Qt::ControlModifier);
            QTRY_VERIFY_WITH_TIMEOUT(Filter()->hasFocus(), Patience);
            QCOMPARE(Main().pcMain->currentWidget(), Main().tsCards);
        }
        // Enter in the field goes on to the list and neither saves nor closes.
        QSignalSpy lEnd(&Main(), &TfmMain::endRequested);
        QTest::keyClicks(Filter(), QStringLiteral("guest 2"));
        QTest::keyClick(Filter(), Qt::Key_Return);
        QVERIFY(Main().lvCards->hasFocus());
        QCOMPARE(ShownNames().value(Main().lvCards->currentIndex().row()), Guest(200));
        // Escape in the field empties it.
        Filter()->setFocus();
        QTest::keyClick(Filter(), Qt::Key_Escape);
        QVERIFY(Filter()->text().isEmpty());
        QVERIFY(lEnd.isEmpty());
        QVERIFY(Main().isVisible());
    }

    void aCardPresentedBehindTheFilterIsShown() {
        m_oBench.Plug(QStringLiteral("COM51"), 51);
        m_oBench.WriteDataFile(Guests(),
                               [](TTarvoDoc& ADoc) { ADoc.SetReaderPort(QStringLiteral("COM51")); });
        m_oBench.StartMain();
        Main().pcMain->setCurrentWidget(Main().tsCards);
        QVERIFY(Main().Reader()->Active());
        SetFilter(QStringLiteral("guest 15"));
        // A new card has no name: the filter would hide it, so it goes and the new row is selected.
        m_oBench.Present(QStringLiteral("COM51"), QStringLiteral("ABCDEF"));
        QTRY_COMPARE_WITH_TIMEOUT(Main().Doc().Cards().Count(), CardCount + 1, Patience);
        QVERIFY(Filter()->text().isEmpty());
        QCOMPARE(Main().lvCards->SelectedRows(), QList<int>{CardCount});
        // A known card that the filter shows stays in the filtered list and is selected there.
        SetFilter(QStringLiteral("guest 15"));
        m_oBench.Present(QStringLiteral("COM51"), QString::number(0x100000 + 157, 16));
        QTRY_COMPARE_WITH_TIMEOUT(Main().lvCards->SelectedRows().size(), 1, Patience);
        QCOMPARE(Filter()->text(), QStringLiteral("guest 15"));
        QCOMPARE(ShownNames().value(Main().lvCards->SelectedRows().first()), Guest(157));
    }

    // Writes the picture of the filter in use for the documentation when TARVO_SCREENSHOT_DIR names a
    // folder.
    void screenshot() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        const QStringList lFirst{"Anna", "Boris", "Clara",  "Dmitri", "Elena", "Fedor",   "Galina", "Hanna",
                                 "Igor", "Jana",  "Kirill", "Lena",   "Marta", "Nikolai", "Olga"};
        const QStringList lLast{"Ivanova", "Petrov",   "Smirnova", "Kuznetsov", "Popova",
                                "Sokolov", "Lebedeva", "Kozlov",   "Novikova",  "Morozov",
                                "Volkova", "Annenkov", "Zaitseva", "Pavlov"};
        std::vector<TBench::TCardRow> lRows;
        for (int i = 0; i < CardCount; ++i)
            lRows.push_back({QString::number(0x3A0000 + i * 7919, 16),
                             lFirst[i % lFirst.size()] + QLatin1Char(' ') + lLast[(i / 3) % lLast.size()],
                             i % 17 == 0   ? QStringLiteral("staff")
                             : i % 11 == 0 ? QStringLiteral("student")
                                           : QString()});
        m_oBench.Plug(QStringLiteral("COM3"), 1001);
        m_oBench.WriteDataFile(lRows, [](TTarvoDoc& ADoc) { ADoc.SetReaderPort(QStringLiteral("COM3")); });
        m_oBench.StartMain();
        Main().pcMain->setCurrentWidget(Main().tsCards);
        QVERIFY(Main().Reader()->Active());
        SetFilter(QStringLiteral("ann"));
        SelectRow(2);
        Main().UpdateActions();
        QVERIFY(QDir().mkpath(lDir));
        QVERIFY(Main().grab().save(lDir + QStringLiteral("/config-filter.png")));
    }
};

QTEST_MAIN(TestFmMainCards)
#include "test_fmmaincards.moc"
