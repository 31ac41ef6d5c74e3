// The translator on real widgets: key resolution over windows, components and property paths, the
// exclusion patterns, message lookups while loaded, failures that undo the loading, and the template
// writer, whose every key the translator can set again.
#include "gui/uIniLanguage.h"

#include "base/uExceptions.h"
#include "base/uIniFile.h"
#include "base/uMessages.h"
#include "gui/uLangProps.h"
#include "tests/common/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTreeView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

namespace {

// A window of every kind of component the language files address.
std::unique_ptr<QWidget> MakeWindow(const char* AClass = "TfmTest") {
    auto lForm = std::make_unique<QWidget>();
    lForm->setObjectName(QString::fromLatin1(AClass));
    lForm->setWindowTitle(QStringLiteral("Test window"));
    auto* lLayout = new QVBoxLayout(lForm.get());
    auto* lGroup = new QGroupBox(QStringLiteral("Main"), lForm.get());
    lGroup->setObjectName(QStringLiteral("grMain"));
    auto* lGroupLayout = new QVBoxLayout(lGroup);
    auto* lLabel = new QLabel(QStringLiteral("Name:"), lGroup);
    lLabel->setObjectName(QStringLiteral("labName"));
    lGroupLayout->addWidget(lLabel);
    auto* lEdit = new QLineEdit(QStringLiteral("COM3"), lGroup);
    lEdit->setObjectName(QStringLiteral("edtPort"));
    lGroupLayout->addWidget(lEdit);
    lLayout->addWidget(lGroup);
    auto* lButton = new QPushButton(QStringLiteral("&OK"), lForm.get());
    lButton->setObjectName(QStringLiteral("btnOk"));
    lButton->setToolTip(QStringLiteral("Save and close"));
    lLayout->addWidget(lButton);
    auto* lCombo = new QComboBox(lForm.get());
    lCombo->setObjectName(QStringLiteral("cbMode"));
    lCombo->addItems({QStringLiteral("Add"), QStringLiteral("Find"), QString()});
    lLayout->addWidget(lCombo);
    auto* lTabs = new QTabWidget(lForm.get());
    lTabs->setObjectName(QStringLiteral("pcMain"));
    auto* lPage = new QWidget();
    lPage->setObjectName(QStringLiteral("tsCards"));
    lTabs->addTab(lPage, QStringLiteral("Cards"));
    lLayout->addWidget(lTabs);
    auto* lView = new QTreeView(lForm.get());
    lView->setObjectName(QStringLiteral("lvLog"));
    auto* lModel = new QStandardItemModel(0, 2, lView);
    lModel->setHorizontalHeaderLabels({QStringLiteral("Time"), QStringLiteral("Event")});
    lView->setModel(lModel);
    lLayout->addWidget(lView);
    auto* lTree = new QTreeWidget(lForm.get());
    lTree->setObjectName(QStringLiteral("tvNodes"));
    auto* lRoot = new QTreeWidgetItem(lTree, {QStringLiteral("Server")});
    new QTreeWidgetItem(lRoot, {QStringLiteral("Camera 1")});
    new QTreeWidgetItem(lTree, {QStringLiteral("Other")});
    lLayout->addWidget(lTree);
    auto* lAction = new QAction(QStringLiteral("E&xit"), lForm.get());
    lAction->setObjectName(QStringLiteral("actExit"));
    lForm->addAction(lAction);
    return lForm;
}

template <class T> T* Find(QWidget* AForm, const char* AName) {
    return AForm->findChild<T*>(QString::fromLatin1(AName));
}

QString Header(QWidget* AForm, int AColumn) {
    return Find<QTreeView>(AForm, "lvLog")->model()->headerData(AColumn, Qt::Horizontal).toString();
}

} // namespace

class TestIniLanguage : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TIniLanguage> m_oLang;

    QString LangFile(const QByteArray& AForms, const QByteArray& AStrings = QByteArray(),
                     const QByteArray& AGlobal = "Title=Test\r\nAuthor=Us\r\nLangId=0419\r\n") {
        return m_oDir->WriteFile(QStringLiteral("Test-Lang.lng"), "\xEF\xBB\xBF[Global]\r\n" + AGlobal +
                                                                      "[Forms]\r\n" + AForms +
                                                                      "[Strings]\r\n" + AStrings);
    }
    void Load(const QString& AFile) {
        m_oLang->SetFileName(AFile);
        m_oLang->SetLoaded(true);
    }

