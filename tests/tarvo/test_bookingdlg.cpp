// The booking dialog and the log-item comment dialog against a real document with its day log and
// "Reserved.ini": the recent booking offered, a booking kept across a restart and charged, a cleared
// booking, Cancel remembering the times, a guest leaving while the dialog is open, and a comment that
// rewrites the day's log lines.

#include "apps/Tarvo/uDlgBooking.h"

#include "frontdesk/uTarvoDoc.h"

#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimeEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace Tarvo;

namespace {

// One zone all day at 2 per minute, minute unit, overdue minutes at 3, the day starting at 06:00.
const char* const cDataFile =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Tarvo version=\"1.2\">\r\n"
    "<Main>\r\n"
    "<StartDayTime>06:00</StartDayTime>\r\n"
    "<Tariffication>2</Tariffication>\r\n"
    "<OverdueCost>3</OverdueCost>\r\n"
    "</Main>\r\n"
    "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/></TimeZones>\r\n"
    "<Cards>\r\n"
    "<Item1 number=\"0C0B0A\" name=\"Ann Lee\" level=\"0\"/>\r\n"
    "<Item2 number=\"0D\" name=\"\" level=\"0\"/>\r\n"
    "</Cards>\r\n"
    "</Tarvo>\r\n";

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0A, 0x0B, 0x0C});
const TOrv_KEYNUM cBob = MakeKeyNum({0x0D});

TDateTime HM(int AHour, int AMin) {
    return EncodeTime(AHour, AMin, 0, 0);
}

// Answers the next message box that appears while it lives, and keeps what it said.
class TMessageBoxCatcher {
public:
    TMessageBoxCatcher() {
        m_oTimer.setInterval(10);
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            if (auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                m_sText = lBox->text();
                lBox->accept();
                m_oTimer.stop();
            }
        });
        m_oTimer.start();
    }
    QString m_sText;

private:
    QTimer m_oTimer;
};

} // namespace

class TBookingDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TLocaleOverride> m_pLocale;
    std::unique_ptr<TFixedClock> m_pClock;
    std::unique_ptr<TTempDir> m_pDir;
    std::unique_ptr<TTarvoDoc> m_pDoc;

    std::unique_ptr<TTarvoDoc> OpenDoc() const {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(m_pDir->FilePath(QStringLiteral("Tarvo.xml")));
        lDoc->SetLangDir(m_pDir->FilePath(QStringLiteral("Languages")));
        lDoc->Open();
        return lDoc;
    }
    void Restart() {
        m_pDoc->Close();
        m_pDoc.reset();
        m_pDoc = OpenDoc();
    }
    void PresentAt(const TOrv_KEYNUM& ANumber, TDateTime AMoment) {
        m_pClock->Set(AMoment);
        m_pDoc->FireCard(ANumber);
    }
    TInUser& Guest(const TOrv_KEYNUM& ANumber) const {
        const int lIdx = m_pDoc->FindInUserByKeyNum(ANumber);
        if (lIdx < 0)
            throw std::runtime_error("guest not inside");
        return *m_pDoc->InUsers().Get(lIdx);
    }
    QByteArray ReadFile(const QString& APath) const {
        QFile lFile(APath);
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray("<missing>");
    }
    QByteArray DayLog() const { return ReadFile(m_pDoc->GetLogPath(m_pDoc->ReportDate(), false)); }

