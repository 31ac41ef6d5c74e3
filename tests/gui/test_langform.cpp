// A window's life with the program's translator: registration when created (translated at once while a
// language is loaded), leaving when destroyed with its exclusions, the owner's keys never reaching into
// a dialog it owns, choosing a language among the files (English texts back first, a bad file undone),
// the flag images, and the toolkit's translation locale of a language id.
#include "gui/uLangForm.h"

#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "gui/uIniLanguage.h"
#include "gui/uLangFlags.h"
#include "tests/common/TestSupport.h"

#include <QDialog>
#include <QImage>
#include <QPushButton>
#include <QSet>
#include <QTabBar>
#include <QtTest>

#include <memory>

namespace {

// A window of class AClass with one button btnOk captioned "OK".
std::unique_ptr<QWidget> MakeForm(const char* AClass, QWidget* AOwner = nullptr) {
    std::unique_ptr<QWidget> lForm;
    if (AOwner != nullptr)
        lForm = std::make_unique<QDialog>(AOwner);
    else
        lForm = std::make_unique<QWidget>();
    lForm->setObjectName(QString::fromLatin1(AClass));
    lForm->setWindowTitle(QStringLiteral("Title"));
    auto* lOk = new QPushButton(QStringLiteral("OK"), lForm.get());
    lOk->setObjectName(QStringLiteral("btnOk"));
    return lForm;
}

QString OkText(QWidget* AForm) {
    return AForm->findChild<QPushButton*>(QStringLiteral("btnOk"), Qt::FindDirectChildrenOnly)->text();
}

QByteArray LangFile(const char* ALangId, const char* AForms) {
    return QByteArray("\xEF\xBB\xBF[Global]\r\nTitle=T\r\nLangId=") + ALangId + "\r\n[Forms]\r\n" + AForms +
           "[Strings]\r\nStr250=Sisään\r\n";
}

QByteArray Pixels(std::uint32_t AId) {
    const QImage lImage = LangFlagIcon(AId).pixmap(16, 11).toImage();
    return QByteArray(reinterpret_cast<const char*>(lImage.constBits()), lImage.sizeInBytes());
}

} // namespace

class TestLangForm : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<TIniLanguage> m_oLang;
    std::unique_ptr<TTempDir> m_oDir;

