// The archive photo viewer: the visit's photo chosen within its second, the In and Out buttons, the
// scroll bar over the archive, "No photo" for missing and bad files, the caption, the Scale menu with
// ArchScale, the window place in ArchWinPos, and the main window's one viewer opened from the camera
// icons of the log and the report.

#include "apps/Tarvo/uFmMain.h"
#include "apps/Tarvo/uVIArchiveFotoDlg.h"

#include "base/uClock.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uListView.h"
#include "tests/common/TestSupport.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Tarvo::TTarvoDoc;

namespace {

TDateTime At(int AHour, int AMin, int ASec, int AMSec = 0) {
    return MakeDateTime(2025, 1, 1, AHour, AMin, ASec, AMSec);
}

// Writes a photo of the moment: AWidth x AHeight in AColor, as the desk files its shots.
void WritePhoto(const TTarvoDoc& ADoc, TDateTime ATime, int AWidth, int AHeight,
                QRgb AColor = qRgb(20, 120, 200)) {
    QImage lImage(AWidth, AHeight, QImage::Format_RGB32);
    lImage.fill(AColor);
    QVERIFY(lImage.save(ADoc.GetArchFotoPath(ATime, true), "JPEG", 90));
}

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0C, 0x0B, 0x0A});

QByteArray DataFile() {
    return QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
                      "<Main><StartDayTime>06:00</StartDayTime><Tariffication>2</Tariffication></Main>\r\n"
                      "<Reader cardRegInterval=\"0\"/>\r\n"
                      "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/>"
                      "</TimeZones>\r\n<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
                      "</Cards>\r\n<Popup timeOut=\"60\" max=\"20\"/>\r\n</Tarvo>\r\n");
}

} // namespace

class TestArchiveFoto : public QObject {
    Q_OBJECT
private:
    QTemporaryDir m_oRuntime;
    std::unique_ptr<TTempDir> m_oDir;
    std::unique_ptr<TTarvoDoc> m_pDoc;
    std::unique_ptr<TLocaleOverride> m_oLocale;