private Q_SLOTS:
    void init() {
        m_pLocale = std::make_unique<TLocaleOverride>();
        m_pClock = std::make_unique<TFixedClock>(MakeDateTime(2024, 3, 10, 9, 0));
        m_pDir = std::make_unique<TTempDir>();
        m_pDir->WriteFile(QStringLiteral("Tarvo.xml"), cDataFile);
        m_pDoc = OpenDoc();
    }
    void cleanup() {
        m_pDoc.reset();
        m_pDir.reset();
        m_pClock.reset();
        m_pLocale.reset();
    }

    // A guest without a booking: "Enabled" cleared, the last booking entered for anyone in the
    // pickers, the times disabled until "Enabled" is ticked.
    void guestWithoutBookingIsOfferedTheRecentOne() {
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 0));
        PresentAt(cBob, MakeDateTime(2024, 3, 10, 17, 1));
        m_pDoc->SetRecentBooking(HM(18, 0) + 45000, HM(20, 30),
                                 true); // the date of the stored one is no matter

        TfrmBookingDlg lDlg(nullptr, *m_pDoc, Guest(cAnn));
        QCOMPARE(lDlg.edtCard->text(), QStringLiteral("0C0B0A"));
        QCOMPARE(lDlg.edtUser->text(), QStringLiteral("Ann Lee"));
        QVERIFY(lDlg.edtCard->isReadOnly() && lDlg.edtUser->isReadOnly());
        QVERIFY(!lDlg.chkEnabled->isChecked());
        QCOMPARE(lDlg.dtpFrom->time(), QTime(18, 0));
        QCOMPARE(lDlg.dtpTo->time(), QTime(20, 30));
        QVERIFY(lDlg.chkAllDay->isChecked());
        QVERIFY(!lDlg.dtpFrom->isEnabled() && !lDlg.dtpTo->isEnabled() && !lDlg.chkAllDay->isEnabled());
        lDlg.show();
        lDlg.chkEnabled->click();
        QVERIFY(lDlg.dtpFrom->isEnabled() && lDlg.dtpTo->isEnabled() && lDlg.chkAllDay->isEnabled());

        TfrmBookingDlg lNameless(nullptr, *m_pDoc, Guest(cBob));
        QCOMPARE(lNameless.edtCard->text(), QStringLiteral("0D"));
        QCOMPARE(lNameless.edtUser->text(), QString());
    }

    // Booked through the dialog, restarted on the same business day, checked out: the booking read
    // back from "Reserved.ini" is charged.
    void bookingSurvivesARestartAndIsCharged() {
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 0));
        {
            TfrmBookingDlg lDlg(nullptr, *m_pDoc, Guest(cAnn));
            lDlg.show();
            lDlg.chkEnabled->setChecked(true);
            lDlg.dtpFrom->setTime(QTime(18, 0));
            lDlg.dtpTo->setTime(QTime(20, 30));
            lDlg.chkAllDay->setChecked(false);
            QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
            QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        }
        QVERIFY(ReadFile(m_pDir->FilePath(QStringLiteral("Reserved.ini"))).contains("0C0B0A=18:00-20:30"));
        TDateTime lFrom = 0, lTo = 0;
        bool lAllDay = true;
        m_pDoc->GetRecentBooking(lFrom, lTo, lAllDay);
        QVERIFY(lFrom == HM(18, 0) && lTo == HM(20, 30) && !lAllDay);
        QVERIFY(m_pDoc->Modifyed()); // the recent booking is saved with the data file
        m_pDoc->Save();

        m_pClock->Set(MakeDateTime(2024, 3, 10, 19, 0));
        Restart();
        QVERIFY(m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));
        // 150 booked minutes at 2, and 10 overdue minutes at 3.
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 20, 40));
        QCOMPARE(m_pDoc->Report().Count(), 1);
        QVERIFY(m_pDoc->Report().Get(0)->m_fReserv);
        QCOMPARE(double(m_pDoc->Report().Get(0)->m_nSum), 330.0);
    }

    void clearingEnabledRemovesTheBooking() {
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 0));
        QVERIFY(m_pDoc->SetBookingForCard(cAnn, true, HM(10, 0), HM(22, 0), true));
        TfrmBookingDlg lDlg(nullptr, *m_pDoc, Guest(cAnn));
        lDlg.show();
        QVERIFY(lDlg.chkEnabled->isChecked());
        QCOMPARE(lDlg.dtpFrom->time(), QTime(10, 0));
        QCOMPARE(lDlg.dtpTo->time(), QTime(22, 0));
        QVERIFY(lDlg.chkAllDay->isChecked());
        lDlg.chkEnabled->click();
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);

        QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        TDateTime lFrom = 1, lTo = 1;
        bool lAllDay = true;
        QVERIFY(!m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));
        QVERIFY(!ReadFile(m_pDir->FilePath(QStringLiteral("Reserved.ini"))).contains("0C0B0A"));
        QVERIFY(!Guest(cAnn).m_fReserv);
    }

    // Cancel with "Enabled" ticked books nobody but remembers the times for the next guest.
    void cancelRemembersTheTimesOnly() {
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 0));
        PresentAt(cBob, MakeDateTime(2024, 3, 10, 17, 1));
        {
            TfrmBookingDlg lDlg(nullptr, *m_pDoc, Guest(cAnn));
            lDlg.show();
            lDlg.chkEnabled->setChecked(true);
            lDlg.dtpFrom->setTime(QTime(12, 15));
            lDlg.dtpTo->setTime(QTime(13, 45));
            lDlg.chkAllDay->setChecked(true);
            QTest::mouseClick(lDlg.btnCancel, Qt::LeftButton);
            QCOMPARE(lDlg.result(), int(QDialog::Rejected));
        }
        TDateTime lFrom = 1, lTo = 1;
        bool lAllDay = true;
        QVERIFY(!m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));
        QVERIFY(!QFileInfo::exists(m_pDir->FilePath(QStringLiteral("Reserved.ini"))));

        TfrmBookingDlg lNext(nullptr, *m_pDoc, Guest(cBob));
        QVERIFY(!lNext.chkEnabled->isChecked());
        QCOMPARE(lNext.dtpFrom->time(), QTime(12, 15));
        QCOMPARE(lNext.dtpTo->time(), QTime(13, 45));
        QVERIFY(lNext.chkAllDay->isChecked());
    }

    // Card events go on while the dialog is open; a guest who left meanwhile is not booked, and the
    // dialog does not touch the record that went with the guest.
    void guestLeavingWhileOpenIsNotBooked() {
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 0));
        TfrmBookingDlg lDlg(nullptr, *m_pDoc, Guest(cAnn));
        lDlg.show();
        lDlg.chkEnabled->setChecked(true);
        PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 30)); // checks out
        QCOMPARE(m_pDoc->InUsers().Count(), 0);
        TMessageBoxCatcher lCatcher;
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QVERIFY2(lCatcher.m_sText.contains(QStringLiteral("0C0B0A")), qPrintable(lCatcher.m_sText));
        QCOMPARE(lDlg.result(), int(QDialog::Rejected));
        QVERIFY(!QFileInfo::exists(m_pDir->FilePath(QStringLiteral("Reserved.ini"))));
    }

    // A comment stored through the dialog rewrites the day's log lines and comes back after a restart;
    // an emptied comment is stored as empty. Card events carry milliseconds, the file whole seconds.
    void commentRewritesTheDayLog_data() {
        QTest::addColumn<int>("msec");
        QTest::newRow("whole second") << 0;
        QTest::newRow("with milliseconds") << 250;
    }
    void commentRewritesTheDayLog() {
        QFETCH(int, msec);
        const TDateTime lAnnIn = MakeDateTime(2024, 3, 10, 9, 0, 0, msec);
        PresentAt(cAnn, lAnnIn);
        PresentAt(cBob, MakeDateTime(2024, 3, 10, 9, 5));
        {
            TfmLogItemDlg lDlg(nullptr, *m_pDoc, lAnnIn);
            lDlg.show();
            QCOMPARE(lDlg.edtComment->text(), QString());
            QTest::keyClicks(lDlg.edtComment, QStringLiteral("window seat"));
            QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
            QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        }
        QCOMPARE(m_pDoc->GetLogItemComment(lAnnIn), QStringLiteral("window seat"));
        const QByteArray lLog = DayLog();
        QCOMPARE(lLog,
                 QByteArray("09:00:00 [in] \"Ann Lee\", 0 \"window seat\"\r\n09:05:00 [in] {0D}, 0\r\n"));

        // The file keeps whole seconds: after the restart the entry is found by the time it has now.
        Restart();
        QCOMPARE(m_pDoc->LogList().Count(), 2);
        const TDateTime lLoggedIn = m_pDoc->LogList().Get(0)->m_dtTime;
        QCOMPARE(m_pDoc->GetLogItemComment(lLoggedIn), QStringLiteral("window seat"));
        TfmLogItemDlg lDlg(nullptr, *m_pDoc, lLoggedIn);
        lDlg.show();
        QCOMPARE(lDlg.edtComment->text(), QStringLiteral("window seat"));
        lDlg.edtComment->clear();
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        QCOMPARE(m_pDoc->GetLogItemComment(lLoggedIn), QString());
        QCOMPARE(DayLog(), QByteArray("09:00:00 [in] \"Ann Lee\", 0\r\n09:05:00 [in] {0D}, 0\r\n"));
    }

    // The entry went with a change of business day while the dialog was open: the operator is told
    // and nothing is claimed as stored.
    void commentOfAVanishedEntryIsNotClaimedStored() {
        const TDateTime lAnnIn = MakeDateTime(2024, 3, 10, 9, 0);
        PresentAt(cAnn, lAnnIn);
        TfmLogItemDlg lDlg(nullptr, *m_pDoc, lAnnIn);
        lDlg.show();
        PresentAt(cBob, MakeDateTime(2024, 3, 11, 9, 0)); // a new business day begins
        QCOMPARE(m_pDoc->_FindLogItemByTime(lAnnIn), -1);
        lDlg.edtComment->setText(QStringLiteral("late"));
        TMessageBoxCatcher lCatcher;
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QVERIFY(!lCatcher.m_sText.isEmpty());
        QCOMPARE(lDlg.result(), int(QDialog::Rejected));
    }
};

QTEST_MAIN(TBookingDlgTest)
#include "test_bookingdlg.moc"
