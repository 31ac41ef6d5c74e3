#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uLangFiles.h"
#include "base/uLocale.h"
#include "base/uMessages.h"
#include "frontdesk/uPhotoArchive.h"

#include <QFile>
#include <QFileInfo>

#include <filesystem>
#include <system_error>

namespace Tarvo {

TTarvoDoc::TTarvoDoc() = default;

TTarvoDoc::~TTarvoDoc() {
    // The day's records refer to cards: they go first, the cards last.
    m_oReport.Clear();
    m_oInUsers.Clear();
    m_oLogList.Clear();
    m_oTZs.Clear();
    m_oCards.Clear();
}

void TTarvoDoc::Open() {
    if (m_nOpenRef == 0) {
        TUpdateScope lUpdate(*this);
        SetDefaults();
        // A missing file leaves a complete (default) document behind: saving it loses nothing.
        m_fLoadFailed = false;
        m_sLoadError.clear();
        m_aLoadProblems.clear();
        if (QFileInfo::exists(m_sFileName))
            LoadFromFile(m_sFileName);
        if (m_nLanguage == LANG_NONE_CHOSEN)
            m_nLanguage = ResolveSystemLanguage(QLatin1String(LANG_FILE_PREFIX), m_sLangDir);
        if (m_sPopupFontName.isEmpty())
            m_sPopupFontName = QStringLiteral("Calibri");
        if (m_nPopupFontSize == 0)
            m_nPopupFontSize = 20;
        if (m_nPopupMax == 0)
            m_nPopupMax = 10;
        if (m_nPopupTimeOut == 0)
            m_nPopupTimeOut = 7;
        AddChange(DCH_LANGUAGE | DCH_READER | DCH_REPORT, false);
        m_dtRepDate = _GetRepDateForTime(Now(), m_tStartDay);
        LoadDayFromLog();
        LoadBookings();
        if (m_sVIServer.isEmpty())
            m_sVIServer = QLatin1String(VI_DEFAULT_SERVER);
        SetModifyedFlag(false);
    }
    ++m_nOpenRef;
}

void TTarvoDoc::Close() {
    // Without a matching Open the count would go below 0 and the next Open would never load.
    if (m_nOpenRef <= 0)
        return;
    if (m_nOpenRef == 1)
        CheckReportDate();
    --m_nOpenRef;
}

void TTarvoDoc::Save(bool AOverwriteDamaged) {
    TARVO_ASSERT(!m_sFileName.isEmpty(), "uTarvoDoc");
    // Saving only replaces the front desk's own items in the re-read file, so the zones and cards after a
    // bad value survive. The front desk's settings stored after it do not: they were never read, hold
    // their defaults here and would be written over the operator's values.
    if (m_fLoadFailed && !AOverwriteDamaged)
        throw EDataFileIncomplete(FormatResString(MSG_DATA_FILE_INCOMPLETE, {m_sFileName, m_sLoadError}));
    TUpdateScope lUpdate(*this);
    SaveToFile(m_sFileName);
    m_fLoadFailed = false;
    m_sLoadError.clear();
    SetModifyedFlag(false);
}

void TTarvoDoc::SetDefaults() {
    m_nLogFileFormat = 0;
    m_nLogFilePeriod = 0;
    m_nTariff = TARIF_MINUTE;
    m_nEntrance = 0;
    m_nMinAmount = 0;
    m_nAccPrice = 0;
    m_nOverdueCost = 0;
    m_nDayCost = 0;
    m_fAutoPrintRep = false;
    m_sPrinter.clear();
    m_nReaderSn = 0;
    m_sReaderPort.clear();
    m_nCardRegMin = 0;
    m_aKorvelOutputs = {};
    m_fKorvelWiegand = false;
    m_sPopupFontName.clear();
    m_nPopupFontSize = 0;
    m_nPopupMax = 0;
    m_nPopupTimeOut = 0;
    m_rcRcptWinPos = {};
    m_dNDS = 0;
    m_nCamSource = 0;
    m_nArchScale = 100;
    m_rcArchWinPos = {};
    m_sWebCamera.clear();
    m_nWebcamMode = -1;
    m_nWebcamNumShots = 3;
    m_nWebcamInterval = 500;
    m_nKeepPhotoDays = 0;
    m_nVITimeOffs = 0;
    m_nVIStepViewing = 100;
    m_nVIReqTimeOut = 30000;

    m_oReport.Clear();
    m_oInUsers.Clear();
    m_oLogList.Clear();
    m_oTZs.Clear();
    m_oCards.Clear();
    m_nRepInUsers = 0;
    m_nRepOutUsers = 0;
    m_nRepTotalSum = 0;
    m_dtRepDate = 0;

    m_fReserv = false;
    m_dtRFrom = Today();
    m_dtRTo = m_dtRFrom;
    m_fRAllDay = false;
}

void TTarvoDoc::DoUserIn() {
    if (FOnUserIn)
        FOnUserIn(*this);
}

void TTarvoDoc::DoUserOut() {
    if (FOnUserOut)
        FOnUserOut(*this);
}

void TTarvoDoc::GetRecentBooking(TDateTime& VFrom, TDateTime& VTo, bool& VAllDay) const {
    VFrom = m_dtRFrom;
    VTo = m_dtRTo;
    VAllDay = m_fRAllDay;
}

const TKorvelOutputs& TTarvoDoc::GetKorvelOutput(int AIdx) const {
    TARVO_ASSERT(AIdx == 0 || AIdx == 1, "uTarvoDoc");
    return m_aKorvelOutputs[static_cast<size_t>(AIdx)];
}

void TTarvoDoc::SetKorvelOutput(int AIdx, const TKorvelOutputs& AValue) {
    TARVO_ASSERT(AIdx == 0 || AIdx == 1, "uTarvoDoc");
    SetSetting(m_aKorvelOutputs[static_cast<size_t>(AIdx)], AValue, DCH_KORVEL_OUTPUTS | DCH_READER);
}

QString TTarvoDoc::PriceToStr(Extended AValue, int AAcc) {
    return ::PriceToStr(AValue, AAcc);
}

TDate TTarvoDoc::_GetRepDateForTime(TDateTime ATime, TDateTime AStartDay) {
    return GetRepDateForTime(ATime, AStartDay);
}

QString TTarvoDoc::GetArchFotoDir(bool AForceDir) const {
    const QString lDir = QFileInfo(m_sFileName).absolutePath() + QStringLiteral("/Photo");
    QString lError;
    if (AForceDir && !ForceArchFotoDir(lDir, &lError))
        throw EInOutError(lError);
    return lDir;
}

QString TTarvoDoc::GetArchFotoPath(TDateTime ATime, bool AForceDir) const {
    int lYear = 0, lMonth = 0, lDay = 0, lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeDate(ATime, lYear, lMonth, lDay);
    DecodeTime(ATime, lHour, lMin, lSec, lMSec);
    return GetArchFotoDir(AForceDir) + QLatin1Char('/') +
           QString::asprintf("%.2d%.2d%.4d-%.2d%.2d%.2d.%d.jpg", lDay, lMonth, lYear, lHour, lMin, lSec,
                             lMSec);
}

} // namespace Tarvo
