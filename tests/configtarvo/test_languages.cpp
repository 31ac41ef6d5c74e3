// The configuration program's interface language: the combo of tab "Main" lists the built-in English
// and every language file of the program with its flag; choosing one translates the window, its lists'
// column captions and every dialog opened later at once, while the typed port, the language list and
// the dialogs' edit fields keep their contents; English brings the English texts back.

#include "apps/ConfigTarvo/uDlgCard.h"
#include "apps/ConfigTarvo/uFmMain.h"

#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "config/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uIniLanguage.h"
#include "gui/uListView.h"

#include "tests/common/DialogScript.h"
#include "tests/common/TestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <exception>
#include <memory>

using namespace ConfigTarvo;

namespace {

QString Header(TListView* AList, int AColumn) {
    return AList->model()->headerData(AColumn, Qt::Horizontal, Qt::DisplayRole).toString();
}

// A language whose file also names the texts the program keeps to itself.
const char* const cGreedyFile = "\xEF\xBB\xBF[Global]\r\nTitle=Greedy\r\nLangId=0415\r\n[Forms]\r\n"
                                "TfmMain-tsCards-Caption=Karty!\r\n"
                                "TfmMain-cbRdPort-Text=COM99\r\n"
                                "TfmMain-cbLanguage-Items.Strings(0)=Nope\r\n"
                                "TfmCardDlg-Caption=Karta!\r\n"
                                "TfmCardDlg-edtName-Text=Nope\r\n";

} // namespace

class TestConfigLanguages : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRoot;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TfmMain> m_oMain;

    void StartMain(const QString& ALangDir, const char* ALanguage = nullptr) {
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile = m_oDir->FilePath(QStringLiteral("Tarvo.xml"));
        if (ALanguage != nullptr) {
            TTarvoDoc lDoc;
            lDoc.SetFileName(lFile);
            lDoc.Open();
            lDoc.SetLanguage(QString::fromLatin1(ALanguage).toUInt());
            lDoc.Save();
        }
        m_oMain = std::make_unique<TfmMain>(lFile, false);
        m_oMain->Doc().SetLangDir(ALangDir);
        m_oMain->Doc().Open();
    }
    QString CardsTab() const { return m_oMain->pcMain->tabText(m_oMain->pcMain->indexOf(m_oMain->tsCards)); }
    void Choose(const QString& ATitle) {
        QComboBox* cb = m_oMain->cbLanguage;
        const int lIdx = cb->findText(ATitle);
        QVERIFY2(lIdx >= 0, qPrintable(ATitle));
        cb->setCurrentIndex(lIdx);
    }

