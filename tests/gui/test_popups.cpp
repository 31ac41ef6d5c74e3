// Popup messages: stacking from the lower right of the work area, the count limit, time-outs, size,
// clicks, and the caller's data going with its popup.

#include "gui/uAboutBox.h"
#include "gui/uPopupMsg.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimerEvent>

#include <memory>

namespace {

struct TCloseLog {
    QList<int> m_aClosed; // user data (an int) of each closed popup, in order
    int m_nReceipts = 0;
    TfmPopupMessageDlg* m_pLastClicked = nullptr;
};

void Bind(TPopupMsgMngr& AMngr, TCloseLog& ALog) {
    AMngr.SetOnClosePopup([&ALog](TPopupMsgMngr&, TfmPopupMessageDlg& APopup) {
        const int* p = std::any_cast<int>(&APopup.UserData());
        ALog.m_aClosed << (p ? *p : -1);
    });
    AMngr.SetOnShowReceipt([&ALog](TPopupMsgMngr&, TfmPopupMessageDlg& APopup) {
        ++ALog.m_nReceipts;
        ALog.m_pLastClicked = &APopup;
    });
}

void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class TPopupsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void popupsStackUpFromTheLowerRight() {
        TPopupMsgMngr mngr;
        const QRect work = TPopupMsgMngr::WorkArea();
        auto* p1 = mngr.ShowPopupMessage(QStringLiteral("first"), 1, QString(), 0, 0);
        auto* p2 = mngr.ShowPopupMessage(QStringLiteral("second\nwith\nthree lines of some length"), 2,
                                         QString(), 0, 0);
        auto* p3 = mngr.ShowPopupMessage(QStringLiteral("third"), 3, QString(), 0, 0);
        // Newest at the bottom, 4 px from the work area's right and bottom edges and between popups.
        QCOMPARE(p3->frameGeometry().right(), work.right() - 4);
        QCOMPARE(p3->frameGeometry().bottom(), work.bottom() - 4);
        QCOMPARE(p2->frameGeometry().right(), work.right() - 4);
        QCOMPARE(p2->frameGeometry().bottom(), p3->frameGeometry().top() - 1 - 4);
        QCOMPARE(p1->frameGeometry().bottom(), p2->frameGeometry().top() - 1 - 4);
        QCOMPARE(mngr.Count(), 3);
        QCOMPARE(mngr.GetItem(0), p1);
        QCOMPARE(mngr.GetItem(2), p3);
        QCOMPARE(TPopupMsgMngr::Instance(), &mngr);
    }

    void olderPopupsStayWhenTheStackReachesTheTop() {
        TPopupMsgMngr mngr;
        const QRect work = TPopupMsgMngr::WorkArea();
        QString tall;
        for (int i = 0; i < 12; ++i)
            tall += QStringLiteral("line %1\n").arg(i);
        std::vector<TfmPopupMessageDlg*> pops;
        for (int i = 0; i < 12; ++i)
            pops.push_back(mngr.ShowPopupMessage(tall, i, QString(), 0, 0));
        const int h = pops[0]->height();
        QVERIFY(h > 100);
        const int fit = (work.height() - 4) / (h + 4); // popups whose top stays inside the area
        QVERIFY(fit < 11);
        // The newest ones fill the column; the oldest keep the place they got when they came.
        QCOMPARE(pops[11]->geometry().bottom(), work.bottom() - 4);
        const QPoint oldest = pops[0]->pos();
        mngr.ShowPopupMessage(tall, 12, QString(), 0, 0);
        QCOMPARE(pops[0]->pos(), oldest);
        QVERIFY(pops[0]->geometry().bottom() >= work.top());
    }

