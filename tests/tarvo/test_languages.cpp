// The front desk's interface language, as the operator chooses it: the settings dialog lists the
// built-in English and every language file with its flag, and OK with another language translates the
// main window, its tray menu, the lists' column captions, the messages, the boxes the window builds
// itself, every dialog opened later and the toolkit's own buttons at once; choosing English again
// brings the English texts back.

#include "apps/Tarvo/uDlgSettings.h"
#include "apps/Tarvo/uFirstStart.h"
#include "apps/Tarvo/uFmMain.h"

#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "base/uPaths.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uListView.h"

#include "tests/common/TestSupport.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <exception>
#include <functional>
#include <memory>

namespace {

enum { PAGE_INTERFACE = 1 };

QByteArray DataFile() {
    return QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                      "<Tarvo version=\"1.2\">\r\n"
                      "<Main><StartDayTime>06:00</StartDayTime><AccPrice>0</AccPrice></Main>\r\n"
                      "<Cards><Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/></Cards>\r\n"
                      "</Tarvo>\r\n");
}

QString Header(TListView* AList, int AColumn) {
    return AList->model()->headerData(AColumn, Qt::Horizontal, Qt::DisplayRole).toString();
}

// What the operator sees of the main window and what it says in messages, in one list.
QStringList VisibleTexts(TfmMain& AMain) {
    QStringList l;
    l << AMain.pcMain->tabText(AMain.pcMain->indexOf(AMain.tsLog)) << AMain.actSettings->text();
    for (QAction* lAction : AMain.menuTray->actions())
        if (!lAction->isSeparator())
            l << lAction->text();
    l << Header(AMain.lvLog, 1) << Header(AMain.lvLog, 2) << LoadResString(MSG_IN);
    // A toolkit text: the standard Cancel button of message and file dialogs.
    l << QCoreApplication::translate("QPlatformTheme", "Cancel");
    return l;
}

// What a message box showed: its text, its informative text and its buttons' captions (sorted).
struct TShownBox {
    QString m_sText;
    QString m_sInformative;
    QStringList m_aButtons;
};

// Reads every message box that opens while it lives and answers it with its No or Escape button;
// with AShotFile, the first box is saved there as a picture first.
class TBoxReader {
public:
    explicit TBoxReader(const QString& AShotFile = QString()) {
        m_oTimer.setInterval(5);
        QObject::connect(&m_oTimer, &QTimer::timeout, [this, AShotFile] {
            auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (lBox == nullptr)
                return;
            if (!AShotFile.isEmpty() && m_aBoxes.isEmpty())
                m_fShotSaved = lBox->grab().save(AShotFile);
            TShownBox lShown{lBox->text(), lBox->informativeText(), {}};
            for (QAbstractButton* lButton : lBox->buttons())
                lShown.m_aButtons << lButton->text();
            lShown.m_aButtons.sort();
            m_aBoxes << lShown;
            QAbstractButton* lAnswer = lBox->button(QMessageBox::No);
            if (lAnswer == nullptr)
                lAnswer = lBox->escapeButton();
            if (lAnswer != nullptr)
                lAnswer->click();
            else
                lBox->done(0);
        });
        m_oTimer.start();
    }
    QList<TShownBox> m_aBoxes;
    bool m_fShotSaved = false;

private:
    QTimer m_oTimer;
};

} // namespace