    std::unique_ptr<TfmVIArchiveFotoDlg> NewViewer() {
        auto lDlg = std::make_unique<TfmVIArchiveFotoDlg>(nullptr, *m_pDoc);
        return lDlg;
    }
    // Photos at 10:00:00.100 (40x30), 10:00:00.600 (50x30), 10:00:01.100 (60x30) and 10:30:00.000 (70x30).
    void FourPhotos() {
        WritePhoto(*m_pDoc, At(10, 0, 0, 100), 40, 30);
        WritePhoto(*m_pDoc, At(10, 0, 0, 600), 50, 30);
        WritePhoto(*m_pDoc, At(10, 0, 1, 100), 60, 30);
        WritePhoto(*m_pDoc, At(10, 30, 0, 0), 70, 30);
    }
    static QString Shown(const TfmVIArchiveFotoDlg& ADlg) {
        return ADlg.ShownFile().isEmpty() ? QString() : ADlg.ShownFile().section(QLatin1Char('/'), -1);
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_RUNTIME_DIR", m_oRuntime.path().toLocal8Bit()); }
    void init() {
        m_oLocale = std::make_unique<TLocaleOverride>();
        m_oDir = std::make_unique<TTempDir>();
        m_pDoc = std::make_unique<TTarvoDoc>();
        m_pDoc->SetFileName(m_oDir->FilePath(QStringLiteral("Tarvo.xml")));
        m_pDoc->SetDefaults();
    }
    void cleanup() {
        m_pDoc.reset();
        m_oDir.reset();
        m_oLocale.reset();
    }

    void opensOnTheVisitsPhotoAndBrowses() {
        FourPhotos();
        auto lDlg = NewViewer();
        QCOMPARE(lDlg->objectName(), QStringLiteral("TfmVIArchiveFotoDlg"));
        // The list's check-in moment is a whole second; its photo was taken 100 ms into it.
        lDlg->SetParameters(At(10, 0, 0), At(10, 30, 0), 0, 100);
        lDlg->show();
        QCOMPARE(lDlg->windowTitle(), QStringLiteral("Archive photo [01.01.2025 10:00:00 / 10:30:00]"));
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-100000.100.jpg"));
        QCOMPARE(lDlg->Image1->Picture().size(), QSize(40, 30));
        QVERIFY(lDlg->Image1->isVisible());
        QVERIFY(lDlg->btnIn->isChecked());
        QVERIFY(!lDlg->btnOut->isChecked());
        QVERIFY(lDlg->btnIn->isEnabled() && lDlg->btnOut->isEnabled());
        QCOMPARE(lDlg->labTime->text(), QStringLiteral("01.01.2025 10:00:00.000"));
        QVERIFY(lDlg->ScrollBar1->isVisible());
        QCOMPARE(lDlg->ScrollBar1->minimum(), 0);
        QCOMPARE(lDlg->ScrollBar1->maximum(), 3);
        QCOMPARE(lDlg->ScrollBar1->value(), 0);

        QTest::mouseClick(lDlg->btnOut, Qt::LeftButton);
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-103000.0.jpg"));
        QCOMPARE(lDlg->ScrollBar1->value(), 3);
        QVERIFY(lDlg->btnOut->isChecked());
        QVERIFY(!lDlg->btnIn->isChecked());

        // Scrolling shows each photo at once; between the two moments neither button is checked.
        lDlg->ScrollBar1->setValue(2);
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-100001.100.jpg"));
        QCOMPARE(lDlg->labTime->text(), QStringLiteral("01.01.2025 10:00:01.100"));
        QVERIFY(!lDlg->btnIn->isChecked() && !lDlg->btnOut->isChecked());

        QTest::mouseClick(lDlg->btnIn, Qt::LeftButton);
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-100000.100.jpg"));
        QCOMPARE(lDlg->ScrollBar1->value(), 0);

        // After all photos: the last is the candidate, not of that second, so nothing is shown.
        lDlg->SetFotoDateTime(At(10, 30, 5));
        QVERIFY(Shown(*lDlg).isEmpty());
        QVERIFY(!lDlg->Image1->isVisible());
        QCOMPARE(lDlg->panImage->text(), QStringLiteral("No photo"));
        QCOMPARE(lDlg->ScrollBar1->value(), 3);
    }

    void visitWithoutCheckOutAndEmptyArchive() {
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), 0, 0, 100);
        lDlg->show();
        QCOMPARE(lDlg->windowTitle(), QStringLiteral("Archive photo [01.01.2025 10:00:00 / -]"));
        QVERIFY(lDlg->btnIn->isEnabled());
        QVERIFY(!lDlg->btnOut->isEnabled());
        QVERIFY(!lDlg->ScrollBar1->isVisible());
        QVERIFY(!lDlg->Image1->isVisible());
        QVERIFY(Shown(*lDlg).isEmpty());

