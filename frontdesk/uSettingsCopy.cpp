#include "frontdesk/uSettingsCopy.h"

#include "frontdesk/uTarvoDoc.h"

#include <cmath>
#include <limits>

namespace Tarvo {

void TSettingsCopy::LoadFromDoc(const TTarvoDoc& ADoc) {
    m_nLanguage = ADoc.Language();
    m_sFontName = ADoc.PopupFontName();
    m_nFontSize = ADoc.PopupFontSize();
    m_nPopupMax = ADoc.PopupMax();
    m_nPopupTimeOut = ADoc.PopupTimeOut();
    m_dNDS = ADoc.NDS();
    m_nLogFileFormat = ADoc.LogFileFormat();
    m_nLogFilePeriod = ADoc.LogFilePeriod();
    m_nTU = ADoc.Tariffication();
    m_nEntrance = ADoc.Entrance();
    m_nMinAmount = ADoc.MinAmount();
    m_nAccPrice = ADoc.AccPrice();
    m_nOverdueCost = ADoc.OverdueCost();
    m_nDayCost = ADoc.DayCost();
    m_fAutoPrintRep = ADoc.AutoPrintRep();
    m_sPrinter = ADoc.Printer();
    m_nCardRegMin = ADoc.CardRegMin();
    m_aKorvelOutputs = ADoc.KorvelOutputs();
    m_fKorvelWiegand = ADoc.KorvelWiegand();
    m_nCamSource = ADoc.CamSource();
    m_sWebCamera = ADoc.WebCamera();
    m_nWebcamMode = ADoc.WebcamMode();
    m_nWebcamNumShots = ADoc.WebcamNumShots();
    m_nWebcamInterval = ADoc.WebcamInterval();
    m_nKeepPhotoDays = ADoc.KeepPhotoDays();
    m_sVIServer = ADoc.VIServer();
    m_sVILogin = ADoc.VILogin();
    m_sVIPasswMd5 = ADoc.VIPasswMd5();
    m_sVICamera = ADoc.VICamera();
    m_sVICameraTitle = ADoc.VICameraTitle();
    m_nVITimeOffs = ADoc.VITimeOffs();
    m_nVIStepViewing = ADoc.VIStepViewing();
    m_nVIReqTimeOut = ADoc.VIReqTimeOut();
}

void TSettingsCopy::StoreToDoc(TTarvoDoc& ADoc) const {
    ADoc.BeginUpdate();
    try {
        ADoc.SetLogFileFormat(m_nLogFileFormat);
        ADoc.SetLogFilePeriod(m_nLogFilePeriod);
        ADoc.SetLanguage(m_nLanguage);
        ADoc.SetPopupFontName(m_sFontName);
        ADoc.SetPopupFontSize(m_nFontSize);
        ADoc.SetPopupMax(m_nPopupMax);
        ADoc.SetPopupTimeOut(m_nPopupTimeOut);
        ADoc.SetNDS(m_dNDS);
        ADoc.SetTariffication(m_nTU);
        ADoc.SetEntrance(m_nEntrance);
        ADoc.SetMinAmount(m_nMinAmount);
        ADoc.SetAccPrice(m_nAccPrice);
        ADoc.SetOverdueCost(m_nOverdueCost);
        ADoc.SetDayCost(m_nDayCost);
        ADoc.SetAutoPrintRep(m_fAutoPrintRep);
        ADoc.SetPrinter(m_sPrinter);
        ADoc.SetCardRegMin(m_nCardRegMin);
        ADoc.SetKorvelOutputs(m_aKorvelOutputs);
        ADoc.SetKorvelWiegand(m_fKorvelWiegand);
        ADoc.SetCamSource(m_nCamSource);
        ADoc.SetWebCamera(m_sWebCamera);
        ADoc.SetWebcamMode(m_nWebcamMode);
        ADoc.SetWebcamNumShots(m_nWebcamNumShots);
        ADoc.SetWebcamInterval(m_nWebcamInterval);
        ADoc.SetKeepPhotoDays(m_nKeepPhotoDays);
        ADoc.SetVIServer(m_sVIServer);
        ADoc.SetVILogin(m_sVILogin);
        ADoc.SetVIPasswMd5(m_sVIPasswMd5);
        ADoc.SetVICamera(m_sVICamera);
        ADoc.SetVICameraTitle(m_sVICameraTitle);
        ADoc.SetVITimeOffs(m_nVITimeOffs);
        ADoc.SetVIStepViewing(m_nVIStepViewing);
        ADoc.SetVIReqTimeOut(m_nVIReqTimeOut);
    } catch (...) {
        ADoc.EndUpdate();
        throw;
    }
    ADoc.EndUpdate();
}

std::uint32_t DurationSecToMs(Extended ASeconds) {
    if (!(ASeconds > 0)) // also not-a-number
        return 0;
    const Extended lMs = std::floor(ASeconds * 1000 + Extended(1e-6));
    if (lMs >= Extended(std::numeric_limits<std::uint32_t>::max()))
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(lMs);
}

Extended DurationMsToSec(std::uint32_t AMSecs) {
    return Extended(AMSecs) / 1000;
}

bool KorvelOutputBit(std::uint32_t AMask, int AOutput) {
    return AOutput >= 0 && AOutput < 32 && (AMask >> AOutput) & 1u;
}

std::int32_t FontSizeOfText(const QString& AText) {
    bool lOk = false;
    const int lSize = AText.trimmed().toInt(&lOk);
    return lOk ? lSize : 0;
}

} // namespace Tarvo
