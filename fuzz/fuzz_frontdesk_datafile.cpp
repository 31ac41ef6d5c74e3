// The front desk's data file from any bytes: reading may only stop with EConvertError, the zones are
// sorted whatever happens, saving always goes through, and a document that was read completely reads
// back the same settings from what it saved. One input in sixteen goes through a real "Tarvo.xml" with
// Open and Save, where a file that stopped the reading must be left untouched by a plain Save.
//
// Byte 0 controls the run: bit 0 decimal comma, bits 1-4 all set: through the file (saving there flushes
// to disk, which is slow). The rest is the
// data file's content.

#include "frontdesk/uTarvoDoc.h"

#include "base/uDataFile.h"
#include "base/uLocale.h"
#include "base/uMemXml.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace Tarvo;

namespace {

[[noreturn]] void Fail(const char* AWhat, const char* ADetail = "") {
    std::fprintf(stderr, "fuzz_frontdesk_datafile: %s %s\n", AWhat, ADetail);
    std::abort();
}

void CheckZonesSorted(const TTarvoDoc& ADoc) {
    for (int i = 1; i < ADoc.TZs().Count(); ++i)
        if (CompareTimeOfDay(ADoc.TZs().GetZone(i - 1)->m_tStartTime, ADoc.TZs().GetZone(i)->m_tStartTime) >
            0)
            Fail("zones out of order");
}

// Reads AXml; true when the whole document was read. Only EConvertError may stop it.
bool Load(TTarvoDoc& ADoc, TMemXml& AXml) {
    try {
        ADoc.LoadFromXml(AXml);
    } catch (const EConvertError&) {
        if (!ADoc.LoadFailed())
            Fail("a stopped load that is not marked");
        return false;
    } catch (const std::exception& E) {
        Fail("unexpected exception while reading:", E.what());
    }
    if (ADoc.LoadFailed())
        Fail("a complete load marked as failed");
    return true;
}

void Save(const TTarvoDoc& ADoc, TMemXml& AXml) {
    try {
        ADoc.SaveToXml(AXml);
    } catch (const std::exception& E) {
        Fail("unexpected exception while saving:", E.what());
    }
}

// What the operator is told after a load: nothing beside a load that stopped; one sentence for a store
// whose root is not read (this one names no file, so it is no missing first-start file); otherwise the
// sentence on tariff zones exactly when none was read.
void CheckProblems(const TTarvoDoc& ADoc, bool AComplete, bool ARootRead) {
    const QStringList lProblems = ADoc.LoadProblems();
    if (!AComplete) {
        if (!lProblems.isEmpty())
            Fail("problems listed beside a stopped load");
        return;
    }
    if (!ARootRead) {
        if (lProblems.size() != 1)
            Fail("a store whose root is not read gives not one problem");
        return;
    }
    const bool lNoZone =
        !lProblems.isEmpty() && lProblems.front().startsWith(QLatin1String("No tariff zone could be read"));
    if (lNoZone != ADoc.TZs().IsEmpty())
        Fail("the tariff zone problem disagrees with the zones read");
}

QString TimeText(TDateTime AValue) {
    return TimeToXmlStr(TimeOf(AValue));
}

// The settings the front desk writes, as text (floats as the file writes them).
QString Settings(const TTarvoDoc& D) {
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    D.GetRecentBooking(lFrom, lTo, lAllDay);
    QStringList l;
    l << QString::number(D.Language()) << QString::number(D.LogFileFormat())
      << QString::number(D.LogFilePeriod()) << QString::number(D.Tariffication()) << FloatToStr(D.Entrance())
      << FloatToStr(D.MinAmount()) << QString::number(D.AccPrice()) << FloatToStr(D.OverdueCost())
      << FloatToStr(D.DayCost()) << QString::number(D.AutoPrintRep()) << D.Printer()
      << QString::number(D.ReaderSn()) << D.ReaderPort() << QString::number(D.CardRegMin())
      << QString::number(D.KorvelWiegand()) << D.PopupFontName() << QString::number(D.PopupFontSize())
      << QString::number(D.PopupMax()) << QString::number(D.PopupTimeOut()) << RectToXml(D.RcptWinPos())
      << FloatToStr(D.NDS()) << QString::number(D.CamSource()) << QString::number(D.ArchScale())
      << RectToXml(D.ArchWinPos()) << D.WebCamera() << QString::number(D.WebcamMode())
      << QString::number(D.WebcamNumShots()) << D.VIServer() << D.VILogin() << D.VIPasswMd5() << D.VICamera()
      << D.VICameraTitle() << QString::number(D.VITimeOffs()) << QString::number(D.VIStepViewing())
      << QString::number(D.VIReqTimeOut()) << QString::number(D.RecentBookingActive()) << TimeText(lFrom)
      << TimeText(lTo) << QString::number(lAllDay);
    for (int i = 0; i < 2; ++i) {
        const TKorvelOutputs& lOut = D.GetKorvelOutput(i);
        l << QString::number(lOut.m_nKorvelOutputs) << QString::number(lOut.m_nKorvelInit);
        for (std::uint32_t lTime : lOut.m_aKorvelTimes)
            l << QString::number(lTime);
    }
    return l.join(QLatin1Char('|'));
}

void RunInMemory(const QString& AText) {
    TMemXml lXml(QString(), TXmlEncoding::Utf8);
    lXml.SetText(AText);
    // A root whose version has major number 1 but no minor one is not read, yet kept by the save (which
    // only empties other major versions): what it holds is read for the first time after the save.
    bool lRootRead = false;
    try {
        std::int32_t lMinor = 0;
        lRootRead = FindRootForLoad(lXml, lMinor) != nullptr;
    } catch (const EConvertError&) {
    }

    TTarvoDoc lDoc;
    const bool lComplete = Load(lDoc, lXml);
    CheckZonesSorted(lDoc);
    CheckProblems(lDoc, lComplete, lRootRead);
    Save(lDoc, lXml);
    const QString lSaved = lXml.GetText();

    TMemXml lAgain(QString(), TXmlEncoding::Utf8);
    lAgain.SetText(lSaved);
    // Some malformed trees are written as text that parses into another tree (an element without a name
    // gets the end tag "</>", which the parser skips): the read-back check needs a store that kept it.
    const bool lStoreKept = lAgain.GetText() == lSaved;
    TTarvoDoc lRead;
    const bool lReadComplete = Load(lRead, lAgain);
    CheckZonesSorted(lRead);
    if (!lComplete || !lRootRead || !lStoreKept)
        return;
    if (!lReadComplete)
        Fail("what a complete document saved does not read back:", lRead.LoadError().toUtf8().constData());
    if (Settings(lRead) != Settings(lDoc))
        Fail("a complete document reads back other settings:",
             (Settings(lDoc) + QStringLiteral("\n") + Settings(lRead)).toUtf8().constData());
}

void RunThroughFile(const QByteArray& ABytes) {
    static QTemporaryDir s_oDir;
    if (!s_oDir.isValid())
        Fail("no temporary folder");
    const QString lFileName = s_oDir.filePath(QStringLiteral("Tarvo.xml"));
    {
        QFile lFile(lFileName);
        if (!lFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || lFile.write(ABytes) != ABytes.size())
            Fail("cannot write the data file");
    }
    TTarvoDoc lDoc;
    lDoc.SetFileName(lFileName);
    lDoc.SetLangDir(s_oDir.filePath(QStringLiteral("Languages"))); // none: nothing to resolve
    bool lOpened = true;
    try {
        lDoc.Open();
    } catch (const EConvertError&) {
        lOpened = false;
    } catch (const std::exception& E) {
        Fail("unexpected exception from Open:", E.what());
    }
    CheckZonesSorted(lDoc);
    if (lOpened == lDoc.LoadFailed() || lDoc.UpdateDepth() != 0)
        Fail("Open left the document in a wrong state");
    try {
        lDoc.Save();
        if (!lOpened)
            Fail("a file that stopped the reading was saved over");
    } catch (const EDataFileIncomplete&) {
        if (lOpened)
            Fail("a completely read file was refused");
        QFile lFile(lFileName);
        if (!lFile.open(QIODevice::ReadOnly) || lFile.readAll() != ABytes)
            Fail("a refused save changed the file");
        lDoc.Save(true);
    } catch (const std::exception& E) {
        Fail("unexpected exception from Save:", E.what());
    }
    lDoc.Close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    if (ASize < 1)
        return 0;
    const std::uint8_t lControl = AData[0];
    SetDecimalSeparator((lControl & 1) ? QLatin1Char(',') : QLatin1Char('.'));
    const QByteArray lBytes(reinterpret_cast<const char*>(AData + 1), qsizetype(ASize - 1));
    if ((lControl & 0x1E) == 0x1E)
        RunThroughFile(lBytes);
    else
        RunInMemory(QString::fromUtf8(lBytes));
    ResetLocaleOverrides();
    return 0;
}
