#pragma once
// The settings dialog's private copy of the front desk's settings: taken from the document when the
// dialog opens, edited by its pages, and written back in one document update on OK.

#include "base/uDateTime.h"
#include "frontdesk/uTarvoRecords.h"

#include <QString>

#include <cstdint>

namespace Tarvo {

class TTarvoDoc;

class TSettingsCopy {
public:
    // Every field from the document's setting of the same meaning (the autorun flag is not a document
    // setting and stays as it is).
    void LoadFromDoc(const TTarvoDoc& ADoc);
    // Sets every document setting from the copy inside one update, so listeners see one OnChange with
    // the union of the change bits. Setters with an unchanged value change nothing, so writing back an
    // untouched copy leaves the document unmodified.
    void StoreToDoc(TTarvoDoc& ADoc) const;

    std::uint32_t m_nLanguage = 0;
    QString m_sFontName;
    std::int32_t m_nFontSize = 0;
    std::int32_t m_nPopupMax = 0;
    std::uint32_t m_nPopupTimeOut = 0;
    Extended m_dNDS = 0;
    bool m_fAutorun = false;
    std::int32_t m_nLogFileFormat = 0;
    std::int32_t m_nLogFilePeriod = 0;
    TTariffication m_nTU = TARIF_MINUTE;
    Extended m_nEntrance = 0;
    Extended m_nMinAmount = 0;
    std::int32_t m_nAccPrice = 0;
    Extended m_nOverdueCost = 0;
    Extended m_nDayCost = 0;
    bool m_fAutoPrintRep = false;
    QString m_sPrinter;
    std::uint32_t m_nCardRegMin = 0;
    TKorvelOutputsArray m_aKorvelOutputs{};
    bool m_fKorvelWiegand = false;
    std::int32_t m_nCamSource = 0;
    QString m_sWebCamera;
    std::int32_t m_nWebcamMode = -1;
    std::int32_t m_nWebcamNumShots = 0;
    std::uint32_t m_nWebcamInterval = 0;
    std::int32_t m_nKeepPhotoDays = 0;
    QString m_sVIServer;
    QString m_sVILogin;
    QString m_sVIPasswMd5;
    QString m_sVICamera;
    QString m_sVICameraTitle;
    std::int32_t m_nVITimeOffs = 0;
    std::int32_t m_nVIStepViewing = 0;
    std::uint32_t m_nVIReqTimeOut = 0;
};

// A pulse duration typed in seconds as whole milliseconds, truncated. The seconds come from decimal
// text, so 8.03 is held as 8.0299999...: a tolerance far below one millisecond keeps such values from
// losing a millisecond. Negative and not-a-number give 0; the result is capped at the 32-bit maximum.
std::uint32_t DurationSecToMs(Extended ASeconds);
// Milliseconds shown in seconds.
Extended DurationMsToSec(std::uint32_t AMSecs);

// Output i's bit of the outputs or idle mask (i = 0..3: LED G, LED R, beeper, power).
bool KorvelOutputBit(std::uint32_t AMask, int AOutput);

// The integer of a font size text ("12"; blanks around allowed); 0 when the text is not a number.
std::int32_t FontSizeOfText(const QString& AText);

} // namespace Tarvo