private Q_SLOTS:
    void init() {
        m_oDir = std::make_unique<TTempDir>();
        m_oLang = std::make_unique<TIniLanguage>();
        SetMsgProgram(TMsgProgram::Config);
    }
    void cleanup() {
        m_oLang.reset();
        m_oDir.reset();
    }

    void wildcardMatch_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("match");
        QTest::newRow("two parts and caption") << "*-*-caption"
                                               << "TfmMain-btnOk-Caption" << true;
        QTest::newRow("star stops at the first dash") << "*-caption"
                                                      << "TfmMain-btnOk-Caption" << false;
        QTest::newRow("window caption") << "*-caption"
                                        << "TfmMain-Caption" << true;
        QTest::newRow("letter case") << "TFMMAIN-*"
                                     << "tfmmain-Anything" << true;
        QTest::newRow("question mark") << "?fm*-?aption"
                                       << "TfmMain-Caption" << true;
        QTest::newRow("rest of the key") << "Tfm"
                                         << "TfmMain-Caption" << true;
        QTest::newRow("empty key") << "abc"
                                   << "" << true;
        QTest::newRow("empty pattern") << ""
                                       << "x" << false;
        QTest::newRow("hint") << "*-*-hint"
                              << "TfmMain-btnOk-Caption" << false;
        QTest::newRow("key too short") << "TfmMain-x"
                                       << "TfmMain" << false;
    }
    void wildcardMatch() {
        QFETCH(QString, pattern);
        QFETCH(QString, key);
        QFETCH(bool, match);
        QCOMPARE(WildcardMatch(pattern, key), match);
    }

    void loadingTranslatesEveryKindOfComponent() {
        auto lForm = MakeWindow();
        m_oLang->RegisterForm(lForm.get());
        Load(LangFile("TfmTest-Caption=Okno\r\n"
                      "TfmTest-labName-Caption=Imya\\nPolnoe\r\n"
                      "tfmtest-BTNOK-caption=\\\"Da\\\"\r\n"
                      "TfmTest-btnOk-Hint=Sohranit\r\n"
                      "TfmTest-grMain-Caption=Glavnoe\r\n"
                      "TfmTest-grMain-edtPort-Text=COM4\r\n"
                      "TfmTest-cbMode-Items.Strings(1)=Nayti\r\n"
                      "TfmTest-cbMode-Items.Strings(7)=beyond the items\r\n"
                      "TfmTest-tsCards-Caption=Karty\r\n"
                      "TfmTest-lvLog-Columns<1>.Caption=Sobytie\r\n"
                      "TfmTest-tvNodes-Items(1)=Kamera 1\r\n"
                      "TfmTest-actExit-Caption=Vyhod\r\n"
                      "TfmTest-nobody-Caption=nothing\r\n"
                      "TfmTest-labName-Color=red\r\n"
                      "TfmOther-Caption=not this window\r\n"));
        QVERIFY(m_oLang->Loaded());
        QCOMPARE(m_oLang->Title(), QStringLiteral("Test"));
        QCOMPARE(m_oLang->Author(), QStringLiteral("Us"));
        QCOMPARE(m_oLang->LangId(), 1049u);
        QCOMPARE(lForm->windowTitle(), QStringLiteral("Okno"));
        QCOMPARE(Find<QLabel>(lForm.get(), "labName")->text(), QStringLiteral("Imya\r\nPolnoe"));
        QCOMPARE(Find<QPushButton>(lForm.get(), "btnOk")->text(), QStringLiteral("\"Da\""));
        QCOMPARE(Find<QPushButton>(lForm.get(), "btnOk")->toolTip(), QStringLiteral("Sohranit"));
        QCOMPARE(Find<QGroupBox>(lForm.get(), "grMain")->title(), QStringLiteral("Glavnoe"));
        QCOMPARE(Find<QLineEdit>(lForm.get(), "edtPort")->text(), QStringLiteral("COM4"));
        QCOMPARE(Find<QComboBox>(lForm.get(), "cbMode")->itemText(1), QStringLiteral("Nayti"));
        QCOMPARE(Find<QComboBox>(lForm.get(), "cbMode")->count(), 3);
        QCOMPARE(Find<QTabWidget>(lForm.get(), "pcMain")->tabText(0), QStringLiteral("Karty"));
        QCOMPARE(Header(lForm.get(), 1), QStringLiteral("Sobytie"));
        QCOMPARE(Header(lForm.get(), 0), QStringLiteral("Time"));
        auto* lTree = Find<QTreeWidget>(lForm.get(), "tvNodes");
        QCOMPARE(lTree->topLevelItem(0)->child(0)->text(0), QStringLiteral("Kamera 1"));
        QCOMPARE(Find<QAction>(lForm.get(), "actExit")->text(), QStringLiteral("Vyhod"));

        // Unloading keeps the texts; a window made afterwards has its own again.
        m_oLang->SetLoaded(false);
        QCOMPARE(lForm->windowTitle(), QStringLiteral("Okno"));
        auto lAgain = MakeWindow();
        m_oLang->RegisterForm(lAgain.get());
        QCOMPARE(lAgain->windowTitle(), QStringLiteral("Test window"));
    }

    void exclusionsHoldForAllWindowsOnlyAndTheFirstOfAClassIsTranslated() {
        auto lFirst = MakeWindow();
        auto lSecond = MakeWindow();
        m_oLang->RegisterForm(lFirst.get());
        m_oLang->RegisterForm(lSecond.get());
        m_oLang->ComponentExcludes() << QStringLiteral("TfmTest-grMain-edtPort-Text");
        Load(LangFile("TfmTest-Caption=Okno\r\nTfmTest-grMain-edtPort-Text=COM4\r\n"));
        QCOMPARE(lFirst->windowTitle(), QStringLiteral("Okno"));
        QCOMPARE(Find<QLineEdit>(lFirst.get(), "edtPort")->text(), QStringLiteral("COM3"));
        QCOMPARE(lSecond->windowTitle(), QStringLiteral("Test window"));
        // One window alone is translated without the exclusions.
        m_oLang->Translate(lSecond.get());
        QCOMPARE(lSecond->windowTitle(), QStringLiteral("Okno"));
        QCOMPARE(Find<QLineEdit>(lSecond.get(), "edtPort")->text(), QStringLiteral("COM4"));
        // A window that goes takes its exclusions along; a destroyed one leaves the list.
        m_oLang->ComponentExcludes() << QStringLiteral("TfmOther-x-Caption");
        m_oLang->UnregisterForm(lFirst.get());
        QCOMPARE(m_oLang->ComponentExcludes(), QStringList{QStringLiteral("TfmOther-x-Caption")});
        lSecond.reset();
        QVERIFY(m_oLang->TranslateComponents().isEmpty());
    }

    void messagesFollowTheLoadedLanguage() {
        Load(LangFile(QByteArray(), "Str2=Tochno?\r\nStr229=nil\r\nStr230=Klyuch \"%s\" uzhe est.\r\n"));
        QCOMPARE(LoadResString(MSG_REALLY), QStringLiteral("Tochno?"));
        QCOMPARE(LoadResString(MSG_SAVE_CHANGES), QStringLiteral("Save changes?"));
        QCOMPARE(FormatResString(MSG_KEY_ALREADY_ADDED, {QStringLiteral("0A")}),
                 QStringLiteral("Klyuch \"0A\" uzhe est."));
        m_oLang->SetLoaded(false);
        QCOMPARE(LoadResString(MSG_REALLY), QStringLiteral("Really?"));
    }

    void langIdForms_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<uint>("id");
        QTest::newRow("0419") << QByteArray("0419") << 1049u;
        QTest::newRow("419") << QByteArray("419") << 1049u;
        QTest::newRow("ru") << QByteArray("ru") << 0u;
        QTest::newRow("empty") << QByteArray() << 0u;
    }
    void langIdForms() {
        QFETCH(QByteArray, value);
        QFETCH(uint, id);
        Load(LangFile(QByteArray(), QByteArray(), "LangId=" + value + "\r\n"));
        QCOMPARE(m_oLang->LangId(), id);
    }

    void badIndexesUndoTheLoading_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("column beyond the list") << QByteArray("TfmTest-lvLog-Columns<999>.Caption=x");
        QTest::newRow("column not a number") << QByteArray("TfmTest-lvLog-Columns<a>.Caption=x");
        QTest::newRow("item not a number") << QByteArray("TfmTest-cbMode-Items.Strings(one)=x");
    }
    void badIndexesUndoTheLoading() {
        QFETCH(QByteArray, line);
        auto lForm = MakeWindow();
        m_oLang->RegisterForm(lForm.get());
        const QString lFile = LangFile("TfmTest-Caption=Okno\r\n" + line + "\r\n", "Str2=Tochno?\r\n");
        m_oLang->SetFileName(lFile);
        bool lRaised = false;
        try {
            m_oLang->SetLoaded(true);
        } catch (const Exception&) {
            lRaised = true;
        }
        QVERIFY(lRaised);
        QVERIFY(!m_oLang->Loaded());
        QCOMPARE(LoadResString(MSG_REALLY), QStringLiteral("Really?"));
    }

    void itemIndexesOutsideAListAreSkipped() {
        auto lForm = MakeWindow();
        m_oLang->RegisterForm(lForm.get());
        Load(LangFile(
            "TfmTest-cbMode-Items.Strings(-1)=x\r\nTfmTest-tvNodes-Items(9)=x\r\nTfmTest-Caption=Okno\r\n"));
        QVERIFY(m_oLang->Loaded());
        QCOMPARE(lForm->windowTitle(), QStringLiteral("Okno"));
    }

    void templateWriterWritesWhatTheTranslatorSets() {
        auto lForm = MakeWindow();
        m_oLang->RegisterForm(lForm.get());
        m_oLang->ComponentIncludes() << QStringLiteral("TfmTest-*-Items.*")
                                     << QStringLiteral("TfmTest-*-Columns<*")
                                     << QStringLiteral("TfmTest-*-Items(*");
        m_oLang->ComponentExcludes() << QStringLiteral("TfmTest-edtPort-Text");
        const QString lPath = m_oDir->WriteFile(
            QStringLiteral("template.lng"), "[Global]\r\nTitle=Mine\r\n[Forms]\r\nTfmGone-Caption=kept\r\n");
        m_oLang->SaveAs(lPath);

        const TMemIniFile lIni(lPath);
        QCOMPARE(lIni.ReadString(QStringLiteral("Global"), QStringLiteral("Title"), QString()),
                 QStringLiteral("Mine"));
        QCOMPARE(lIni.ReadString(QStringLiteral("Forms"), QStringLiteral("TfmGone-Caption"), QString()),
                 QStringLiteral("kept"));
        QCOMPARE(lIni.ReadString(QStringLiteral("Forms"), QStringLiteral("TfmTest-Caption"), QString()),
                 QStringLiteral("Test window"));
        QCOMPARE(lIni.ReadString(QStringLiteral("Forms"), QStringLiteral("TfmTest-btnOk-Hint"), QString()),
                 QStringLiteral("Save and close"));
        QVERIFY(lIni.ValueExists(QStringLiteral("Forms"), QStringLiteral("TfmTest-cbMode-Items.Strings(2)")));
        QVERIFY(!lIni.ValueExists(QStringLiteral("Forms"), QStringLiteral("TfmTest-edtPort-Text")));
        QVERIFY(!lIni.ValueExists(QStringLiteral("Forms"), QStringLiteral("TfmTest-labName-Hint"))); // empty
        // Every catalogued message of the program, in order of its number.
        const auto lStrings = lIni.ReadSectionValues(QStringLiteral("Strings"));
        const std::vector<int> lIds = CatalogueIds(TMsgProgram::Config);
        QCOMPARE(lStrings.size(), lIds.size());
        for (size_t i = 0; i < lIds.size(); ++i)
            QCOMPARE(lStrings[i].first, QStringLiteral("Str%1").arg(lIds[i]));

        // Each key written, translated, reaches its text in a fresh window.
        QByteArray lForms;
        int lKeys = 0;
        for (const auto& [lKey, lValue] : lIni.ReadSectionValues(QStringLiteral("Forms")))
            if (lKey.startsWith(QLatin1String("TfmTest-"))) {
                lForms += (lKey + QStringLiteral("=T:") + lValue + QStringLiteral("\r\n")).toUtf8();
                ++lKeys;
            }
        QVERIFY(lKeys >= 12);
        auto lFresh = MakeWindow();
        TIniLanguage lOther;
        lOther.RegisterForm(lFresh.get());
        lOther.SetFileName(LangFile(lForms));
        lOther.SetLoaded(true);
        int lChecked = 0;
        const auto lCheck = [&](QObject* AObject, const QString& APrefix) {
            for (const TLangProp& lProp : LangPropsOf(AObject, AObject == lFresh.get()))
                if (lIni.ValueExists(QStringLiteral("Forms"), APrefix + lProp.m_sPath)) {
                    QVERIFY2(lProp.m_sValue.startsWith(QLatin1String("T:")),
                             qPrintable(APrefix + lProp.m_sPath));
                    ++lChecked;
                }
        };
        lCheck(lFresh.get(), QStringLiteral("TfmTest-"));
        for (QObject* lChild : lFresh->findChildren<QObject*>())
            if (!lChild->objectName().isEmpty())
                lCheck(lChild, QStringLiteral("TfmTest-") + lChild->objectName() + QLatin1Char('-'));
        QCOMPARE(lChecked, lKeys);
    }

    void aTemplateWithALanguageLoadedCarriesItsTranslations() {
        Load(LangFile(QByteArray(), "Str2=Tochno?\r\nStr229=nil\r\n"));
        const QString lPath = m_oDir->FilePath(QStringLiteral("new.lng"));
        m_oLang->SaveAs(lPath);
        const TMemIniFile lIni(lPath);
        QCOMPARE(lIni.ReadString(QStringLiteral("Strings"), QStringLiteral("Str2"), QString()),
                 QStringLiteral("Tochno?"));
        QCOMPARE(lIni.ReadString(QStringLiteral("Strings"), QStringLiteral("Str229"), QString()),
                 QStringLiteral("Save changes?"));
    }
};

QTEST_MAIN(TestIniLanguage)
#include "test_inilanguage.moc"
