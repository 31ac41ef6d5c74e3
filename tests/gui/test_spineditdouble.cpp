// The decimal spin edit: reading and writing values in the user's locale, limits, stepping, the
// typing filter and what leaving and entering the field do.
#include "gui/uSpinEditDouble.h"

#include "tests/common/TestSupport.h"

#include <QFocusEvent>
#include <QLineEdit>
#include <QtTest>

#include <memory>

class TestSpinEditDouble : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TLocaleOverride> m_oLocale;
    std::unique_ptr<TSpinEditDouble> m_oEdit;

    QLineEdit* Line() { return m_oEdit->findChild<QLineEdit*>(); }
    void SetText(const QString& AText) { Line()->setText(AText); }
    void Limits(double AMin, double AMax) {
        m_oEdit->SetMinValue(AMin);
        m_oEdit->SetMaxValue(AMax);
    }

private Q_SLOTS:
    void init() {
        // A comma separator shows that the locale's separator is used and "." is not.
        m_oLocale = std::make_unique<TLocaleOverride>(QLatin1Char(','));
        m_oEdit = std::make_unique<TSpinEditDouble>();
    }
    void cleanup() {
        m_oEdit.reset();
        m_oLocale.reset();
    }

    void startsAtZero() {
        QCOMPARE(Line()->text(), QStringLiteral("0"));
        QCOMPARE(m_oEdit->Increment(), 1.0);
    }

    void valueReadsTheTextInTheLocale_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("comma decimal") << "2,5" << 2.5;
        QTest::newRow("negative") << "-0,25" << -0.25;
        QTest::newRow("blanks around") << " 7 " << 7.0;
        QTest::newRow("point is not the separator") << "2.5" << -3.0;
        QTest::newRow("letters") << "abc" << -3.0;
        QTest::newRow("empty") << "" << -3.0;
    }
    void valueReadsTheTextInTheLocale() {
        QFETCH(QString, text);
        QFETCH(double, value);
        Limits(-3, 10); // text that is no number reads as MinValue
        SetText(text);
        QCOMPARE(double(m_oEdit->Value()), value);
    }

    void setValueClampsUnlessTheLimitsAreEqual_data() {
        QTest::addColumn<double>("min");
        QTest::addColumn<double>("max");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("inside") << 0.0 << 10.0 << 5.5 << "5,5";
        QTest::newRow("above") << 0.0 << 10.0 << 12.0 << "10";
        QTest::newRow("below") << 0.0 << 10.0 << -1.0 << "0";
        QTest::newRow("no limits high") << 0.0 << 0.0 << 1000000.0 << "1000000";
        QTest::newRow("no limits negative") << 0.0 << 0.0 << -2.75 << "-2,75";
        QTest::newRow("equal non-zero limits") << 5.0 << 5.0 << 8.0 << "8";
    }
    void setValueClampsUnlessTheLimitsAreEqual() {
        QFETCH(double, min);
        QFETCH(double, max);
        QFETCH(double, value);
        QFETCH(QString, text);
        Limits(min, max);
        m_oEdit->SetValue(value);
        QCOMPARE(Line()->text(), text);
    }

    void stepsByTheIncrementWithinTheLimits() {
        Limits(0, 10);
        m_oEdit->SetIncrement(2.5);
        SetText(QStringLiteral("1,5"));
        m_oEdit->stepBy(1);
        QCOMPARE(Line()->text(), QStringLiteral("4"));
        QTest::keyClick(m_oEdit.get(), Qt::Key_Down);
        QCOMPARE(Line()->text(), QStringLiteral("1,5"));
        m_oEdit->stepBy(5);
        QCOMPARE(Line()->text(), QStringLiteral("10"));
        // A non-number steps from MinValue.
        SetText(QStringLiteral("x"));
        QTest::keyClick(m_oEdit.get(), Qt::Key_Up);
        QCOMPARE(Line()->text(), QStringLiteral("2,5"));
    }

    void readOnlyDoesNotStep() {
        m_oEdit->SetValue(3);
        m_oEdit->setReadOnly(true);
        m_oEdit->stepBy(1);
        QTest::keyClick(m_oEdit.get(), Qt::Key_Up);
        QCOMPARE(Line()->text(), QStringLiteral("3"));
    }

    void typingAcceptsOnlyNumberCharacters_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("digits and separator") << "12,5"
                                              << "12,5";
        QTest::newRow("letters dropped") << "1a2b"
                                         << "12";
        QTest::newRow("signs kept") << "-+3"
                                    << "-+3";
        QTest::newRow("other separator dropped") << "1.5"
                                                 << "15";
        QTest::newRow("blank and exponent dropped") << "1 e5"
                                                    << "15";
    }
    void typingAcceptsOnlyNumberCharacters() {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        SetText(QString());
        QTest::keyClicks(m_oEdit.get(), typed);
        QCOMPARE(Line()->text(), text);
    }

    void editingKeysStillWork() {
        SetText(QString());
        QTest::keyClicks(m_oEdit.get(), QStringLiteral("123"));
        QTest::keyClick(m_oEdit.get(), Qt::Key_Backspace);
        QTest::keyClick(m_oEdit.get(), Qt::Key_Home);
        QTest::keyClick(m_oEdit.get(), Qt::Key_Delete);
        QCOMPARE(Line()->text(), QStringLiteral("2"));
    }

    void leavingRewritesOnlyAnOutOfRangeNumber_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("after");
        QTest::newRow("above") << "99"
                               << "10";
        QTest::newRow("below") << "-4,5"
                               << "0";
        QTest::newRow("inside stays as typed") << "+3,50"
                                               << "+3,50";
        QTest::newRow("no number stays") << "-"
                                         << "-";
    }
    void leavingRewritesOnlyAnOutOfRangeNumber() {
        QFETCH(QString, typed);
        QFETCH(QString, after);
        Limits(0, 10);
        SetText(typed);
        QFocusEvent lOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(m_oEdit.get(), &lOut);
        QCOMPARE(Line()->text(), after);
    }

    void enteringSelectsAllText() {
        m_oEdit->SetValue(12.25);
        Line()->deselect();
        QFocusEvent lIn(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(m_oEdit.get(), &lIn);
        QCoreApplication::processEvents();
        QCOMPARE(Line()->selectedText(), QStringLiteral("12,25"));
    }

    void changedFollowsTheText() {
        QSignalSpy lSpy(m_oEdit.get(), &TSpinEditDouble::Changed);
        m_oEdit->SetValue(4);
        QCOMPARE(lSpy.count(), 1);
        m_oEdit->SetValue(4); // same text: no change
        QCOMPARE(lSpy.count(), 1);
        QTest::keyClicks(m_oEdit.get(), QStringLiteral("5"));
        QCOMPARE(lSpy.count(), 2);
    }
};

QTEST_MAIN(TestSpinEditDouble)
#include "test_spineditdouble.moc"