        // A check-out on the next day shows both dates; the viewer used again scans the archive again.
        WritePhoto(*m_pDoc, MakeDateTime(2025, 1, 2, 0, 20, 0), 40, 30);
        lDlg->SetParameters(At(23, 10, 5), MakeDateTime(2025, 1, 2, 0, 20, 0), 1, 100);
        QCOMPARE(lDlg->windowTitle(),
                 QStringLiteral("Archive photo [01.01.2025 23:10:05 / 02.01.2025 00:20:00]"));
        QCOMPARE(Shown(*lDlg), QStringLiteral("02012025-002000.0.jpg"));
        QVERIFY(lDlg->ScrollBar1->isVisible());
        QVERIFY(lDlg->btnOut->isChecked());
    }

    // Files the viewer must get past: zero bytes, not a JPEG, a header claiming 30000 x 30000 pixels,
    // names off the pattern, a folder with a photo's name.
    void badFilesShowNoPhoto() {
        const QString lPhoto = m_pDoc->GetArchFotoDir(true);
        m_oDir->WriteFile(QStringLiteral("Photo/01012025-100000.0.jpg"), QByteArray());
        m_oDir->WriteFile(QStringLiteral("Photo/01012025-100100.0.jpg"), "garbage, not a photo");
        QImage lSmall(8, 8, QImage::Format_RGB32);
        lSmall.fill(Qt::red);
        QByteArray lJpeg;
        {
            QBuffer lBuffer(&lJpeg);
            lBuffer.open(QIODevice::WriteOnly);
            QVERIFY(lSmall.save(&lBuffer, "JPEG"));
        }
        const int lSof = static_cast<int>(lJpeg.indexOf("\xFF\xC0"));
        QVERIFY(lSof > 0);
        lJpeg[lSof + 5] = char(0x75); // 30000 = 0x7530
        lJpeg[lSof + 6] = char(0x30);
        lJpeg[lSof + 7] = char(0x75);
        lJpeg[lSof + 8] = char(0x30);
        m_oDir->WriteFile(QStringLiteral("Photo/01012025-100200.0.jpg"), lJpeg);
        m_oDir->WriteFile(QStringLiteral("Photo/holiday.jpg"), lJpeg);
        QVERIFY(QDir(lPhoto).mkdir(QStringLiteral("01012025-100300.0.jpg")));

        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), At(10, 2, 0), 0, 100);
        lDlg->show();
        QCOMPARE(lDlg->FileFotos().size(), std::size_t(3));
        QCOMPARE(lDlg->ScrollBar1->maximum(), 2);
        for (int i = 0; i < 3; ++i) {
            lDlg->ScrollBar1->setValue(i);
            QVERIFY2(Shown(*lDlg).isEmpty(), qPrintable(QString::number(i)));
            QVERIFY(!lDlg->Image1->isVisible());
        }
        QTest::mouseClick(lDlg->btnOut, Qt::LeftButton);
        QVERIFY(Shown(*lDlg).isEmpty());
        QVERIFY(lDlg->btnOut->isChecked());
    }

    void scaleMenuAndOriginalSize() {
        WritePhoto(*m_pDoc, At(10, 0, 0), 900, 700);
        WritePhoto(*m_pDoc, At(10, 5, 0), 40, 30);
        QCOMPARE(m_pDoc->ArchScale(), 100);
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 5, 0), At(10, 0, 0), 0, 100);
        lDlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(lDlg.get()));
        lDlg->PopupMenu1Popup();
        QVERIFY(lDlg->miOriginalSize->isChecked());
        QVERIFY(!lDlg->miFitInWindow->isChecked());
        QVERIFY(!lDlg->Image1->Stretch());
        const QSize lSmallSize = lDlg->size();

        // In original size the window grows by what the picture exceeds the image, never shrinks.
        const QSize lArea = lDlg->panImage->contentsRect().size();
        QTest::mouseClick(lDlg->btnOut, Qt::LeftButton);
        QCOMPARE(lDlg->Image1->Picture().size(), QSize(900, 700));
        const QSize lScreen = lDlg->screen()->availableGeometry().size();
        QCOMPARE(lDlg->width(), std::min(lScreen.width(), lSmallSize.width() + 900 - lArea.width()));
        QCOMPARE(lDlg->height(), std::min(lScreen.height(), lSmallSize.height() + 700 - lArea.height()));
        const QSize lGrown = lDlg->size();
        QTest::mouseClick(lDlg->btnIn, Qt::LeftButton);
        QCOMPARE(lDlg->size(), lGrown);

        m_pDoc->SetModifyedFlag(false);
        lDlg->miFitInWindow->trigger();
        QCOMPARE(m_pDoc->ArchScale(), 0);
        QVERIFY(m_pDoc->Modifyed());
        QVERIFY(lDlg->Image1->Stretch());
        lDlg->PopupMenu1Popup();
        QVERIFY(lDlg->miFitInWindow->isChecked());
        QVERIFY(!lDlg->miOriginalSize->isChecked());
        lDlg->miOriginalSize->trigger();
        QCOMPARE(m_pDoc->ArchScale(), 100);
        QVERIFY(!lDlg->Image1->Stretch());
    }

    void windowPlaceKeptInTheDocument() {
        m_pDoc->SetArchScale(0);
        const QRect lAvail = QGuiApplication::primaryScreen()->availableGeometry();
        m_pDoc->SetArchWinPos(TRect{lAvail.left() + 30, lAvail.top() + 40, 600, 450});
        auto lDlg = NewViewer();
        lDlg->SetParameters(At(10, 0, 0), 0, 0, 100);
        lDlg->show();
        QCOMPARE(lDlg->geometry().topLeft(), QPoint(lAvail.left() + 30, lAvail.top() + 40));
        QCOMPARE(lDlg->size(), QSize(600, 450));
        lDlg->move(lAvail.left() + 50, lAvail.top() + 60);
        lDlg->resize(620, 470);
        m_pDoc->SetModifyedFlag(false);
        lDlg->close();
        const TRect lStored = m_pDoc->ArchWinPos();
        QCOMPARE(lStored.Right, 620);
        QCOMPARE(lStored.Bottom, 470);
        QVERIFY(m_pDoc->Modifyed());

        // Without a stored place: the design size.
        m_pDoc->SetArchWinPos(TRect{0, 0, 0, 0});
        auto lFresh = NewViewer();
        lFresh->SetParameters(At(10, 0, 0), 0, 0, 100);
        lFresh->show();
        QCOMPARE(lFresh->size(),
                 QSize(TfmVIArchiveFotoDlg::DESIGN_WIDTH, TfmVIArchiveFotoDlg::DESIGN_HEIGHT));
    }

    // The camera icons of the log and the report open one viewer on the visit's photos; it is reused
    // while open and gone when closed.
    void mainWindowOpensOneViewerFromTheLists() {
        const QString lFile = m_oDir->WriteFile(QStringLiteral("Tarvo.xml"), DataFile());
        TFixedClock lClock(MakeDateTime(2025, 1, 1, 10, 0, 0, 250), 1000);
        TfmMain lMain(lFile, false);
        lMain.Doc().Open();
        lMain.show();
        for (QWidget* lPage : {lMain.tsReport, lMain.tsLog})
            lMain.pcMain->setCurrentWidget(lPage);
        lMain.HandleCard(1, cAnn);
        lClock.Set(MakeDateTime(2025, 1, 1, 10, 40, 0, 500));
        lMain.HandleCard(1, cAnn);
        WritePhoto(lMain.Doc(), At(10, 0, 0, 250), 40, 30);
        WritePhoto(lMain.Doc(), At(10, 40, 0, 500), 50, 30);

        // Newest first: row 0 is the check-out, row 1 the check-in.
        Q_EMIT lMain.lvLog->iconClicked(1);
        TfmVIArchiveFotoDlg* lDlg = lMain.ArchFotoDlg();
        QVERIFY(lDlg);
        QVERIFY(lDlg->isVisible());
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-100000.250.jpg"));
        QVERIFY(lDlg->btnIn->isChecked());
        QVERIFY(lDlg->btnOut->isEnabled());
        QCOMPARE(lDlg->windowTitle(), QStringLiteral("Archive photo [01.01.2025 10:00:00 / 10:40:00]"));

        Q_EMIT lMain.lvLog->iconClicked(0);
        QCOMPARE(lMain.ArchFotoDlg(), lDlg);
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-104000.500.jpg"));
        QVERIFY(lDlg->btnOut->isChecked());

        lMain.pcMain->setCurrentWidget(lMain.tsReport);
        Q_EMIT lMain.lvReport->iconClicked(0);
        QCOMPARE(lMain.ArchFotoDlg(), lDlg);
        QCOMPARE(Shown(*lDlg), QStringLiteral("01012025-100000.250.jpg"));

        lDlg->close();
        QTRY_VERIFY(!lMain.ArchFotoDlg());
        Q_EMIT lMain.lvReport->iconClicked(0);
        QVERIFY(lMain.ArchFotoDlg());
        QVERIFY(lMain.ArchFotoDlg() != nullptr && lMain.ArchFotoDlg()->isVisible());
        lMain.ArchFotoDlg()->close();
    }
};

QTEST_MAIN(TestArchiveFoto)
#include "test_archivefoto.moc"
