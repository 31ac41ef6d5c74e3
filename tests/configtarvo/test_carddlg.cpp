// The card dialog: the two key input forms and switching between them, the refusals with their
// messages and focus, and what OK and Cancel leave in the document.
#include "apps/ConfigTarvo/uDlgCard.h"

#include "base/uKeyNum.h"
#include "config/uTarvoDoc.h"
#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using namespace ConfigTarvo;

namespace {

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    HexToKeyNum(QString::fromLatin1(AHex), lNumber);
    return lNumber;
}

// Every card as "key|name|level|comment".
QStringList Cards(const TTarvoDoc& ADoc) {
    QStringList lList;
    for (int i = 0; i < ADoc.Cards().Count(); ++i) {
        const TCard* c = ADoc.Cards().GetCard(i);
        lList << QStringLiteral("%1|%2|%3|%4")
                     .arg(KeyNumToStr(c->m_Number, 0), c->m_sUserName)
                     .arg(c->m_nLevel)
                     .arg(c->m_sComment);
    }
    return lList;
}

} // namespace

class TestCardDlg : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTarvoDoc> m_oDoc;

    void Fill(TfmCardDlg& ADlg, const QString& ANumber, const QString& AName) {
        ADlg.edtNumber->setText(ANumber);
        ADlg.edtName->setText(AName);
    }

