// The configuration program at the keyboard: Enter and Escape answer OK and Cancel, Enter on a list row
// changes the row as a double-click does, every caption has an Alt letter of its own in its window,
// the tool buttons explain themselves, and Ctrl+Q ends the program as the title-bar close does.

#include "tests/common/Mnemonics.h"
#include "tests/configtarvo/ConfigBench.h"

#include "apps/ConfigTarvo/uDlgCard.h"
#include "apps/ConfigTarvo/uDlgProcessing.h"
#include "apps/ConfigTarvo/uDlgTimeZone.h"
#include "gui/uListView.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTabBar>
#include <QToolBar>
#include <QToolButton>

using namespace ConfigBench;

namespace {

// Labels that show a message or a state, not the caption of a control.
bool IsTextLabel(const QLabel* ALabel) {
    static const QStringList cNames{QStringLiteral("labReaderState"), QStringLiteral("labText"),
                                    QStringLiteral("labMessage")};
    return cNames.contains(ALabel->objectName());
}

// What is wrong with the Alt letters of what AWindow shows now: a caption label, check box or push
// button without one, a caption label leading nowhere, a letter used twice (tab captions included).
QStringList MnemonicFaults(QWidget* AWindow) {
    QStringList lFaults;
    QHash<QChar, QString> lUsed;
    auto use = [&](const QString& AName, const QString& AText) {
        const QChar c = Mnemonic(AText);
        if (c.isNull())
            return false;
        if (lUsed.contains(c))
            lFaults << QStringLiteral("%1 and %2 share Alt+%3").arg(lUsed.value(c), AName, c);
        lUsed.insert(c, AName);
        return true;
    };
    for (QWidget* w : AWindow->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(AWindow))
            continue;
        if (auto* lLabel = qobject_cast<QLabel*>(w)) {
            if (lLabel->text().isEmpty() || IsTextLabel(lLabel))
                continue;
            if (!use(w->objectName(), lLabel->text()))
                lFaults << QStringLiteral("label %1 \"%2\" has no Alt letter")
                               .arg(w->objectName(), lLabel->text());
            else if (!lLabel->buddy())
                lFaults << QStringLiteral("label %1 leads nowhere").arg(w->objectName());
        } else if (qobject_cast<QToolButton*>(w)) {
            continue; // tool buttons show tool tips instead
        } else if (auto* lButton = qobject_cast<QAbstractButton*>(w)) {
            if (!use(w->objectName(), lButton->text()))
                lFaults
                    << QStringLiteral("%1 \"%2\" has no Alt letter").arg(w->objectName(), lButton->text());
        } else if (auto* lGroup = qobject_cast<QGroupBox*>(w)) {
            use(w->objectName(), lGroup->title());
        } else if (auto* lTabs = qobject_cast<QTabBar*>(w)) {
            for (int i = 0; i < lTabs->count(); ++i)
                if (!use(QStringLiteral("tab ") + lTabs->tabText(i), lTabs->tabText(i)))
                    lFaults << QStringLiteral("tab \"%1\" has no Alt letter").arg(lTabs->tabText(i));
        }
    }
    return lFaults;
}

// Runs ACheck on the next modal dialog of type TDlg that comes up and closes it.
template <class TDlg> class TDlgCatcher {
public:
    explicit TDlgCatcher(std::function<void(TDlg&)> ACheck) : m_fCheck(std::move(ACheck)) {
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            auto* lDlg = qobject_cast<TDlg*>(QApplication::activeModalWidget());
            if (!lDlg)
                return;
            ++m_nSeen;
            m_fCheck(*lDlg);
            lDlg->reject();
        });
        m_oTimer.start(20);
    }
    int m_nSeen = 0;

private:
    std::function<void(TDlg&)> m_fCheck;
    QTimer m_oTimer;
};

} // namespace

class TestFmMainKeys : public QObject {
    Q_OBJECT

    TBench m_oBench;

    TfmMain& Main() { return m_oBench.Main(); }
    void StartActive() {
        m_oBench.WriteDataFile({{QStringLiteral("A1B2C3"), QStringLiteral("Anna"), QString()},
                                {QStringLiteral("0D0E0F"), QStringLiteral("Boris"), QString()}},
                               nullptr);
        m_oBench.StartMain();
        Main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&Main()));
    }