    void countLimitRemovesTheOldestWithOnClosePopup() {
        TCloseLog log;
        TPopupMsgMngr mngr;
        Bind(mngr, log);
        mngr.SetPmMax(3);
        QPointer<TfmPopupMessageDlg> first = mngr.ShowPopupMessage(QStringLiteral("a"), 1, QString(), 0, 0);
        mngr.ShowPopupMessage(QStringLiteral("b"), 2, QString(), 0, 0);
        mngr.ShowPopupMessage(QStringLiteral("c"), 3, QString(), 0, 0);
        QVERIFY(log.m_aClosed.isEmpty());
        mngr.ShowPopupMessage(QStringLiteral("d"), 4, QString(), 0, 0);
        QCOMPARE(log.m_aClosed, QList<int>({1}));
        QCOMPARE(mngr.Count(), 3);
        FlushDeletes();
        QVERIFY(first.isNull());
        // A lower limit removes as many as needed so that with the new one there are exactly that many.
        mngr.SetPmMax(2);
        mngr.ShowPopupMessage(QStringLiteral("e"), 5, QString(), 0, 0);
        QCOMPARE(log.m_aClosed, QList<int>({1, 2, 3}));
        QCOMPARE(mngr.Count(), 2);
        // No limit.
        mngr.SetPmMax(0);
        for (int i = 0; i < 12; ++i)
            mngr.ShowPopupMessage(QStringLiteral("x"), 10 + i, QString(), 0, 0);
        QCOMPARE(mngr.Count(), 14);
        QCOMPARE(log.m_aClosed.size(), 3);
    }

    void timeOutClosesAndZeroKeepsOpen() {
        TCloseLog log;
        TPopupMsgMngr mngr;
        Bind(mngr, log);
        auto* keep = mngr.ShowPopupMessage(QStringLiteral("stays"), 1, QString(), 0, 0);
        QVERIFY(!keep->Timer1->isActive());
        QPointer<TfmPopupMessageDlg> timed =
            mngr.ShowPopupMessage(QStringLiteral("goes"), 2, QString(), 0, 5000);
        QVERIFY(timed->Timer1->isActive());
        QCOMPARE(timed->Timer1->interval(), 5000);
        const QPoint keepPos = keep->pos();
        // The tick, without waiting for it.
        QTimerEvent tick(timed->Timer1->timerId());
        QCoreApplication::sendEvent(timed->Timer1, &tick);
        QCOMPARE(log.m_aClosed, QList<int>({2}));
        QCOMPARE(mngr.Count(), 1);
        QCOMPARE(mngr.GetItem(0), keep);
        FlushDeletes();
        QVERIFY(timed.isNull());
        // The others do not move when one closes.
        QCOMPARE(keep->pos(), keepPos);
    }

    void sizeFollowsTheText() {
        TPopupMsgMngr mngr;
        auto* small = mngr.ShowPopupMessage(QStringLiteral("Hi"), {}, QString(), 0, 0);
        QCOMPARE(small->size(), QSize(TfmPopupMessageDlg::MinWidth, TfmPopupMessageDlg::MinHeight));
        const QString text = QStringLiteral(
            "A much longer popup text that needs room\r\n is logged at 10:15.\r\nAnd a third line");
        auto* big = mngr.ShowPopupMessage(text, {}, QString(), 20, 0);
        QCOMPARE(big->labText->font().pointSize(), 20);
        // Lines broken at each CR LF.
        QCOMPARE(big->labText->text().count(QLatin1Char('\n')), 2);
        QVERIFY(!big->labText->text().contains(QLatin1Char('\r')));
        const QSize need = QFontMetrics(big->labText->font()).size(0, big->labText->text());
        QVERIFY(big->width() > TfmPopupMessageDlg::MinWidth);
        QVERIFY(big->height() > TfmPopupMessageDlg::MinHeight);
        // The label just holds the text, with its margins around it.
        QCOMPARE(big->labText->width(), need.width());
        QCOMPARE(big->labText->height(), need.height());
        QCOMPARE(big->width(), need.width() + 2 * TfmPopupMessageDlg::LabelMargin);
        QCOMPARE(big->labText->wordWrap(), false);
    }

