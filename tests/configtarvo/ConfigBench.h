#pragma once
// The bench of the configuration window tests: a private virtual reader bus, runtime folder and data
// file per test, the orvsim tool of the build's bin folder, the real main window started in-process,
// and a catcher that answers the message boxes that come up.

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uFmMain.h"
#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "config/uTarvoDoc.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace ConfigBench {

using namespace ConfigTarvo;

// Longest a test waits for the bus and the detector (milliseconds); it only guards failures and leaves
// room for a loaded machine and the sanitizer build.
inline constexpr int Patience = 20000;

inline TOrv_KEYNUM Key(const QString& AHex) {
    TOrv_KEYNUM lKey{};
    HexToKeyNum(AHex, lKey);
    return lKey;
}

// Answers every message box that comes up with AButton and keeps its text.
class TBoxAnswerer {
public:
    explicit TBoxAnswerer(QMessageBox::StandardButton AButton) : m_nButton(AButton) {
        QObject::connect(&m_oTimer, &QTimer::timeout, [this] {
            auto* lBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!lBox)
                return;
            m_aTexts << lBox->text();
            if (QAbstractButton* lButton = lBox->button(m_nButton))
                lButton->click();
            else
                lBox->reject();
        });
        m_oTimer.start(20);
    }
    QStringList m_aTexts;

private:
    QMessageBox::StandardButton m_nButton;
    QTimer m_oTimer;
};

class TBench {
public:
    // Call from initTestCase: sets the bus and runtime folders and the message popup.
    void InitCase() {
        QVERIFY(m_oRoot.isValid());
        const QByteArray lBin = qgetenv("TARVO_BIN_DIR");
        m_sOrvsim = QString::fromLocal8Bit(lBin) + QStringLiteral("/orvsim");
        QVERIFY2(!lBin.isEmpty() && QFile::exists(m_sOrvsim), "TARVO_BIN_DIR must hold orvsim");
        QDir(m_oRoot.path()).mkpath(QStringLiteral("bus"));
        QDir(m_oRoot.path()).mkpath(QStringLiteral("run"));
        qputenv("ORV_SIM_BUS", (m_oRoot.path() + QStringLiteral("/bus")).toLocal8Bit());
        qputenv("XDG_RUNTIME_DIR", (m_oRoot.path() + QStringLiteral("/run")).toLocal8Bit());
        SetMsgProgram(TMsgProgram::Config);
        m_oPopup = std::make_unique<TfmAutoMessageDlg>();
        SetAutoMessageDlg(m_oPopup.get());
    }
    // Call from init: a data file of its own for every test.
    void Init() {
        static int s_nRun = 0;
        m_sDataFile = m_oRoot.path() + QStringLiteral("/data%1/Tarvo.xml").arg(++s_nRun);
        QDir().mkpath(QFileInfo(m_sDataFile).absolutePath());
    }
    // Call from cleanup: the window goes and every reader plugged by the test is unplugged.
    void Cleanup() {
        m_oMain.reset();
        m_oPopup->hide();
        for (const QString& lPort : QStringList(m_aPlugged))
            Unplug(lPort);
    }
    void CleanupCase() {
        SetAutoMessageDlg(nullptr);
        m_oPopup.reset();
    }

    void Orvsim(const QStringList& AArgs) {
        QProcess lRun;
        lRun.start(m_sOrvsim, AArgs);
        QVERIFY2(lRun.waitForFinished(20000), "orvsim did not end");
        QVERIFY2(lRun.exitCode() == 0, qPrintable(AArgs.join(' ') + ": " + lRun.readAllStandardError()));
    }
    void Plug(const QString& APort, int ASn, int AModel = 1, const QString& AFriendly = QString()) {
        QStringList lArgs{QStringLiteral("plug"),    APort,
                          QStringLiteral("--sn"),    QString::number(ASn),
                          QStringLiteral("--model"), QString::number(AModel)};
        if (!AFriendly.isEmpty())
            lArgs << QStringLiteral("--friendly") << AFriendly;
        Orvsim(lArgs);
        m_aPlugged << APort;
    }
    void Unplug(const QString& APort) {
        Orvsim({QStringLiteral("unplug"), APort});
        m_aPlugged.removeAll(APort);
    }
    void Present(const QString& APort, const QString& AKey) {
        Orvsim({QStringLiteral("present"), APort, AKey});
    }

    // A data file with two zones and the cards of ACards (hex key, user name, comment), card mode
    // "Add"; ASetUp changes what else the test needs.
    struct TCardRow {
        QString m_sKey, m_sName, m_sComment;
    };
    void WriteDataFile(const std::vector<TCardRow>& ACards, const std::function<void(TTarvoDoc&)>& ASetUp) {
        TTarvoDoc lDoc;
        lDoc.SetFileName(m_sDataFile);
        lDoc.Open();
        lDoc.AddTimeZone(QStringLiteral("Day"), EncodeTime(9, 0, 0, 0), 2, 1);
        lDoc.AddTimeZone(QStringLiteral("Evening"), EncodeTime(18, 0, 0, 0), 3, 1.5L);
        for (const TCardRow& c : ACards)
            lDoc.AddCard(Key(c.m_sKey), c.m_sName, c.m_sComment, 1);
        lDoc.SetCardRdMode(crm_Add);
        if (ASetUp)
            ASetUp(lDoc);
        lDoc.Save();
    }
    void StartMain() {
        m_oMain = std::make_unique<TfmMain>(m_sDataFile, false);
        m_oMain->show();
        QVERIFY(m_oMain->DeferredStartup());
    }
    QByteArray DataFileBytes() const {
        QFile lFile(m_sDataFile);
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
    }
    std::unique_ptr<TTarvoDoc> SavedDoc() const {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(m_sDataFile);
        lDoc->Open();
        return lDoc;
    }
    QString PopupText() const { return m_oPopup->isVisible() ? m_oPopup->Text() : QString(); }

    TfmMain& Main() { return *m_oMain; }
    std::unique_ptr<TfmMain> m_oMain;
    QString m_sDataFile;

private:
    QTemporaryDir m_oRoot;
    QString m_sOrvsim;
    std::unique_ptr<TfmAutoMessageDlg> m_oPopup;
    QStringList m_aPlugged;
};

} // namespace ConfigBench