private Q_SLOTS:
    void initTestCase() { m_oBench.InitCase(); }
    void init() { m_oBench.Init(); }
    void cleanup() { m_oBench.Cleanup(); }
    void cleanupTestCase() { m_oBench.CleanupCase(); }

    void enterAndEscapeAnswerOkAndCancel_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("saved");
        QTest::newRow("Enter in the serial number") << "edtRdSn" << int(Qt::Key_Return) << 0 << true;
        QTest::newRow("keypad Enter in the start of the day")
            << "dtpStartDay" << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true;
        QTest::newRow("Enter on the Wiegand switch") << "chkWiegand" << int(Qt::Key_Return) << 0 << true;
        QTest::newRow("Escape in the serial number") << "edtRdSn" << int(Qt::Key_Escape) << 0 << false;
        QTest::newRow("Escape on the zones list") << "lvZones" << int(Qt::Key_Escape) << 0 << false;
        // A focused button takes Enter itself, as in a dialog.
        QTest::newRow("Enter on the focused Cancel button")
            << "btnCancel" << int(Qt::Key_Return) << 0 << false;
    }
    void enterAndEscapeAnswerOkAndCancel() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, saved);
        StartActive();
        if (focus == QLatin1String("lvZones"))
            Main().pcMain->setCurrentWidget(Main().tsZones);
        Main().Doc().DeleteCard(0);
        auto* lTarget = Main().findChild<QWidget*>(focus);
        QVERIFY(lTarget);
        lTarget->setFocus();
        QTRY_VERIFY(lTarget->hasFocus() || lTarget->isAncestorOf(QApplication::focusWidget()));
        TBoxAnswerer lAnswer(QMessageBox::Yes);
        QSignalSpy lEnd(&Main(), &TfmMain::endRequested);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(lEnd.size(), 1);
        QVERIFY(!Main().isVisible());
        QVERIFY(lAnswer.m_aTexts.isEmpty());
        QCOMPARE(m_oBench.SavedDoc()->Cards().Count(), saved ? 1 : 2);
    }

    void enterOnARowChangesIt() {
        StartActive();
        QStringList lShown;
        TDlgCatcher<TfmTimeZoneDlg> lZones([&](TfmTimeZoneDlg& ADlg) { lShown << ADlg.edtName->text(); });
        TDlgCatcher<TfmCardDlg> lCards([&](TfmCardDlg& ADlg) { lShown << ADlg.edtName->text(); });
        for (TListView* lList : {Main().lvZones, Main().lvCards}) {
            Main().pcMain->setCurrentWidget(lList == Main().lvZones ? Main().tsZones : Main().tsCards);
            TfmMain::SelectListItem(lList, 1, false);
            lList->setFocus();
            QSignalSpy lEnd(&Main(), &TfmMain::endRequested);
            QTest::keyClick(lList, Qt::Key_Return);
            QVERIFY(lEnd.isEmpty());
        }
        QCOMPARE(lShown, (QStringList{QStringLiteral("Evening"), QStringLiteral("Boris")}));
        QVERIFY(Main().isVisible());
    }

    void everyCaptionHasItsOwnAltLetter() {
        StartActive();
        QStringList lFaults;
        for (int i = 0; i < Main().pcMain->count(); ++i) {
            Main().pcMain->setCurrentIndex(i);
            for (const QString& f : MnemonicFaults(&Main()))
                lFaults << Main().pcMain->tabText(i) + QStringLiteral(": ") + f;
        }
        TDlgCatcher<TfmCardDlg> lCard([&](TfmCardDlg& ADlg) { lFaults << MnemonicFaults(&ADlg); });
        TDlgCatcher<TfmTimeZoneDlg> lZone([&](TfmTimeZoneDlg& ADlg) { lFaults << MnemonicFaults(&ADlg); });
        DoCardDlg(&Main(), Main().Doc(), 0);
        DoTimeZoneDlg(&Main(), Main().Doc(), 0);
        QCOMPARE(lCard.m_nSeen + lZone.m_nSeen, 2);
        TfmProcessingDlg lProcessing(&Main());
        QTimer::singleShot(50, &lProcessing, [&] {
            lFaults << MnemonicFaults(&lProcessing);
            lProcessing.btnCancel->click();
        });
        lProcessing.ExecuteProcessing(
            QStringLiteral("Working..."), nullptr, true, 0, [](TfmProcessingDlg&) {}, nullptr);
        QVERIFY2(lFaults.isEmpty(), qPrintable(lFaults.join(QStringLiteral("\n"))));
    }

    void toolButtonsHaveToolTips() {
        StartActive();
        const auto lButtons = Main().tbMain->findChildren<QToolButton*>();
        QVERIFY(lButtons.size() >= 3);
        for (QToolButton* lButton : lButtons) {
            if (!lButton->isVisibleTo(Main().tbMain) || !lButton->defaultAction())
                continue; // the tool bar's own extension button
            // The caption alone, as a tool bar makes it up when nothing was said, explains nothing.
            QString lCaption = lButton->defaultAction()->text().remove(QLatin1Char('&'));
            if (lCaption.endsWith(QLatin1String("...")))
                lCaption.chop(3);
            const QString lTip = lButton->toolTip();
            QVERIFY2(!lTip.isEmpty() && lTip != lCaption,
                     qPrintable(lButton->objectName() + QStringLiteral(": ") + lTip));
        }
    }

    void ctrlQEndsAsTheCloseButtonDoes_data() {
        QTest::addColumn<bool>("modify");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<int>("savedCards");
        QTest::newRow("unmodified: no question") << false << int(QMessageBox::Yes) << false << true << 2;
        QTest::newRow("modified, Yes saves") << true << int(QMessageBox::Yes) << true << true << 1;
        QTest::newRow("modified, No discards") << true << int(QMessageBox::No) << true << true << 2;
        QTest::newRow("modified, Cancel stays") << true << int(QMessageBox::Cancel) << true << false << 2;
    }
    void ctrlQEndsAsTheCloseButtonDoes() {
        QFETCH(bool, modify);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        QFETCH(int, savedCards);
        StartActive();
        if (modify)
            Main().Doc().DeleteCard(0);
        Main().edtRdSn->setFocus();
        TBoxAnswerer lAnswer{QMessageBox::StandardButton(answer)};
        QSignalSpy lEnd(&Main(), &TfmMain::endRequested);
        QTest::keyClick(Main().edtRdSn, Qt::Key_Q, Qt::ControlModifier);
        QTRY_COMPARE(lAnswer.m_aTexts.size(), asked ? 1 : 0);
        if (asked)
            QCOMPARE(lAnswer.m_aTexts.first(), QStringLiteral("Save changes?"));
        QCOMPARE(lEnd.size(), closed ? 1 : 0);
        QCOMPARE(Main().isVisible(), !closed);
        QCOMPARE(m_oBench.SavedDoc()->Cards().Count(), savedCards);
    }
};

QTEST_MAIN(TestFmMainKeys)
#include "test_fmmainkeys.moc"
