#include "frontdesk/uDurationText.h"

#include "base/uMessages.h"

#include <cmath>

namespace Tarvo {

TDurationWords TDurationWords::FromCatalogue() {
    return {LoadResString(MSG_UNIT_HOUR), LoadResString(MSG_RCPT_MIN), LoadResString(MSG_UNIT_SEC)};
}

namespace {
QString Part(std::int64_t AValue, const QString& AWord) {
    return QStringLiteral("%1 %2").arg(AValue).arg(AWord);
}
} // namespace

QString DurationText(std::int64_t ASeconds, TTariffication AUnit, const TDurationWords& AWords) {
    const std::int64_t s = ASeconds < 0 ? 0 : ASeconds;
    QString text;
    switch (AUnit) {
    case TARIF_MINUTE: {
        const std::int64_t m = (s + 30) / 60;
        if (m / 60 > 0)
            text += Part(m / 60, AWords.m_sHour) + QStringLiteral(". ");
        text += Part(m % 60, AWords.m_sMin);
        break;
    }
    case TARIF_HOUR: {
        const std::int64_t m = (s + 30) / 60;
        text = Part((m + 30) / 60, AWords.m_sHour);
        break;
    }
    default: {
        const std::int64_t m = s / 60;
        if (m / 60 > 0)
            text += Part(m / 60, AWords.m_sHour) + QStringLiteral(". ");
        if (m % 60 > 0)
            text += Part(m % 60, AWords.m_sMin) + QStringLiteral(". ");
        text += Part(s % 60, AWords.m_sSec);
        break;
    }
    }
    return text;
}

std::int64_t StaySeconds(TDateTime AArrival, TDateTime ADeparture) {
    const double fSec = (ADeparture - AArrival) * 86400.0;
    if (!std::isfinite(fSec) || std::fabs(fSec) > 1e15)
        return 0;
    // Default rounding mode: to nearest, halves to even.
    return static_cast<std::int64_t>(std::nearbyint(fSec));
}

QString DurationText(TDateTime AArrival, TDateTime ADeparture, TTariffication AUnit) {
    return DurationText(StaySeconds(AArrival, ADeparture), AUnit, TDurationWords::FromCatalogue());
}

} // namespace Tarvo
