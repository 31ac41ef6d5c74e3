// Reading and writing the front desk's part of "Tarvo.xml".

#include "frontdesk/uTarvoDoc.h"

#include "base/uDataFile.h"
#include "base/uLocale.h"
#include "base/uMemXml.h"
#include "base/uMessages.h"
#include "base/uScanFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <array>

namespace Tarvo {

namespace {

const std::array<const char*, 2> LOG_FILE_FORMAT_NAMES = {"txt", "csv"};
const std::array<const char*, 3> LOG_FILE_PERIOD_NAMES = {"day", "week", "month"};

template <size_t N> QString IndexToStr(std::int32_t AValue, const std::array<const char*, N>& ANames) {
    // A value outside the names (set by a caller, never by the file) is written without a name; it reads
    // back as 0 like any other index out of range.
    const char* lName =
        AValue >= 0 && AValue < static_cast<std::int32_t>(N) ? ANames[static_cast<size_t>(AValue)] : "";
    return QStringLiteral("%1, %2").arg(AValue).arg(QLatin1String(lName));
}

template <size_t N>
bool StrToIndex(const QString& AText, std::int32_t& VValue, const std::array<const char*, N>& ANames) {
    const qsizetype lComma = AText.indexOf(QLatin1Char(','));
    std::int32_t lIndex = 0;
    if (lComma > 0 && TryStrToInt(AText.left(lComma), lIndex)) {
        VValue = lIndex >= 0 && lIndex < static_cast<std::int32_t>(N) ? lIndex : 0;
        return true;
    }
    for (size_t i = 0; i < N; ++i)
        if (AText.compare(QLatin1String(ANames[i]), Qt::CaseInsensitive) == 0) {
            VValue = static_cast<std::int32_t>(i);
            return true;
        }
    return false;
}

const TMXNode* Child(const TMXNode& AParent, const char* AName) {
    return AParent.ChildNodes().GetNodeByName(QLatin1String(AName));
}

QString Attr(const TMXNode& ANode, const char* AName) {
    return ANode.GetNodeAttr(QLatin1String(AName));
}

// Readers of one item each: the field keeps its value when the text does not convert.
void ReadInt(const TMXNode& ANode, const char* AName, std::int32_t& VField) {
    XmlToInt(Attr(ANode, AName), VField);
}
void ReadUInt(const TMXNode& ANode, const char* AName, std::uint32_t& VField) {
    XmlToUInt(Attr(ANode, AName), VField);
}
void ReadBool(const TMXNode& ANode, const char* AName, bool& VField) {
    XmlToBool(Attr(ANode, AName), VField);
}

// A rectangle that cannot convert (a sign without digits) stops the reading, naming itself.
void ReadRect(const TMXNode& ANode, const char* APath, TRect& VField) {
    const QString lText = Attr(ANode, "wndPos");
    ReadDataValue(QLatin1String(APath), "wndPos", lText, [&] { XmlToRect(lText, VField); });
}

void ReadBookingTime(const TMXNode& ANode, const char* AName, TDateTime& VField) {
    const QString lText = Attr(ANode, AName);
    ReadDataValue(QStringLiteral("Main/RecentBooking"), AName, lText,
                  [&] { return XmlStrToTime(lText, VField); });
}

// The file a store was read from, for messages; a store filled from a text names the document's file.
QString FileNameFor(const TMemXml& AXml, const QString& ADocFile) {
    return AXml.FileName().isEmpty() ? ADocFile : AXml.FileName();
}

QString QuotedFileName(const QString& AFileName) {
    return QLatin1Char('"') + QDir::toNativeSeparators(AFileName) + QLatin1Char('"');
}

void ReadFloatText(const TMXNode& AParent, const char* AName, Extended& VField) {
    if (const TMXNode* lNode = Child(AParent, AName)) {
        Extended lValue = 0;
        if (TryStrToFloat(lNode->GetNodeText(), lValue))
            VField = lValue;
    }
}

TMXNode& Element(TMXNode& AParent, const char* AName) {
    return *AParent.ChildNodes().FindNode(QLatin1String(AName), true);
}

void SetAttr(TMXNode& ANode, const char* AName, const QString& AValue) {
    ANode.SetNodeAttr(QLatin1String(AName), AValue);
}

// The element's text; children a damaged file gave one of our text elements are dropped, as a text
// element cannot hold both.
void SetText(TMXNode& AParent, const char* AName, const QString& AText) {
    TMXNode& lNode = Element(AParent, AName);
    if (lNode.ChildNodes().Count() > 0)
        lNode.ClearNodes();
    lNode.SetNodeText(AText);
}

void SaveKorvelOutputs(TMXNode& AParent, const TKorvelOutputs& AOutputs) {
    for (int i = 0; i < KORVEL_OUTPUT_COUNT; ++i) {
        TMXNode& lOut = Element(AParent, KORVEL_OUTPUT_NAMES[static_cast<size_t>(i)]);
        SetAttr(lOut, "active", BoolToXml((AOutputs.m_nKorvelOutputs >> i) & 1u));
        SetAttr(lOut, "initON", BoolToXml((AOutputs.m_nKorvelInit >> i) & 1u));
        SetAttr(lOut, "time", IntToXml(AOutputs.m_aKorvelTimes[static_cast<size_t>(i)]));
    }
}

void LoadKorvelOutputs(const TMXNode& AParent, TKorvelOutputs& VOutputs) {
    for (int i = 0; i < KORVEL_OUTPUT_COUNT; ++i) {
        const TMXNode* lOut = Child(AParent, KORVEL_OUTPUT_NAMES[static_cast<size_t>(i)]);
        if (!lOut)
            continue;
        bool lFlag = false;
        if (XmlToBool(Attr(*lOut, "active"), lFlag))
            SetMaskBit(VOutputs.m_nKorvelOutputs, i, lFlag);
        if (XmlToBool(Attr(*lOut, "initON"), lFlag))
            SetMaskBit(VOutputs.m_nKorvelInit, i, lFlag);
        ReadUInt(*lOut, "time", VOutputs.m_aKorvelTimes[static_cast<size_t>(i)]);
    }
}

} // namespace

// ---- text forms ------------------------------------------------------------------------------------

QString TimeToXmlStr(TTime ATime) {
    int lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeTime(ATime, lHour, lMin, lSec, lMSec);
    return QString::asprintf("%.2d:%.2d:%.2d", lHour, lMin, lSec);
}

bool XmlStrToTime(const QString& AText, TTime& VTime) {
    std::int32_t lHour = 0, lMin = 0, lSec = 0;
    if (ScanFormat(AText, QStringLiteral("%d:%d:%d"), {&lHour, &lMin, &lSec}) < 3)
        return false;
    TDateTime lTime = 0;
    if (!TryEncodeTime(lHour, lMin, lSec, 0, lTime))
        return false;
    VTime = lTime;
    return true;
}

QString LogFileFormatToStr(std::int32_t AValue) {
    return IndexToStr(AValue, LOG_FILE_FORMAT_NAMES);
}
bool StrToLogFileFormat(const QString& AText, std::int32_t& VValue) {
    return StrToIndex(AText, VValue, LOG_FILE_FORMAT_NAMES);
}
QString LogFilePeriodToStr(std::int32_t AValue) {
    return IndexToStr(AValue, LOG_FILE_PERIOD_NAMES);
}
bool StrToLogFilePeriod(const QString& AText, std::int32_t& VValue) {
    return StrToIndex(AText, VValue, LOG_FILE_PERIOD_NAMES);
}

void SetMaskBit(std::uint32_t& VMask, int ABit, bool AValue) {
    TARVO_ASSERT(ABit >= 0 && ABit < 32, "uTarvoDoc");
    if (AValue)
        VMask |= 1u << ABit;
    else
        VMask &= ~(1u << ABit);
}

// ---- reading ---------------------------------------------------------------------------------------

void TTarvoDoc::LoadFromFile(const QString& AFileName) {
    std::unique_ptr<TMemXml> lXml;
    try {
        lXml = OpenDataXml(AFileName);
    } catch (const Exception& E) {
        LoadFailedWith(E.Message());
        throw;
    }
    LoadFromXml(*lXml);
}

void TTarvoDoc::LoadFromXml(TMemXml& AXml) {
    m_fLoadFailed = false;
    m_sLoadError.clear();
    m_aLoadProblems.clear();
    try {
        LoadFromXmlUnguarded(AXml);
    } catch (const EConvertError& E) {
        // What was read before the error stays, but what the checks would say about it is not the
        // point: the error names the value that stopped the reading and the file it is in.
        m_aLoadProblems.clear();
        const EConvertError lError(DataLoadErrorText(FileNameFor(AXml, m_sFileName), E.Message()));
        LoadFailedWith(lError.Message());
        throw lError;
    } catch (const Exception& E) {
        m_aLoadProblems.clear();
        LoadFailedWith(E.Message());
        throw;
    } catch (const std::exception& E) {
        m_aLoadProblems.clear();
        LoadFailedWith(QString::fromLocal8Bit(E.what()));
        throw;
    }
}

void TTarvoDoc::LoadFailedWith(const QString& AMessage) {
    m_fLoadFailed = true;
    m_sLoadError = AMessage;
}

void TTarvoDoc::LoadFromXmlUnguarded(TMemXml& AXml) {
    SetDefaults();
    std::int32_t lMinor = 0;
    const TMXNode* lRoot = FindRootForLoad(AXml, lMinor);
    const QString lFileName = FileNameFor(AXml, m_sFileName);
    if (!lRoot) {
        TResText lProblem = DataRootProblem(AXml, lFileName);
        if (!lProblem.IsEmpty())
            m_aLoadProblems.push_back(std::move(lProblem));
        return;
    }
    // Whatever stops the reading, the zones read so far are left in the order billing relies on.
    const auto lSortZones = qScopeGuard([this] { m_oTZs.SortByTime(); });

    if (lMinor == 1)
        LoadCameraV11(*lRoot);
    else if (const TMXNode* lCamera = Child(*lRoot, "Camera"))
        LoadCamera(*lCamera);
    if (const TMXNode* lMain = Child(*lRoot, "Main"))
        LoadMain(*lMain);
    if (const TMXNode* lReader = Child(*lRoot, "Reader"))
        LoadReader(*lReader, lMinor);
    if (const TMXNode* lZones = Child(*lRoot, "TimeZones")) {
        QStringList lZoneNotes;
        const auto lKeepNotes = qScopeGuard([&] {
            for (const QString& lNote : lZoneNotes)
                m_aLoadProblems.push_back(TResText::Fixed(lNote));
        });
        LoadZonesFromXml(*lZones, m_oTZs, lFileName, &lZoneNotes);
    }
    if (m_oTZs.IsEmpty())
        m_aLoadProblems.push_back(TResText(MSG_LOAD_NO_ZONE, {QuotedFileName(lFileName)}));
    if (const TMXNode* lCards = Child(*lRoot, "Cards")) {
        m_nMaxLevel = LoadCardsFromXml(*lCards, m_oCards);
        // A card without a number is not read here: it would equal every key presented.
        const int lCount = lCards->ChildNodes().Count();
        if (m_oCards.IsEmpty() && lCount > 0)
            m_aLoadProblems.push_back(
                lCount == 1 ? TResText(MSG_LOAD_ONLY_CARD, {QuotedFileName(lFileName)})
                            : TResText(MSG_LOAD_NO_CARD, {std::int64_t(lCount), QuotedFileName(lFileName)}));
    }
    if (const TMXNode* lPopup = Child(*lRoot, "Popup")) {
        m_sPopupFontName = Attr(*lPopup, "fontName");
        ReadInt(*lPopup, "fontSize", m_nPopupFontSize);
        ReadInt(*lPopup, "max", m_nPopupMax);
        ReadUInt(*lPopup, "timeOut", m_nPopupTimeOut);
    }
    if (const TMXNode* lReceipt = Child(*lRoot, "Receipt"))
        ReadRect(*lReceipt, "Receipt", m_rcRcptWinPos);
}

void TTarvoDoc::LoadCameraV11(const TMXNode& ARoot) {
    // Version 1.1 kept the video server directly below the root and the webcam name on "Camera".
    if (const TMXNode* lVI = Child(ARoot, "VI")) {
        m_sVIServer = Attr(*lVI, "server");
        m_sVILogin = Attr(*lVI, "login");
        m_sVIPasswMd5 = Attr(*lVI, "passwmd5");
        m_sVICamera = Attr(*lVI, "camera");
        m_sVICameraTitle = Attr(*lVI, "cameraTitle");
        ReadInt(*lVI, "timeOffs", m_nVITimeOffs);
        ReadInt(*lVI, "stepViewing", m_nVIStepViewing);
    }
    if (const TMXNode* lCamera = Child(ARoot, "Camera"))
        m_sWebCamera = Attr(*lCamera, "webcam");
}

void TTarvoDoc::LoadCamera(const TMXNode& ACamera) {
    ReadInt(ACamera, "source", m_nCamSource);
    if (const TMXNode* lArch = Child(ACamera, "ArchPhoto")) {
        ReadInt(*lArch, "scale", m_nArchScale);
        ReadRect(*lArch, "Camera/ArchPhoto", m_rcArchWinPos);
    }
    if (const TMXNode* lVI = Child(ACamera, "VI")) {
        m_sVIServer = Attr(*lVI, "server");
        m_sVILogin = Attr(*lVI, "login");
        m_sVIPasswMd5 = Attr(*lVI, "passwmd5");
        m_sVICamera = Attr(*lVI, "camera");
        m_sVICameraTitle = Attr(*lVI, "cameraTitle");
        ReadInt(*lVI, "timeOffs", m_nVITimeOffs);
        ReadInt(*lVI, "stepViewing", m_nVIStepViewing);
        ReadUInt(*lVI, "reqTimeOut", m_nVIReqTimeOut);
    }
    if (const TMXNode* lWebCam = Child(ACamera, "WebCam")) {
        m_sWebCamera = Attr(*lWebCam, "camera");
        ReadInt(*lWebCam, "mode", m_nWebcamMode);
        ReadInt(*lWebCam, "numShots", m_nWebcamNumShots);
    }
    if (const TMXNode* lKeep = Child(ACamera, "KeepPhotos")) {
        ReadInt(*lKeep, "days", m_nKeepPhotoDays);
        m_nKeepPhotoDays = std::max(m_nKeepPhotoDays, 0);
    }
}

void TTarvoDoc::LoadMain(const TMXNode& AMain) {
    if (!XmlToLangId(Attr(AMain, "language"), m_nLanguage))
        m_nLanguage = LANG_NONE_CHOSEN;
    if (const TMXNode* lStart = Child(AMain, "StartDayTime")) {
        // An hour above 23 stops the reading.
        const QString lText = lStart->GetNodeText();
        ReadDataValue(QStringLiteral("Main/StartDayTime"), "text", lText,
                      [&] { return XmlToHourMin(lText, m_tStartDay); });
    }
    if (!XmlToInt(Attr(AMain, "keyView"), m_nKeyView))
        m_nKeyView = 0;
    if (const TMXNode* lLog = Child(AMain, "Log")) {
        StrToLogFileFormat(Attr(*lLog, "fileFormat"), m_nLogFileFormat);
        StrToLogFilePeriod(Attr(*lLog, "filePeriod"), m_nLogFilePeriod);
    }
    ReadFloatText(AMain, "NDS", m_dNDS);
    if (const TMXNode* lTariff = Child(AMain, "Tariffication")) {
        std::int32_t lValue = 0;
        if (XmlToInt(lTariff->GetNodeText(), lValue) && lValue >= TARIF_SECOND + 1 &&
            lValue <= TARIF_HOUR + 1)
            m_nTariff = static_cast<TTariffication>(lValue - 1);
    }
    ReadFloatText(AMain, "Entrance", m_nEntrance);
    ReadFloatText(AMain, "MinAmount", m_nMinAmount);
    if (const TMXNode* lAcc = Child(AMain, "AccPrice"))
        XmlToInt(lAcc->GetNodeText(), m_nAccPrice);
    ReadFloatText(AMain, "OverdueCost", m_nOverdueCost);
    ReadFloatText(AMain, "DayCost", m_nDayCost);
    if (const TMXNode* lBooking = Child(AMain, "RecentBooking")) {
        ReadBool(*lBooking, "active", m_fReserv);
        ReadBookingTime(*lBooking, "from", m_dtRFrom);
        ReadBookingTime(*lBooking, "to", m_dtRTo);
        ReadBool(*lBooking, "allDay", m_fRAllDay);
    }
    if (const TMXNode* lAuto = Child(AMain, "AutoPrintRep"))
        XmlToBool(lAuto->GetNodeText(), m_fAutoPrintRep);
    if (const TMXNode* lPrinter = Child(AMain, "Printer"))
        m_sPrinter = lPrinter->GetNodeText();
}

void TTarvoDoc::LoadReader(const TMXNode& AReader, std::int32_t AMinor) {
    ReadInt(AReader, "sn", m_nReaderSn);
    m_sReaderPort = Attr(AReader, "port");
    ReadUInt(AReader, "cardRegInterval", m_nCardRegMin);
    if (AMinor <= 1)
        return; // the base station came with version 1.2
    if (const TMXNode* lKorvel = Child(AReader, "Korvel")) {
        LoadKorvelOutputs(*lKorvel, m_aKorvelOutputs[0]);
        if (const TMXNode* lExit = Child(*lKorvel, "Exit"))
            LoadKorvelOutputs(*lExit, m_aKorvelOutputs[1]);
        ReadBool(*lKorvel, "wiegand", m_fKorvelWiegand);
    }
}

// ---- writing ---------------------------------------------------------------------------------------

void TTarvoDoc::SaveToFile(const QString& AFileName) const {
    // The file is read again first: the configuration program's items, written since we loaded, stay.
    std::unique_ptr<TMemXml> lXml = OpenDataXml(AFileName);
    SaveToXml(*lXml);
    lXml->UpdateFile();
}

void TTarvoDoc::SaveToXml(TMemXml& AXml) const {
    // Only the front desk's items are written; keyView, keyEditFormatId, StartDayTime, TimeZones and
    // Cards stay as the configuration program wrote them.
    TMXNode& lRoot = PrepareRootForSave(AXml);

    TMXNode& lMain = Element(lRoot, "Main");
    SetAttr(lMain, "language", LangIdToXml(m_nLanguage));
    TMXNode& lLog = Element(lMain, "Log");
    SetAttr(lLog, "fileFormat", LogFileFormatToStr(m_nLogFileFormat));
    SetAttr(lLog, "filePeriod", LogFilePeriodToStr(m_nLogFilePeriod));
    SetText(lMain, "NDS", FloatToStr(m_dNDS));
    SetText(lMain, "Tariffication", IntToXml(std::int64_t(m_nTariff) + 1));
    SetText(lMain, "Entrance", FloatToStr(m_nEntrance));
    SetText(lMain, "MinAmount", FloatToStr(m_nMinAmount));
    SetText(lMain, "AccPrice", IntToXml(m_nAccPrice));
    SetText(lMain, "OverdueCost", FloatToStr(m_nOverdueCost));
    SetText(lMain, "DayCost", FloatToStr(m_nDayCost));
    TMXNode& lBooking = Element(lMain, "RecentBooking");
    SetAttr(lBooking, "active", BoolToXml(m_fReserv));
    SetAttr(lBooking, "from", TimeToXmlStr(TimeOf(m_dtRFrom)));
    SetAttr(lBooking, "to", TimeToXmlStr(TimeOf(m_dtRTo)));
    SetAttr(lBooking, "allDay", BoolToXml(m_fRAllDay));
    SetText(lMain, "AutoPrintRep", BoolToXml(m_fAutoPrintRep));
    SetText(lMain, "Printer", m_sPrinter);

    TMXNode& lReader = Element(lRoot, "Reader");
    SetAttr(lReader, "sn", IntToXml(m_nReaderSn));
    SetAttr(lReader, "port", m_sReaderPort);
    SetAttr(lReader, "cardRegInterval", IntToXml(m_nCardRegMin));
    TMXNode& lKorvel = Element(lReader, "Korvel");
    SaveKorvelOutputs(lKorvel, m_aKorvelOutputs[0]);
    SaveKorvelOutputs(Element(lKorvel, "Exit"), m_aKorvelOutputs[1]);
    SetAttr(lKorvel, "wiegand", BoolToXml(m_fKorvelWiegand));

    TMXNode& lPopup = Element(lRoot, "Popup");
    SetAttr(lPopup, "fontName", m_sPopupFontName);
    SetAttr(lPopup, "fontSize", IntToXml(m_nPopupFontSize));
    SetAttr(lPopup, "max", IntToXml(m_nPopupMax));
    SetAttr(lPopup, "timeOut", IntToXml(m_nPopupTimeOut));

    SetAttr(Element(lRoot, "Receipt"), "wndPos", RectToXml(m_rcRcptWinPos));

    TMXNode& lCamera = Element(lRoot, "Camera");
    SetAttr(lCamera, "source", IntToXml(m_nCamSource));
    TMXNode& lArch = Element(lCamera, "ArchPhoto");
    SetAttr(lArch, "scale", IntToXml(m_nArchScale));
    SetAttr(lArch, "wndPos", RectToXml(m_rcArchWinPos));
    TMXNode& lWebCam = Element(lCamera, "WebCam");
    SetAttr(lWebCam, "camera", m_sWebCamera);
    SetAttr(lWebCam, "mode", IntToXml(m_nWebcamMode));
    SetAttr(lWebCam, "numShots", IntToXml(m_nWebcamNumShots));
    SetAttr(Element(lCamera, "KeepPhotos"), "days", IntToXml(m_nKeepPhotoDays));
    TMXNode& lVI = Element(lCamera, "VI");
    SetAttr(lVI, "server", m_sVIServer);
    SetAttr(lVI, "login", m_sVILogin);
    SetAttr(lVI, "passwmd5", m_sVIPasswMd5);
    SetAttr(lVI, "camera", m_sVICamera);
    SetAttr(lVI, "cameraTitle", m_sVICameraTitle);
    SetAttr(lVI, "timeOffs", IntToXml(m_nVITimeOffs));
    SetAttr(lVI, "stepViewing", IntToXml(m_nVIStepViewing));
    SetAttr(lVI, "reqTimeOut", IntToXml(m_nVIReqTimeOut));
}

} // namespace Tarvo