    void popupsNeitherTakeFocusNorHide() {
        TPopupMsgMngr mngr;
        auto* p = mngr.ShowPopupMessage(QStringLiteral("x"), {}, QStringLiteral("DejaVu Sans"), 0, 0);
        QVERIFY(p->isVisible());
        QVERIFY(p->testAttribute(Qt::WA_ShowWithoutActivating));
        QVERIFY(p->windowFlags() & Qt::WindowDoesNotAcceptFocus);
        QVERIFY(p->windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(p->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(p->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        QCOMPARE(p->labText->font().family(), QStringLiteral("DejaVu Sans"));
        QVERIFY(QApplication::activeWindow() != p);
    }

    void clickAnnouncesTheReceiptAndStays() {
        TCloseLog log;
        TPopupMsgMngr mngr;
        Bind(mngr, log);
        auto* p =
            mngr.ShowPopupMessage(QStringLiteral("Ann\r\n has been 1 h.\r\nSum: 5.00."), 7, QString(), 0, 0);
        QTest::mouseClick(p->labText, Qt::LeftButton);
        QCOMPARE(log.m_nReceipts, 1);
        QCOMPARE(log.m_pLastClicked, p);
        QTest::mouseClick(p, Qt::LeftButton, Qt::NoModifier, QPoint(1, 1));
        QCOMPARE(log.m_nReceipts, 2);
        QCOMPARE(mngr.Count(), 1);
        QVERIFY(p->isVisible());
        QVERIFY(log.m_aClosed.isEmpty());
    }

    void userDataGoesWithThePopup() {
        auto record = std::make_shared<int>(42);
        std::weak_ptr<int> watch = record;
        {
            TCloseLog log;
            TPopupMsgMngr mngr;
            Bind(mngr, log);
            mngr.ShowPopupMessage(QStringLiteral("out"), std::move(record), QString(), 0, 0);
            mngr.ShowPopupMessage(QStringLiteral("in"), 9, QString(), 0, 0);
            QVERIFY(!watch.expired());
            // Replacing an entry closes the old popup like a time-out does.
            auto* fresh = new TfmPopupMessageDlg(nullptr, 11);
            mngr.SetItem(1, fresh);
            QCOMPARE(log.m_aClosed, QList<int>({9}));
            QCOMPARE(mngr.GetItem(1)->Manager(), &mngr);
        }
        // The manager's end takes the remaining popups and their data with it.
        FlushDeletes();
        QVERIFY(watch.expired());
        QCOMPARE(TPopupMsgMngr::Instance(), nullptr);
    }

    void aboutBoxShowsVersionAndDate() {
        const QDate date(2026, 11, 3);
        TfmAboutDlg dlg(nullptr, 0x04030201u, date);
        QCOMPARE(dlg.labProduct->text(), QStringLiteral("Tarvo (Velmo)"));
        QCOMPARE(dlg.labVersion->text(),
                 QStringLiteral("1.2.3.4 (%1)").arg(QLocale().toString(date, QLocale::ShortFormat)));
        QCOMPARE(dlg.imgIcon->pixmap().size(), QSize(32, 32));
        QVERIFY(dlg.labProduct->font().pointSizeF() > dlg.labVersion->font().pointSizeF());
        QVERIFY(TfmAboutDlg::BuildDate().isValid());
        dlg.show();
        QTest::mouseClick(dlg.btnOk, Qt::LeftButton);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    // Writes docs screenshots when TARVO_SCREENSHOT_DIR names a folder (run under a real X server).
    void screenshots() {
        const QString dir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        // A plain desktop behind the popups: a bare X server has a black root window.
        QWidget desktop;
        desktop.setStyleSheet(QStringLiteral("background: #4a6a86;"));
        desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
        desktop.show();
        TPopupMsgMngr mngr;
        const QStringList texts = {
            QStringLiteral("John Smith\r\n is logged at 10:15."),
            QStringLiteral("Ann\r\n is logged at 10:17."),
            QStringLiteral("{00000C}\r\n is logged at 10:21."),
            QStringLiteral("John Smith\r\n has been 1 h. 16 min.\r\nSum: 12.50."),
            QStringLiteral("Ann\r\n has been 45 min.\r\nSum: 7.50."),
        };
        for (const QString& t : texts)
            mngr.ShowPopupMessage(t, {}, QString(), 10, 0);
        QTest::qWait(300);
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect work = TPopupMsgMngr::WorkArea();
        const int top = mngr.GetItem(0)->geometry().top() - 24;
        const QRect area(work.right() - 300, top, 301, work.bottom() + 1 - top);
        QVERIFY(screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                    .save(QDir(dir).filePath(QStringLiteral("popups.png"))));
        for (int i = mngr.Count() - 1; i >= 0; --i)
            mngr.ClosePopup(mngr.GetItem(i));
        FlushDeletes();

        TfmAboutDlg about(nullptr, 0x00000001u, TfmAboutDlg::BuildDate());
        about.show();
        about.move(40, 40);
        QTest::qWait(300);
        const QRect r = about.frameGeometry().adjusted(-2, -2, 2, 2);
        QVERIFY(screen->grabWindow(0, r.x(), r.y(), r.width(), r.height())
                    .save(QDir(dir).filePath(QStringLiteral("about.png"))));
    }
};

QTEST_MAIN(TPopupsTest)
#include "test_popups.moc"
