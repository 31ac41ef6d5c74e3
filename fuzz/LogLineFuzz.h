#pragma once
// The log-line readers on any text. Besides never failing, an accepted line has a moment inside the
// calendar and booking times inside the day; the fast moment check of the day rebuild agrees with the
// reader; and an event line written again from what was read reads back to the same content.
//
// Byte 0 picks how the rest becomes text: even as Latin-1 (every byte one character), odd as UTF-8.

#include "frontdesk/uLogLines.h"

#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace Tarvo::LogLineFuzz {

[[noreturn]] inline void Fail(const char* AName, const char* AWhat, const QString& AText) {
    std::fprintf(stderr, "%s: %s for \"%s\"\n", AName, AWhat, AText.left(300).toUtf8().constData());
    std::abort();
}

inline bool InDay(TDateTime ATime) {
    return ATime >= 0 && ATime < 1;
}

using TParseLine = bool (*)(const QString&, TDate, TLogLine&);
using TFormatLine = QString (*)(const TLogLine&, bool, int);

// One fuzz round for the reader and writer of one file format.
inline int FuzzLogLine(const std::uint8_t* AData, std::size_t ASize, const char* AName, int AFormat,
                       TParseLine AParse, TFormatLine AFormatLine) {
    if (ASize == 0 || ASize > 16 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(AData) + 1, qsizetype(ASize - 1));
    const QString text = (AData[0] & 1) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    const TDate repDate = EncodeDate(2020, 3, 5);

    TLogLine line;
    const bool accepted = AParse(text, repDate, line);

    TDateTime fast = 0, moment = 0;
    if ((AData[0] & 1) == 0 && StrictLogLineMoment(bytes.constData(), bytes.size(), AFormat, fast)) {
        if (!LogLineMoment(text, repDate, moment) || !SameDateTimeMs(fast, moment))
            Fail(AName, "fast moment differs from the rewrite's moment", text);
        if (accepted && !SameDateTimeMs(fast, line.m_dtTime))
            Fail(AName, "fast moment differs from the reader's", text);
    }
    if (!accepted)
        return 0;
    // Before 1899-12-30 the time of day counts away from zero, so 0001-01-01 12:00 lies below its date.
    if (!std::isfinite(line.m_dtTime) || line.m_dtTime <= EncodeDate(1, 1, 1) - 1 ||
        line.m_dtTime >= EncodeDate(9999, 12, 31) + 1)
        Fail(AName, "moment outside the calendar", text);
    if (!std::isfinite(double(line.m_nSum)))
        Fail(AName, "amount not finite", text);
    if (!InDay(line.m_Booking.m_dtRFrom) || !InDay(line.m_Booking.m_dtRTo))
        Fail(AName, "booking time outside the day", text);
    if (line.m_fKey && line.m_Number[0] > 15)
        Fail(AName, "key number too long", text);

    // Written again, the event reads back the same (free text must not hold line breaks, which the
    // writer turns into blanks, and an empty name is written as the key number).
    if (line.m_nKind == TLogKind::None || line.m_sName.isEmpty() || text.contains(QLatin1Char('\r')) ||
        text.contains(QLatin1Char('\n')))
        return 0;
    for (bool withDate : {false, true}) {
        const QString again = AFormatLine(line, withDate, -2);
        TLogLine back;
        if (!AParse(again, repDate, back))
            Fail(AName, "written line not read back", again);
        if (back.m_nKind != line.m_nKind || back.m_sName != line.m_sName || back.m_fKey != line.m_fKey ||
            back.m_sComment != line.m_sComment || back.m_Booking.m_fReserv != line.m_Booking.m_fReserv ||
            (withDate && !SameDateTimeMs(back.m_dtTime, line.m_dtTime)))
            Fail(AName, "written line reads back differently", again);
    }
    return 0;
}

} // namespace Tarvo::LogLineFuzz