class TestDeskLanguages : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    std::unique_ptr<TfmMain> MakeMain() {
        m_oDir = std::make_unique<TTempDir>();
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile());
        auto lMain = std::make_unique<TfmMain>(lFile, false);
        lMain->Doc().SetLangDir(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
        lMain->Doc().Open();
        return lMain;
    }
    // Opens the settings, picks the language entry of AId on the Interface page and presses OK.
    static void ChooseLanguage(TfmMain& AMain, std::uint32_t AId) {
        TfmSettingsDlg lDlg(&AMain, AMain.Doc());
        lDlg.show();
        lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
        const int lIdx = lDlg.cbLanguage->findData(QVariant(AId));
        QVERIFY(lIdx >= 0);
        lDlg.cbLanguage->setCurrentIndex(lIdx);
        Q_EMIT lDlg.cbLanguage->activated(lIdx);
        QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
        QCOMPARE(lDlg.result(), int(QDialog::Accepted));
        QCOMPARE(AMain.Doc().Language(), AId);
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit()); }
    void init() { m_oLocale = std::make_unique<TLocaleOverride>(); }
    void cleanup() {
        m_oLocale.reset();
        m_oDir.reset();
    }

    // English first, then each file of the front desk with its title, its id and a flag of its own.
    void settingsListTheLanguageFilesWithFlags() {
        auto lMain = MakeMain();
        TfmSettingsDlg lDlg(lMain.get(), lMain->Doc());
        lDlg.show();
        lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
        QComboBox* cb = lDlg.cbLanguage;
        QCOMPARE(cb->count(), 4);
        QCOMPARE(cb->itemText(0), QStringLiteral("English (internal)"));
        QCOMPARE(cb->itemData(0).toUInt(), 0u);
        for (int i = 0; i < cb->count(); ++i)
            QVERIFY(!cb->itemIcon(i).isNull());
        for (const auto& [lId, lTitle] :
             {std::pair{1049u, "Русский"}, {1045u, "Polski"}, {1031u, "Deutsch"}}) {
            const int lIdx = cb->findData(QVariant(lId));
            QVERIFY2(lIdx > 0, lTitle);
            QCOMPARE(cb->itemText(lIdx), QString::fromUtf8(lTitle));
        }
        // Four different pictures: each language its own flag.
        QSet<QByteArray> lPictures;
        for (int i = 0; i < cb->count(); ++i) {
            const QImage lImage = cb->itemIcon(i).pixmap(16, 11).toImage();
            lPictures.insert(
                QByteArray(reinterpret_cast<const char*>(lImage.constBits()), lImage.sizeInBytes()));
        }
        QCOMPARE(lPictures.size(), 4);
    }

    // OK with Russian translates everything at once; a dialog opened afterwards is Russian too; OK with
    // English gives every English text back, the toolkit's included.
    void okAppliesTheLanguageAtOnceAndEnglishComesBack() {
        auto lMain = MakeMain();
        const QStringList lEnglish = VisibleTexts(*lMain);
        QCOMPARE(lEnglish.first(), QStringLiteral("Log"));

        ChooseLanguage(*lMain, 1049);
        const QStringList lRussian = VisibleTexts(*lMain);
        QCOMPARE(
            lRussian,
            (QStringList{QStringLiteral("Журнал"), QStringLiteral("Настройки..."), QStringLiteral("Показать"),
                         QStringLiteral("Настройки..."), QStringLiteral("О программе..."),
                         QStringLiteral("&Выход из Tarvo (Velmo)"), QStringLiteral("Время"),
                         QStringLiteral("Имя клиента"), QStringLiteral("Вход"), QStringLiteral("Отмена")}));
        {
            TfmSettingsDlg lLater(lMain.get(), lMain->Doc());
            QCOMPARE(lLater.windowTitle(), QStringLiteral("Настройки"));
            QCOMPARE(lLater.btnCancel->text(), QStringLiteral("&Отмена"));
            // A tool tip the dialog sets itself on an edit field (whose texts are no language keys).
            QCOMPARE(lLater.edtAccPrice->toolTip(), QStringLiteral("Количество цифр после десятичной точки"));
        }

        ChooseLanguage(*lMain, 0);
        QCOMPARE(VisibleTexts(*lMain), lEnglish);
        TfmSettingsDlg lEnglishLater(lMain.get(), lMain->Doc());
        QCOMPARE(lEnglishLater.windowTitle(), QStringLiteral("Settings"));
    }

    // Boxes whose texts the window builds itself say them in the language chosen, and in English again
    // once English is chosen.
    void boxesBuiltInCodeFollowTheLanguage() {
        auto lMain = MakeMain();
        lMain->show();
        QVERIFY(!lMain->HasTray()); // so the title-bar close asks before exiting
        const struct {
            const char* m_sWhat;
            std::function<void()> m_fnShow;
            const char* m_sRussian; // text, then informative text
            const char* m_sRussianMore;
            const char* m_sEnglish;
            const char* m_sEnglishMore;
        } cCases[] = {
            {"exit question", [&] { QVERIFY(!lMain->close()); }, "Выйти из Tarvo?",
             "Карты не будут считываться, и плата никому не будет начисляться, пока программа не будет "
             "запущена снова.",
             "Exit Tarvo?", "Cards are not read and nobody is billed until it is started again."},
            {"unknown error", [&] { ShowExceptionPtr(lMain.get(), std::make_exception_ptr(42)); },
             "Неизвестная ошибка.", "", "Unknown error.", ""},
        };
        for (const std::uint32_t lLanguage : {1049u, 0u}) {
            ChooseLanguage(*lMain, lLanguage);
            for (const auto& c : cCases) {
                TBoxReader lBoxes;
                c.m_fnShow();
                QVERIFY2(lBoxes.m_aBoxes.size() == 1, c.m_sWhat);
                const bool lRussian = lLanguage == 1049u;
                QCOMPARE(lBoxes.m_aBoxes[0].m_sText,
                         QString::fromUtf8(lRussian ? c.m_sRussian : c.m_sEnglish));
                QCOMPARE(lBoxes.m_aBoxes[0].m_sInformative,
                         QString::fromUtf8(lRussian ? c.m_sRussianMore : c.m_sEnglishMore));
            }
        }
        QVERIFY(!lMain->ExitRequested());
    }

    // Texts the front desk builds in code while it runs, in Russian: the start-up box naming what keeps
    // the desk from billing (found while the file is read, before its language is applied), the
    // settings' question when the data file was read only in part, and the font list's default entry,
    // which the data file keeps as "<default>" in every language.
    void deskTextsBuiltInCodeInRussian() {
        const QByteArray lRussian = QByteArray(DataFile()).replace("<Main>", "<Main language=\"0419\">");
        const auto lOpen = [this](const QByteArray& AData) {
            m_oDir = std::make_unique<TTempDir>();
            auto lMain =
                std::make_unique<TfmMain>(m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), AData), false);
            lMain->Doc().SetLangDir(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
            return lMain;
        };
        const auto lQuoted = [](const TfmMain& AMain) {
            return QLatin1Char('"') + QDir::toNativeSeparators(AMain.Doc().FileName()) + QLatin1Char('"');
        };

        {
            auto lMain = lOpen(lRussian);
            TBoxReader lBoxes;
            QVERIFY(lMain->DeferredStartup());
            QCOMPARE(lBoxes.m_aBoxes.size(), 1);
            QCOMPARE(lBoxes.m_aBoxes[0].m_sText,
                     QStringLiteral("Стойка администратора не может работать как следует:\n\nИз ") +
                         lQuoted(*lMain) +
                         QStringLiteral(
                             " не удалось прочитать ни одной тарифной зоны: каждое посещение стоило бы 0."));
        }
        {
            // A zone whose start cannot be read stops the reading of the file read again while the
            // desk runs in Russian: saving needs the operator's word.
            auto lMain = lOpen(lRussian);
            lMain->Doc().Open();
            QByteArray lDamaged = lRussian;
            lDamaged.replace("<Cards>",
                             "<TimeZones><Item1 name=\"Day\" startTime=\"25:00\"/></TimeZones><Cards>");
            QVERIFY_THROWS_EXCEPTION(std::exception, lMain->Doc().LoadFromFile(m_oDir->WriteFile(
                                                         QStringLiteral("Tarvo.xml"), lDamaged)));
            QVERIFY(lMain->Doc().LoadFailed());
            TfmSettingsDlg lDlg(lMain.get(), lMain->Doc());
            lDlg.show();
            lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
            lDlg.edtPopupMax->setValue(lDlg.edtPopupMax->value() + 1);
            TBoxReader lBoxes;
            QVERIFY(!lDlg.StoreSettings()); // answered No
            QCOMPARE(lBoxes.m_aBoxes.size(), 1);
            const QString lText = lBoxes.m_aBoxes[0].m_sText;
            const QString lStart = QStringLiteral("Файл данных «%1» не удалось прочитать полностью (")
                                       .arg(lMain->Doc().FileName());
            QVERIFY2(lText.startsWith(lStart), qPrintable(lText));
            QVERIFY2(
                lText.endsWith(QStringLiteral("). Сохранение сейчас потеряло бы настройки, записанные после "
                                              "ошибки, поэтому файл не сохранён.\n\nВсё равно сохранить "
                                              "настройки?")),
                qPrintable(lText));
        }
        {
            auto lMain = lOpen(lRussian);
            lMain->Doc().Open();
            const QString lDefault = QStringLiteral("<по умолчанию>");
            {
                TfmSettingsDlg lDlg(lMain.get(), lMain->Doc());
                lDlg.show();
                lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
                QCOMPARE(lDlg.cbFontName->itemText(0), lDefault);
                lDlg.cbFontName->setCurrentIndex(0);
                Q_EMIT lDlg.cbFontName->activated(0);
                QTest::mouseClick(lDlg.btnOk, Qt::LeftButton);
                QCOMPARE(lDlg.result(), int(QDialog::Accepted));
            }
            QCOMPARE(lMain->Doc().PopupFontName(), QStringLiteral("<default>"));
            TfmSettingsDlg lAgain(lMain.get(), lMain->Doc());
            lAgain.show();
            lAgain.pcSettings->setCurrentIndex(PAGE_INTERFACE);
            QCOMPARE(lAgain.cbFontName->currentText(), lDefault);
        }
    }

    // The first-start box in Russian: its text names the data folder, its buttons keep their shortcuts.
    // For the documentation, when TARVO_SCREENSHOT_DIR names a folder, it is saved as first-start-ru.png.
    void firstStartBoxInRussian() {
        TEnvOverride lData("TARVO_DATA_DIR", QByteArray()); // the box is only offered for the default folder
        if (QFileInfo::exists(DataFilePath()))
            QSKIP("the test programs' folder holds a data file");
        auto lMain = MakeMain();
        ChooseLanguage(*lMain, 1049);
        const QString lShotDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        QVERIFY(lShotDir.isEmpty() || QDir().mkpath(lShotDir));
        TBoxReader lBoxes(lShotDir.isEmpty() ? QString() : lShotDir + QStringLiteral("/first-start-ru.png"));
        QVERIFY(Tarvo::OfferFirstStartSetup(lMain.get())); // Escape: go on with the start
        QCOMPARE(lBoxes.m_aBoxes.size(), 1);
        QCOMPARE(lBoxes.m_aBoxes[0].m_sText,
                 QStringLiteral("Это первый запуск Tarvo: карт и тарифных зон пока нет.\n\n"
                                "Tarvo хранит свои данные в папке\n") +
                     DataDir() +
                     QStringLiteral("\n\nЗапустить ConfigTarvo, чтобы зарегистрировать карты, настроить "
                                    "временные зоны и выбрать считыватель карт?"));
        QCOMPARE(lBoxes.m_aBoxes[0].m_aButtons,
                 (QStringList{QStringLiteral("&Продолжить"), QStringLiteral("Запустить &ConfigTarvo")}));
        QCOMPARE(lBoxes.m_fShotSaved, !lShotDir.isEmpty());
    }

    // The language of the data file is applied when the document opens; German texts are longer and
    // still are the ones shown.
    void languageOfTheDataFileIsAppliedAtOpen() {
        m_oDir = std::make_unique<TTempDir>();
        QByteArray lData = DataFile();
        lData.replace("<Main>", "<Main language=\"0407\">");
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), lData);
        TfmMain lMain(lFile, false);
        lMain.Doc().SetLangDir(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
        lMain.Doc().Open();
        QCOMPARE(lMain.pcMain->tabText(lMain.pcMain->indexOf(lMain.tsLog)), QStringLiteral("Protokoll"));
        QCOMPARE(Header(lMain.lvLog, 4), QStringLiteral("Richtung"));
        QCOMPARE(LoadResString(MSG_TOTAL_SUM), QStringLiteral("Gesamtsumme: %s"));
    }

    // For the documentation, when TARVO_SCREENSHOT_DIR names a folder: the main window and the settings
    // in each shipped language (names ending "-ru", "-pl", "-de"), and the language list dropped down.
    void screenshots() {
        const QString lDir = qEnvironmentVariable("TARVO_SCREENSHOT_DIR");
        if (lDir.isEmpty())
            QSKIP("TARVO_SCREENSHOT_DIR not set");
        QVERIFY(QDir().mkpath(lDir));
        TFixedClock lClock(MakeDateTime(2026, 3, 2, 10, 0, 0), 1000);
        m_oDir = std::make_unique<TTempDir>();
        QByteArray lData = DataFile();
        lData.replace("<Cards>",
                      "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
                      "minCost=\"1\"/></TimeZones><Cards><Item2 number=\"0D\" name=\"Boris\" level=\"10\"/>");
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), lData);
        TfmMain lMain(lFile, false);
        lMain.Doc().SetLangDir(QStringLiteral(TARVO_SOURCE_DIR "/Languages"));
        lMain.Doc().Open();
        lMain.show();
        lMain.HandleCard(1, MakeKeyNum({0x0C, 0x0B, 0x0A}));
        lClock.Set(MakeDateTime(2026, 3, 2, 10, 5, 0));
        lMain.HandleCard(1, MakeKeyNum({0x0D}));
        lClock.Set(MakeDateTime(2026, 3, 2, 11, 20, 0));
        lMain.HandleCard(1, MakeKeyNum({0x0C, 0x0B, 0x0A}));
        lMain.pcMain->setCurrentWidget(lMain.tsIn);
        lMain.pcMain->setCurrentWidget(lMain.tsLog);
        for (const auto& [lId, lSuffix] : {std::pair{1049u, "ru"}, {1045u, "pl"}, {1031u, "de"}}) {
            ChooseLanguage(lMain, lId);
            QCoreApplication::processEvents(); // the layouts follow the new texts
            QVERIFY(lMain.grab().save(lDir + QStringLiteral("/frontdesk-main-%1.png").arg(lSuffix)));
            TfmSettingsDlg lDlg(&lMain, lMain.Doc());
            lDlg.show();
            for (int lPage = 0; lPage < lDlg.pcSettings->count(); ++lPage) {
                lDlg.pcSettings->setCurrentIndex(lPage);
                QVERIFY(
                    lDlg.grab().save(lDir + QStringLiteral("/settings-%1-%2.png").arg(lSuffix).arg(lPage)));
            }
            if (lId == 1049u) {
                lDlg.pcSettings->setCurrentIndex(PAGE_INTERFACE);
                lDlg.cbLanguage->showPopup();
                QWidget* lPopup = lDlg.cbLanguage->view()->window();
                QTest::qWait(50);
                QPixmap lShot = lDlg.grab();
                QPainter lPainter(&lShot);
                lPainter.drawPixmap(lPopup->geometry().topLeft() - lDlg.geometry().topLeft(), lPopup->grab());
                lPainter.end();
                QVERIFY(lShot.save(lDir + QStringLiteral("/language-list.png")));
                lDlg.cbLanguage->hidePopup();
            }
        }
    }
};

QTEST_MAIN(TestDeskLanguages)
#include "test_languages.moc"
