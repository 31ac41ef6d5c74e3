// The first-start box of the front desk: shown with no data file in a folder the user did not choose,
// naming that folder; Continue goes on with the start, and a start with a chosen folder or a
// hand-over shows nothing.
#include "apps/Tarvo/uFirstStart.h"

#include "base/uPaths.h"
#include "frontdesk/uAppUtils.h"
#include "tests/common/TestSupport.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

// Answers the first modal message box with the button of AButton's name and keeps its name and text.
struct TBoxAnswer {
    explicit TBoxAnswer(const char* AButton) : m_pButton(AButton) {
        m_oTimer.setInterval(5);
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (lBox == nullptr)
                return;
            m_aNames << lBox->objectName();
            m_sText = lBox->text();
            if (auto* lButton = lBox->findChild<QPushButton*>(QString::fromLatin1(m_pButton)))
                lButton->click();
            else
                lBox->done(0);
        });
        m_oTimer.start();
    }
    const char* m_pButton;
    QStringList m_aNames; // every box answered, in order
    QString m_sText;
    QTimer m_oTimer;
};

void SetCommandLine(const QStringList& AArgs) {
    Tarvo::g_oAppCmdLine = std::make_unique<Tarvo::TAppCmdLineInfo>();
    Tarvo::g_oAppCmdLine->ParseCommandLine(QStringList{QStringLiteral("Tarvo")} + AArgs);
}

} // namespace

class TestFirstStartBox : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void continueGoesOnAndNamesTheFolder() {
        // Without TARVO_DATA_DIR the data folder is the test programs' own folder.
        TEnvOverride lData("TARVO_DATA_DIR", QByteArray());
        if (QFileInfo::exists(DataFilePath()))
            QSKIP("the test programs' folder holds a data file");
        SetCommandLine({});
        TBoxAnswer lAnswer("btnContinue");
        QVERIFY(Tarvo::OfferFirstStartSetup());
        QCOMPARE(lAnswer.m_aNames, QStringList{QStringLiteral("dlgFirstStart")});
        QVERIFY2(lAnswer.m_sText.contains(DataDir()), qPrintable(lAnswer.m_sText));
        QVERIFY(!QFileInfo::exists(DataFilePath())); // the box writes nothing
    }

    void nothingShownWithAChosenFolderOrAHandOver() {
        TTempDir lDir;
        const struct {
            QByteArray m_aDataDir;
            QStringList m_aArgs;
        } cases[] = {
            {QFile::encodeName(lDir.Path()), {}},
            {QByteArray(), {QStringLiteral("/N")}},
        };
        for (const auto& c : cases) {
            TEnvOverride lData("TARVO_DATA_DIR", c.m_aDataDir);
            SetCommandLine(c.m_aArgs);
            TBoxAnswer lAnswer("btnContinue");
            QVERIFY(Tarvo::OfferFirstStartSetup());
            QVERIFY2(lAnswer.m_aNames.isEmpty(), qPrintable(lAnswer.m_sText));
        }
        Tarvo::g_oAppCmdLine.reset();
    }
};

QTEST_MAIN(TestFirstStartBox)
#include "test_firststartbox.moc"