private Q_SLOTS:
    void init() {
        SetMsgProgram(TMsgProgram::FrontDesk);
        m_oDir = std::make_unique<TTempDir>();
        m_oLang = NewProgramTranslator();
    }
    void cleanup() {
        m_oLang.reset();
        m_oDir.reset();
    }

    void withoutATranslatorNothingHappens() {
        m_oLang.reset();
        QVERIFY(LangTranslator() == nullptr);
        auto lForm = MakeForm("TfmTest");
        RegisterLangForm(lForm.get(), {QStringLiteral("TfmTest-edt*-*")});
        QCOMPARE(OkText(lForm.get()), QStringLiteral("OK"));
    }

    // Registered: translated when a language is loaded, with its own exclusions; destroyed: gone from
    // the list with its exclusions.
    void aWindowComesTranslatedAndLeavesWithItsExclusions() {
        QCOMPARE(LangTranslator(), m_oLang.get());
        m_oDir->WriteFile(QStringLiteral("Tarvo-Finnish.lng"),
                          LangFile("040B", "TfmTest-Caption=Otsikko\r\nTfmTest-btnOk-Caption=Selvä\r\n"));
        SelectLanguage(*m_oLang, QStringLiteral("Tarvo-"), 1035, m_oDir->Path());
        QVERIFY(m_oLang->Loaded());
        QCOMPARE(LoadResString(MSG_IN), QStringLiteral("Sisään"));
        {
            auto lForm = MakeForm("TfmTest");
            RegisterLangForm(lForm.get(), {QStringLiteral("TfmTest-btnOk-*")});
            QCOMPARE(lForm->windowTitle(), QStringLiteral("Otsikko"));
            QCOMPARE(OkText(lForm.get()), QStringLiteral("OK")); // excluded by the window itself
            QCOMPARE(m_oLang->TranslateComponents(), QList<QWidget*>{lForm.get()});
        }
        QVERIFY(m_oLang->TranslateComponents().isEmpty());
        QVERIFY(m_oLang->ComponentExcludes().isEmpty());
        auto lAgain = MakeForm("TfmTest");
        RegisterLangForm(lAgain.get());
        QCOMPARE(OkText(lAgain.get()), QStringLiteral("Selvä"));
    }

    // The owner's key names its own button; the dialog it owns has a button of the same name, which only
    // the dialog's keys reach, and the template lists it under the dialog alone.
    void ownerKeysStopAtTheDialogsItOwns() {
        auto lMain = MakeForm("TfmMain");
        auto lDlg = MakeForm("TfmDlg", lMain.get());
        auto* lPrint = new QPushButton(QStringLiteral("Print"), lDlg.get());
        lPrint->setObjectName(QStringLiteral("btnPrint"));
        RegisterLangMainForm(lMain.get());
        RegisterLangForm(lDlg.get());
        m_oDir->WriteFile(
            QStringLiteral("Tarvo-Finnish.lng"),
            LangFile("040B", "TfmMain-btnOk-Caption=Pää\r\nTfmMain-btnPrint-Caption=Tulosta\r\n"));
        SelectLanguage(*m_oLang, QStringLiteral("Tarvo-"), 1035, m_oDir->Path());
        QCOMPARE(OkText(lMain.get()), QStringLiteral("Pää"));
        QCOMPARE(OkText(lDlg.get()), QStringLiteral("OK"));
        QCOMPARE(lPrint->text(), QStringLiteral("Print"));

        const QString lTemplate = m_oDir->FilePath(QStringLiteral("template.lng"));
        m_oLang->SaveAs(lTemplate);
        QFile lFile(lTemplate);
        QVERIFY(lFile.open(QIODevice::ReadOnly));
        const QString lText = QString::fromUtf8(lFile.readAll());
        QCOMPARE(lText.count(QStringLiteral("-btnOk-Caption=")), 2);
        QVERIFY(lText.contains(QStringLiteral("TfmDlg-btnOk-Caption=OK")));
        QVERIFY(lText.contains(QStringLiteral("TfmDlg-btnPrint-Caption=Print")));
        QVERIFY(!lText.contains(QStringLiteral("TfmMain-btnPrint")));
        QVERIFY(!lText.contains(QStringLiteral("TfmMain-TfmDlg")));
    }

    // Each choice starts from the main window's built-in texts: a language without a text for
    // something, English, or an id without a file all show English there; a file that fails is undone.
    void choosingStartsFromTheBuiltInTexts() {
        auto lMain = MakeForm("TfmMain");
        RegisterLangMainForm(lMain.get());
        m_oDir->WriteFile(QStringLiteral("Tarvo-A.lng"), LangFile("040B", "TfmMain-btnOk-Caption=Selvä\r\n"));
        m_oDir->WriteFile(QStringLiteral("Tarvo-B.lng"), LangFile("0413", "TfmMain-Caption=Titel\r\n"));
        m_oDir->WriteFile(
            QStringLiteral("Tarvo-Bad.lng"),
            LangFile("0406", "TfmMain-btnOk-Caption=Ok!\r\nTfmMain-btnOk-Columns<x>.Caption=1\r\n"));
        struct TCase {
            std::uint32_t m_nId;
            const char* m_sTitle;
            const char* m_sOk;
            bool m_fLoaded;
        };
        const TCase cCases[] = {
            {1035, "Title", "Selvä", true}, {1043, "Titel", "OK", true},    {1035, "Title", "Selvä", true},
            {0, "Title", "OK", false},      {1035, "Title", "Selvä", true}, {1049, "Title", "OK", false},
            {1035, "Title", "Selvä", true}, {127, "Title", "OK", false},
        };
        for (const TCase& c : cCases) {
            SelectLanguage(*m_oLang, QStringLiteral("Tarvo-"), c.m_nId, m_oDir->Path());
            QCOMPARE(m_oLang->Loaded(), c.m_fLoaded);
            QCOMPARE(lMain->windowTitle(), QString::fromUtf8(c.m_sTitle));
            QCOMPARE(OkText(lMain.get()), QString::fromUtf8(c.m_sOk));
        }
        QVERIFY_THROWS_EXCEPTION(EConvertError,
                                 SelectLanguage(*m_oLang, QStringLiteral("Tarvo-"), 1030, m_oDir->Path()));
        QVERIFY(!m_oLang->Loaded());
        QCOMPARE(LoadResString(MSG_IN), QStringLiteral("In"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
    }

    // A tab bar's tabs: listed by the template and set by the translator, an index outside left alone.
    void tabBarTabsAreTexts() {
        auto lForm = MakeForm("TfmTest");
        auto* lBar = new QTabBar(lForm.get());
        lBar->setObjectName(QStringLiteral("tcKorvel"));
        lBar->addTab(QStringLiteral("Entry"));
        lBar->addTab(QStringLiteral("Exit"));
        RegisterLangForm(lForm.get());
        const QString lTemplate = m_oDir->FilePath(QStringLiteral("template.lng"));
        m_oLang->SaveAs(lTemplate);
        QFile lFile(lTemplate);
        QVERIFY(lFile.open(QIODevice::ReadOnly));
        QVERIFY(lFile.readAll().contains("TfmTest-tcKorvel-Tabs.Strings(1)=Exit"));
        m_oDir->WriteFile(QStringLiteral("Tarvo-Finnish.lng"),
                          LangFile("040B", "TfmTest-tcKorvel-Tabs.Strings(1)=Uloskäynti\r\n"
                                           "TfmTest-tcKorvel-Tabs.Strings(2)=Ei\r\n"));
        SelectLanguage(*m_oLang, QStringLiteral("Tarvo-"), 1035, m_oDir->Path());
        QCOMPARE(lBar->tabText(0), QStringLiteral("Entry"));
        QCOMPARE(lBar->tabText(1), QStringLiteral("Uloskäynti"));
        QCOMPARE(lBar->count(), 2);
    }

    void flagsDifferByLanguageAndUnknownOnesShareANeutralSign() {
        QSet<QByteArray> lFlags;
        for (const std::uint32_t lId : {1033u, 1049u, 1045u, 1031u})
            lFlags.insert(Pixels(lId));
        QCOMPARE(lFlags.size(), 4);
        const QByteArray lNeutral = Pixels(1036);
        QVERIFY(!lFlags.contains(lNeutral));
        QCOMPARE(Pixels(0x7FFF), lNeutral);
        QVERIFY(!LangFlagIcon(1036).isNull());
    }

    void toolkitTranslationLocale_data() {
        QTest::addColumn<uint>("id");
        QTest::addColumn<QString>("locale");
        QTest::newRow("Russian") << 1049u << QStringLiteral("ru");
        QTest::newRow("Polish") << 1045u << QStringLiteral("pl");
        QTest::newRow("German") << 1031u << QStringLiteral("de");
        QTest::newRow("Swiss German") << 2055u << QStringLiteral("de");
        QTest::newRow("English: the toolkit's own") << 1033u << QString();
        QTest::newRow("none") << 0u << QString();
        QTest::newRow("none chosen") << 127u << QString();
        QTest::newRow("unknown") << 99999u << QString();
    }
    void toolkitTranslationLocale() {
        QFETCH(uint, id);
        QFETCH(QString, locale);
        QCOMPARE(QtTranslationLocale(id), locale);
    }
};

QTEST_MAIN(TestLangForm)
#include "test_langform.moc"
