// The time-zone dialog: loading a zone, the refusals with their messages and focus, and what OK and
// Cancel leave in the document.
#include "apps/ConfigTarvo/uDlgTimeZone.h"

#include "base/uDateTime.h"
#include "config/uTarvoDoc.h"
#include "gui/uSpinEditDouble.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace ConfigTarvo;

namespace {

struct TZone {
    QString m_sName;
    int m_nHour, m_nMin;
    double m_nBase, m_nMin2;
};

QList<TZone> Zones(const TTarvoDoc& ADoc) {
    QList<TZone> lList;
    for (int i = 0; i < ADoc.TZs().Count(); ++i) {
        const TTarvoTimeZone* z = ADoc.TZs().GetZone(i);
        int h, m, s, ms;
        DecodeTime(z->m_tStartTime, h, m, s, ms);
        lList << TZone{z->m_sName, h, m, double(z->m_nBaseCost), double(z->m_nMinCost)};
    }
    return lList;
}

bool operator==(const TZone& A, const TZone& B) {
    return A.m_sName == B.m_sName && A.m_nHour == B.m_nHour && A.m_nMin == B.m_nMin &&
           A.m_nBase == B.m_nBase && A.m_nMin2 == B.m_nMin2;
}

} // namespace

class TestTimeZoneDlg : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TLocaleOverride> m_oLocale;
    std::unique_ptr<TTarvoDoc> m_oDoc;

    void Fill(TfmTimeZoneDlg& ADlg, const QString& AName, int AHour, int AMin, const QString& ABase,
              const QString& AMinCost) {
        ADlg.edtName->setText(AName);
        ADlg.dtpTimeStart->setTime(QTime(AHour, AMin));
        ADlg.edtBaseCost->findChild<QLineEdit*>()->setText(ABase);
        ADlg.edtMinCost->findChild<QLineEdit*>()->setText(AMinCost);
    }