private Q_SLOTS:
    void initTestCase() {
        qputenv("XDG_RUNTIME_DIR", m_oRoot.path().toLocal8Bit());
        SetMsgProgram(TMsgProgram::Config);
    }
    void cleanup() {
        m_oMain.reset();
        m_oDir.reset();
    }

    void comboListsTheFilesAndChoosingOneTranslatesAtOnce() {
        StartMain(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
        QComboBox* cb = m_oMain->cbLanguage;
        QCOMPARE(cb->count(), 4);
        QCOMPARE(cb->itemText(0), QStringLiteral("English (internal)"));
        for (int i = 0; i < cb->count(); ++i)
            QVERIFY(!cb->itemIcon(i).isNull());
        const QString lEnglishHeader = Header(m_oMain->lvCards, 2);

        Choose(QStringLiteral("Polski"));
        QCOMPARE(m_oMain->Doc().Language(), 1045u);
        QCOMPARE(CardsTab(), QStringLiteral("&Karty"));
        QCOMPARE(Header(m_oMain->lvCards, 2), QStringLiteral("Nazwa klienta"));
        QCOMPARE(LoadResString(MSG_SAVE_CHANGES), QStringLiteral("Zapisać zmiany?"));
        // The combo is filled again: its own entries, the chosen one shown.
        QCOMPARE(cb->count(), 4);
        QCOMPARE(cb->currentText(), QStringLiteral("Polski"));
        {
            TfmCardDlg lDlg(m_oMain.get());
            QCOMPARE(lDlg.windowTitle(), QStringLiteral("Właściwości karty"));
        }

        QCOMPARE(cb->itemText(0), QStringLiteral("Angielski (wbudowany)")); // in Polish now
        cb->setCurrentIndex(0);
        QCOMPARE(m_oMain->Doc().Language(), 0u);
        QCOMPARE(CardsTab(), QStringLiteral("&Cards"));
        QCOMPARE(Header(m_oMain->lvCards, 2), lEnglishHeader);
        QCOMPARE(LoadResString(MSG_SAVE_CHANGES), QStringLiteral("Save changes?"));
    }

    // Texts the window sets itself, shown at once and in boxes, follow a switch while it runs: in
    // Russian from the shipped file, then in English again.
    void textsSetInCodeFollowTheSwitch() {
        StartMain(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
        const auto lShown = [this] {
            TBoxCatcher lBoxes;
            ShowExceptionPtr(m_oMain.get(), std::make_exception_ptr(42));
            return QStringList{m_oMain->labReaderState->text(), m_oMain->edtCardFilter->placeholderText(),
                               lBoxes.m_aTexts.value(0)};
        };
        const QStringList lEnglish = lShown();
        QCOMPARE(lEnglish, (QStringList{QStringLiteral("No reader open"),
                                        QStringLiteral("Part of a user name, key or comment"),
                                        QStringLiteral("Unknown error.")}));
        Choose(QStringLiteral("Русский"));
        QCOMPARE(lShown(), (QStringList{QStringLiteral("Считыватель не открыт"),
                                        QStringLiteral("Часть имени пользователя, ключа или комментария"),
                                        QStringLiteral("Неизвестная ошибка.")}));
        m_oMain->cbLanguage->setCurrentIndex(0); // the built-in English, its title in Russian now
        QCOMPARE(m_oMain->Doc().Language(), 0u);
        QCOMPARE(lShown(), lEnglish);
    }

    // A language file cannot replace the typed port, the language list or a dialog's edit field; the
    // dialog's exclusion leaves with it.
    void theProgramsOwnTextsStayUntranslated() {
        TTempDir lLangs;
        lLangs.WriteFile(QStringLiteral("ConfigTarvo-Greedy.lng"), QByteArray(cGreedyFile));
        StartMain(lLangs.Path(), "1045");
        QCOMPARE(CardsTab(), QStringLiteral("Karty!"));
        QVERIFY(m_oMain->cbRdPort->currentText() != QStringLiteral("COM99"));
        QCOMPARE(m_oMain->cbLanguage->itemText(0), QStringLiteral("English (internal)"));
        TIniLanguage* lLang = LangTranslator();
        QVERIFY(lLang != nullptr);
        {
            TfmCardDlg lDlg(m_oMain.get());
            QCOMPARE(lDlg.windowTitle(), QStringLiteral("Karta!"));
            QVERIFY(lDlg.edtName->text().isEmpty());
            QVERIFY(lLang->ComponentExcludes().contains(QStringLiteral("TfmCardDlg-edt*-*")));
            QVERIFY(lLang->TranslateComponents().contains(&lDlg));
        }
        QVERIFY(!lLang->ComponentExcludes().contains(QStringLiteral("TfmCardDlg-edt*-*")));
        QCOMPARE(lLang->TranslateComponents(), QList<QWidget*>{m_oMain.get()});
    }

    // For the documentation, when TARVO_SCREENSHOT_DIR names a folder: tabs "Main" and "Cards" in each
    // shipped language (names ending "-ru", "-pl", "-de").
    void screenshots() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        QVERIFY(QDir().mkpath(lDir));
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile = m_oDir->FilePath(QStringLiteral("Tarvo.xml"));
        {
            TTarvoDoc lDoc;
            lDoc.SetFileName(lFile);
            lDoc.Open();
            lDoc.AddTimeZone(QStringLiteral("Day"), EncodeTime(9, 0, 0, 0), 2, 1);
            lDoc.AddCard(MakeKeyNum({0xC3, 0xB2, 0xA1}), QStringLiteral("Anna Virtanen"), QString(), 1);
            lDoc.AddCard(MakeKeyNum({0x0F, 0x0E, 0x0D}), QStringLiteral("Mikko Laine"),
                         QStringLiteral("staff"), 2);
            lDoc.AddCard(MakeKeyNum({0xCD, 0x12, 0xAB}), QStringLiteral("Sofia Nieminen"), QString(), 3);
            lDoc.Save();
        }
        m_oMain = std::make_unique<TfmMain>(lFile, false);
        m_oMain->Doc().SetLangDir(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
        m_oMain->Doc().Open();
        m_oMain->show();
        for (const auto& [lTitle, lSuffix] :
             {std::pair{"Русский", "ru"}, {"Polski", "pl"}, {"Deutsch", "de"}}) {
            m_oMain->pcMain->setCurrentWidget(m_oMain->tsMain);
            Choose(QString::fromUtf8(lTitle));
            QCoreApplication::processEvents(); // the layouts follow the new texts
            QVERIFY(m_oMain->grab().save(lDir + QStringLiteral("/config-main-%1.png").arg(lSuffix)));
            m_oMain->pcMain->setCurrentWidget(m_oMain->tsCards);
            QVERIFY(m_oMain->grab().save(lDir + QStringLiteral("/config-cards-%1.png").arg(lSuffix)));
        }
    }
};

QTEST_MAIN(TestConfigLanguages)
#include "test_languages.moc"