private Q_SLOTS:
    void init() {
        m_oDoc = std::make_unique<TTarvoDoc>();
        m_oDoc->AddCard(Key("123456"), QStringLiteral("Ann"), QStringLiteral("VIP"), 3);
        m_oDoc->AddCard(Key("AB12"), QString(), QString(), 0);
        m_oDoc->SetModifyedFlag(false);
    }
    void cleanup() { m_oDoc.reset(); }

    void controlsCarryTheirNames() {
        TfmCardDlg lDlg;
        QCOMPARE(lDlg.objectName(), QStringLiteral("TfmCardDlg"));
        QCOMPARE(lDlg.windowTitle(), QStringLiteral("Card properties"));
        for (const char* lName :
             {"edtNumber", "cbKeEdit", "edtName", "edtLevel", "edtComment", "btnOk", "btnCancel"})
            QVERIFY2(lDlg.findChild<QWidget*>(QString::fromLatin1(lName)), lName);
        QCOMPARE(lDlg.cbKeEdit->count(), 2);
        QCOMPARE(lDlg.cbKeEdit->itemText(1), QStringLiteral("WIN-PAK PROXWAY ЭРА"));
        QCOMPARE(lDlg.edtLevel->maximum(), 2147483647);
        QCOMPARE(lDlg.edtLevel->minimum(), 0);
        QVERIFY(lDlg.btnOk->isDefault());
    }

    void textAndNumberInBothInputForms_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex"); // the number read, "" for length 0
        QTest::newRow("hex") << 0 << "00123456"
                             << "00123456";
        QTest::newRow("hex lower case") << 0 << "ab12"
                                        << "AB12";
        QTest::newRow("hex odd digits") << 0 << "ABC"
                                        << "0ABC";
        QTest::newRow("hex empty") << 0 << ""
                                   << "";
        QTest::newRow("hex blank") << 0 << "12 34"
                                   << "";
        QTest::newRow("hex letter beyond f") << 0 << "12G4"
                                             << "";
        QTest::newRow("hex 30 digits") << 0 << QString(30, QLatin1Char('1')) << QString(30, QLatin1Char('1'));
        QTest::newRow("hex 31 digits") << 0 << QString(31, QLatin1Char('1')) << "";
        QTest::newRow("decimal") << 1 << "1193046"
                                 << "123456";
        QTest::newRow("decimal keeps three low bytes") << 1 << "16777216"
                                                       << "000000";
        QTest::newRow("decimal zero") << 1 << "0"
                                      << "000000";
        QTest::newRow("decimal negative") << 1 << "-1"
                                          << "FFFFFF";
        QTest::newRow("decimal empty") << 1 << ""
                                       << "";
        QTest::newRow("decimal letters") << 1 << "12a"
                                         << "";
        QTest::newRow("decimal beyond 32 bits") << 1 << "4294967296"
                                                << "";
    }
    void textAndNumberInBothInputForms() {
        QFETCH(int, format);
        QFETCH(QString, text);
        QFETCH(QString, hex);
        const TOrv_KEYNUM lNumber = TfmCardDlg::TextToNumber(text, format);
        QCOMPARE(KeyNumToStr(lNumber, 0), hex);
        if (!hex.isEmpty() && format == 0)
            QCOMPARE(TfmCardDlg::NumberToText(lNumber, 0), hex);
    }

    void loadsTheCardInTheRememberedInputForm_data() {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("focus");
        QTest::newRow("new") << -1 << 0 << ""
                             << "edtNumber";
        QTest::newRow("named card hex") << 0 << 0 << "123456"
                                        << "edtNumber";
        QTest::newRow("named card decimal") << 0 << 1 << "1193046"
                                            << "edtNumber";
        QTest::newRow("card without name") << 1 << 0 << "AB12"
                                           << "edtName";
    }
    void loadsTheCardInTheRememberedInputForm() {
        QFETCH(int, idx);
        QFETCH(int, format);
        QFETCH(QString, number);
        QFETCH(QString, focus);
        m_oDoc->SetKeyEditFormat(format);
        TfmCardDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nCardIdx = idx;
        RunDlg(lDlg, [&] {
            QCOMPARE(lDlg.cbKeEdit->currentIndex(), format);
            QCOMPARE(lDlg.edtNumber->text(), number);
            QCOMPARE(lDlg.focusWidget()->objectName(), focus);
            if (idx == 0) {
                QCOMPARE(lDlg.edtName->text(), QStringLiteral("Ann"));
                QCOMPARE(lDlg.edtLevel->value(), 3);
                QCOMPARE(lDlg.edtComment->toPlainText(), QStringLiteral("VIP"));
            }
        });
    }

    void switchingTheInputFormConvertsTheNumberAndIsRemembered() {
        TfmCardDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        RunDlg(lDlg, [&] {
            lDlg.edtNumber->setText(QStringLiteral("AB123456"));
            lDlg.cbKeEdit->setCurrentIndex(1);
            QCOMPARE(lDlg.edtNumber->text(), QStringLiteral("1193046"));
            QCOMPARE(m_oDoc->KeyEditFormat(), 1);
            lDlg.cbKeEdit->setCurrentIndex(0);
            QCOMPARE(lDlg.edtNumber->text(), QStringLiteral("123456")); // only three bytes survive
            lDlg.cbKeEdit->setCurrentIndex(1);
            lDlg.btnCancel->click();
        });
        // Cancel keeps the chosen form: it is a setting, not part of the card.
        QCOMPARE(m_oDoc->KeyEditFormat(), 1);
        QVERIFY(m_oDoc->Modifyed());
        QCOMPARE(m_oDoc->Cards().Count(), 2);
    }

    void refusesWithAMessageAndStaysOpen_data() {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("keyView");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString lNotHex =
            QStringLiteral("Value must not be empty and must contain only numbers and the "
                           "characters 'a', 'b', 'c', 'd', 'e' and 'f'.");
        QTest::newRow("empty") << -1 << 0 << 0 << ""
                               << "Bob" << lNotHex << "edtNumber";
        QTest::newRow("blank inside") << -1 << 0 << 0 << "12 34"
                                      << "Bob" << lNotHex << "edtNumber";
        QTest::newRow("letter beyond f") << -1 << 0 << 0 << "12G4"
                                         << "Bob" << lNotHex << "edtNumber";
        QTest::newRow("decimal empty") << -1 << 1 << 0 << ""
                                       << "Bob" << lNotHex << "edtNumber";
        QTest::newRow("decimal text") << -1 << 1 << 0 << "x1"
                                      << "Bob" << lNotHex << "edtNumber";
        QTest::newRow("longer key equal over shorter length") << -1 << 0 << 0 << "00123456"
                                                              << "Bob"
                                                              << "Key \"00123456\" has already been added."
                                                              << "edtNumber";
        QTest::newRow("duplicate shown in the decimal view") << -1 << 0 << 1 << "00123456"
                                                             << "Bob"
                                                             << "Key \"1193046\" has already been added."
                                                             << "edtNumber";
        QTest::newRow("decimal duplicate") << -1 << 1 << 0 << "43794"
                                           << "Bob"
                                           << "Key \"00AB12\" has already been added."
                                           << "edtNumber";
        QTest::newRow("change to another's key") << 1 << 0 << 0 << "123456"
                                                 << ""
                                                 << "Key \"123456\" has already been added."
                                                 << "edtNumber";
        QTest::newRow("user name in other case") << -1 << 0 << 0 << "777"
                                                 << " ann "
                                                 << "Client \"ann\" has already been added."
                                                 << "edtName";
        QTest::newRow("change to another's name") << 1 << 0 << 0 << "AB12"
                                                  << "ANN"
                                                  << "Client \"ANN\" has already been added."
                                                  << "edtName";
    }
    void refusesWithAMessageAndStaysOpen() {
        QFETCH(int, idx);
        QFETCH(int, format);
        QFETCH(int, keyView);
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        m_oDoc->SetKeyEditFormat(format);
        m_oDoc->SetKeyView(keyView);
        m_oDoc->SetModifyedFlag(false);
        const QStringList lBefore = Cards(*m_oDoc);
        TfmCardDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nCardIdx = idx;
        TBoxCatcher lBoxes;
        const int lResult = RunDlg(lDlg, [&] {
            Fill(lDlg, number, name);
            lDlg.edtComment->setFocus();
            lDlg.btnOk->click();
            QVERIFY(lDlg.isVisible());
            QCOMPARE(lDlg.focusWidget()->objectName(), focus);
        });
        QCOMPARE(lResult, int(QDialog::Rejected));
        QCOMPARE(lBoxes.m_aTexts, QStringList{message});
        QCOMPARE(lBoxes.m_aIcons.value(0), QMessageBox::Critical);
        QCOMPARE(Cards(*m_oDoc), lBefore);
        QVERIFY(!m_oDoc->Modifyed());
    }

    void acceptsAndStores_data() {
        QTest::addColumn<int>("idx");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("cards");
        QTest::addColumn<int>("resultIdx");
        QTest::newRow("new, trimmed name")
            << -1 << 0 << "c0ffee"
            << "  Bob  " << QStringList{"123456|Ann|3|VIP", "AB12||0|", "C0FFEE|Bob|5|two\nlines"} << 2;
        QTest::newRow("second card without name")
            << -1 << 0 << "77"
            << "" << QStringList{"123456|Ann|3|VIP", "AB12||0|", "77||5|two\nlines"} << 2;
        QTest::newRow("decimal input keeps three low bytes")
            << -1 << 1 << "16777216"
            << "" << QStringList{"123456|Ann|3|VIP", "AB12||0|", "000000||5|two\nlines"} << 2;
        QTest::newRow("change keeping its own key and name")
            << 0 << 0 << "123456"
            << "ANN" << QStringList{"123456|ANN|5|two\nlines", "AB12||0|"} << 0;
        QTest::newRow("change to a longer form of its own key")
            << 1 << 0 << "00AB12"
            << "" << QStringList{"123456|Ann|3|VIP", "00AB12||5|two\nlines"} << 1;
    }
    void acceptsAndStores() {
        QFETCH(int, idx);
        QFETCH(int, format);
        QFETCH(QString, number);
        QFETCH(QString, name);
        QFETCH(QStringList, cards);
        QFETCH(int, resultIdx);
        m_oDoc->SetKeyEditFormat(format);
        TfmCardDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nCardIdx = idx;
        TBoxCatcher lBoxes;
        const int lResult = RunDlg(lDlg, [&] {
            Fill(lDlg, number, name);
            lDlg.edtLevel->setValue(5);
            lDlg.edtComment->setPlainText(QStringLiteral("two\nlines"));
            lDlg.btnOk->click();
        });
        QVERIFY(lBoxes.m_aTexts.isEmpty());
        QCOMPARE(lResult, int(QDialog::Accepted));
        QCOMPARE(Cards(*m_oDoc), cards);
        QCOMPARE(lDlg.m_nCardIdx, resultIdx);
    }

    void unchangedCardLeavesTheDocumentUnmodified() {
        TfmCardDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nCardIdx = 0;
        QCOMPARE(RunDlg(lDlg, [&] { lDlg.btnOk->click(); }), int(QDialog::Accepted));
        QVERIFY(!m_oDoc->Modifyed());
    }

    void cancelLeavesTheCardsAlone() {
        const QStringList lBefore = Cards(*m_oDoc);
        TfmCardDlg lDlg;
        lDlg.m_pDoc = m_oDoc.get();
        lDlg.m_nCardIdx = 0;
        const int lResult = RunDlg(lDlg, [&] {
            Fill(lDlg, QStringLiteral("99"), QStringLiteral("Zed"));
            lDlg.btnCancel->click();
        });
        QCOMPARE(lResult, int(QDialog::Rejected));
        QCOMPARE(Cards(*m_oDoc), lBefore);
        QVERIFY(!m_oDoc->Modifyed());
    }

    void entryPointReportsTheNewIndex() {
        int lIdx = -7;
        QTimer::singleShot(0, [] {
            auto* lDlg = qobject_cast<TfmCardDlg*>(QApplication::activeModalWidget());
            QVERIFY(lDlg);
            lDlg->edtNumber->setText(QStringLiteral("5A"));
            lDlg->btnOk->click();
        });
        QVERIFY(DoCardDlg(nullptr, *m_oDoc, -1, &lIdx));
        QCOMPARE(lIdx, 2);
        QCOMPARE(KeyNumToStr(m_oDoc->Cards().GetCard(2)->m_Number, 0), QStringLiteral("5A"));
    }
};

QTEST_MAIN(TestCardDlg)
#include "test_carddlg.moc"