private Q_SLOTS:
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>(QLatin1Char(','));
        m_oDoc = std::make_unique<TTarvoDoc>();
        m_oDoc->AddTimeZone(QStringLiteral("Day"), EncodeTime(8, 0, 0, 0), 2.5L, 1);
        m_oDoc->AddTimeZone(QStringLiteral("Night"), EncodeTime(22, 30, 0, 0), 4, 2);
        m_oDoc->SetModifyedFlag(false);
    }
    void cleanup() {
        m_oDoc.reset();
        m_oLocale.reset();
    }

    void controlsCarryTheirNames() {
        TfmTimeZoneDlg lDlg;
        QCOMPARE(lDlg.objectName(), QStringLiteral("TfmTimeZoneDlg"));
        QCOMPARE(lDlg.windowTitle(), QStringLiteral("Time Zone properties"));
        for (const char* lName :
             {"edtName", "dtpTimeStart", "edtBaseCost", "edtMinCost", "btnOk", "btnCancel"})
            QVERIFY2(lDlg.findChild<QWidget*>(QString::fromLatin1(lName)), lName);
        QVERIFY(lDlg.btnOk->isDefault());
        QCOMPARE(lDlg.dtpTimeStart->displayFormat(), QStringLiteral("HH:mm"));
    }

    void loadsTheZoneOrEmptyValues_data() {
        QTest::addColumn<int>("idx");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("min");
        QTest::newRow("new") << -1 << "" << QTime(0, 0) << "0"
                             << "0";
        QTest::newRow("Day") << 0 << "Day" << QTime(8, 0) << "2,5"
                             << "1";
        QTest::newRow("Night") << 1 << "Night" << QTime(22, 30) << "4"
                               << "2";
    }
    void loadsTheZoneOrEmptyValues() {
        QFETCH(int, idx);
        QFETCH(QString, name);
        QFETCH(QTime, time);
        QFETCH(QString, base);
        QFETCH(QString, min);
        TfmTimeZoneDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nTzIdx = idx;
        RunDlg(lDlg, [&] {
            QCOMPARE(lDlg.edtName->text(), name);
            QCOMPARE(lDlg.dtpTimeStart->time(), time);
            QCOMPARE(lDlg.edtBaseCost->findChild<QLineEdit*>()->text(), base);
            QCOMPARE(lDlg.edtMinCost->findChild<QLineEdit*>()->text(), min);
        });
    }

    void refusesWithAMessageAndStaysOpen_data() {
        QTest::addColumn<int>("idx");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("message");
        QTest::newRow("blank name") << -1 << "   " << QTime(12, 0) << "Value must not be empty.";
        QTest::newRow("name in other case")
            << -1 << "day" << QTime(12, 0) << "Time zone \"day\" has already been added.";
        QTest::newRow("name trimmed first")
            << -1 << "  NIGHT " << QTime(12, 0) << "Time zone \"NIGHT\" has already been added.";
        QTest::newRow("same start time")
            << -1 << "Evening" << QTime(8, 0) << "Time zone \"08:00\" has already been added.";
        QTest::newRow("change to another's name")
            << 1 << "Day" << QTime(22, 30) << "Time zone \"Day\" has already been added.";
        QTest::newRow("change to another's time")
            << 1 << "Night" << QTime(8, 0) << "Time zone \"08:00\" has already been added.";
    }
    void refusesWithAMessageAndStaysOpen() {
        QFETCH(int, idx);
        QFETCH(QString, name);
        QFETCH(QTime, time);
        QFETCH(QString, message);
        const QList<TZone> lBefore = Zones(*m_oDoc);
        TfmTimeZoneDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nTzIdx = idx;
        TBoxCatcher lBoxes;
        const int lResult = RunDlg(lDlg, [&] {
            Fill(lDlg, name, time.hour(), time.minute(), QStringLiteral("7"), QStringLiteral("3"));
            lDlg.edtMinCost->setFocus();
            lDlg.btnOk->click();
            QVERIFY(lDlg.isVisible());
            QCOMPARE(lDlg.focusWidget(), static_cast<QWidget*>(lDlg.edtName));
        });
        QCOMPARE(lResult, int(QDialog::Rejected));
        QCOMPARE(lBoxes.m_aTexts, QStringList{message});
        QCOMPARE(lBoxes.m_aIcons.value(0), QMessageBox::Critical);
        QVERIFY(Zones(*m_oDoc) == lBefore);
        QVERIFY(!m_oDoc->Modifyed());
    }

    void addsANewZoneOnOk() {
        TfmTimeZoneDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        TBoxCatcher lBoxes;
        const int lResult = RunDlg(lDlg, [&] {
            // First refused, then corrected in the same run.
            Fill(lDlg, QStringLiteral("Day"), 18, 45, QStringLiteral("3,75"), QStringLiteral("-1,5"));
            lDlg.btnOk->click();
            QVERIFY(lDlg.isVisible());
            lDlg.edtName->setText(QStringLiteral("  Evening  "));
            lDlg.btnOk->click();
        });
        QCOMPARE(lResult, int(QDialog::Accepted));
        QCOMPARE(lBoxes.m_aTexts.size(), 1);
        QCOMPARE(lDlg.m_nTzIdx, 2);
        const QList<TZone> lZones = Zones(*m_oDoc);
        QCOMPARE(lZones.size(), 3);
        QVERIFY(lZones[2] == (TZone{QStringLiteral("Evening"), 18, 45, 3.75, -1.5}));
        QVERIFY(m_oDoc->Modifyed());
    }

    void changeMayKeepItsOwnNameAndTime_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<bool>("modified");
        QTest::newRow("costs changed") << "9" << true;
        QTest::newRow("nothing changed") << "2,5" << false;
    }
    void changeMayKeepItsOwnNameAndTime() {
        QFETCH(QString, base);
        QFETCH(bool, modified);
        TfmTimeZoneDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nTzIdx = 0;
        TBoxCatcher lBoxes;
        const int lResult = RunDlg(lDlg, [&] {
            Fill(lDlg, QStringLiteral("DAY"), 8, 0, base, QStringLiteral("1"));
            if (!modified)
                lDlg.edtName->setText(QStringLiteral("Day"));
            lDlg.btnOk->click();
        });
        QCOMPARE(lResult, int(QDialog::Accepted));
        QVERIFY(lBoxes.m_aTexts.isEmpty());
        QCOMPARE(lDlg.m_nTzIdx, 0);
        QCOMPARE(m_oDoc->TZs().Count(), 2);
        QCOMPARE(m_oDoc->Modifyed(), modified);
        QCOMPARE(double(m_oDoc->TZs().GetZone(0)->m_nBaseCost), modified ? 9.0 : 2.5);
    }

    void cancelLeavesTheDocumentAlone() {
        const QList<TZone> lBefore = Zones(*m_oDoc);
        TfmTimeZoneDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nTzIdx = 1;
        const int lResult = RunDlg(lDlg, [&] {
            Fill(lDlg, QStringLiteral("Late"), 23, 0, QStringLiteral("1"), QStringLiteral("1"));
            lDlg.btnCancel->click();
        });
        QCOMPARE(lResult, int(QDialog::Rejected));
        QVERIFY(Zones(*m_oDoc) == lBefore);
        QVERIFY(!m_oDoc->Modifyed());
    }

    void entryPointReportsTheNewIndex() {
        int lIdx = -7;
        QTimer::singleShot(0, [] {
            auto* lDlg = qobject_cast<TfmTimeZoneDlg*>(QApplication::activeModalWidget());
            QVERIFY(lDlg);
            lDlg->edtName->setText(QStringLiteral("Noon"));
            lDlg->dtpTimeStart->setTime(QTime(12, 0));
            lDlg->btnOk->click();
        });
        QVERIFY(DoTimeZoneDlg(nullptr, *m_oDoc, -1, &lIdx));
        QCOMPARE(lIdx, 2);
        QCOMPARE(m_oDoc->TZs().GetZone(2)->m_sName, QStringLiteral("Noon"));
    }
};

QTEST_MAIN(TestTimeZoneDlg)
#include "test_tzdlg.moc"
