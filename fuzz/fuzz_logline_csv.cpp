// The CSV log-line reader on any text. Besides never failing, an accepted line has a moment inside the
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

using namespace Tarvo;

namespace {

[[noreturn]] void Fail(const char* AWhat, const QString& AText) {
    std::fprintf(stderr, "fuzz_logline_csv: %s for \"%s\"\n", AWhat, AText.left(300).toUtf8().constData());
    std::abort();
}

bool InDay(TDateTime ATime) {
    return ATime >= 0 && ATime < 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    if (ASize == 0 || ASize > 16 * 1024)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(AData) + 1, qsizetype(ASize - 1));
    const QString text = (AData[0] & 1) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    const TDate repDate = EncodeDate(2020, 3, 5);

    TLogLine line;
    const bool accepted = ParseLogLineCsv(text, repDate, line);

    TDateTime fast = 0, moment = 0;
    if ((AData[0] & 1) == 0 && StrictLogLineMoment(bytes.constData(), bytes.size(), LOG_FORMAT_CSV, fast)) {
        if (!LogLineMoment(text, repDate, moment) || !SameDateTimeMs(fast, moment))
            Fail("fast moment differs from the rewrite's moment", text);
        if (accepted && !SameDateTimeMs(fast, line.m_dtTime))
            Fail("fast moment differs from the reader's", text);
    }
    if (!accepted)
        return 0;
    if (!std::isfinite(line.m_dtTime) || line.m_dtTime < EncodeDate(1, 1, 1) ||
        line.m_dtTime >= EncodeDate(9999, 12, 31) + 1)
        Fail("moment outside the calendar", text);
    if (!std::isfinite(double(line.m_nSum)))
        Fail("amount not finite", text);
    if (!InDay(line.m_Booking.m_dtRFrom) || !InDay(line.m_Booking.m_dtRTo))
        Fail("booking time outside the day", text);
    if (line.m_fKey && line.m_Number[0] > 15)
        Fail("key number too long", text);

    // Written again, the event reads back the same (free text must not hold line breaks, which the
    // writer turns into blanks, and an empty name is written as the key number).
    if (line.m_nKind == TLogKind::None || line.m_sName.isEmpty() || text.contains(QLatin1Char('\r')) ||
        text.contains(QLatin1Char('\n')))
        return 0;
    for (bool withDate : {false, true}) {
        const QString again = FormatLogLineCsv(line, withDate, -2);
        TLogLine back;
        if (!ParseLogLineCsv(again, repDate, back))
            Fail("written line not read back", again);
        if (back.m_nKind != line.m_nKind || back.m_sName != line.m_sName || back.m_fKey != line.m_fKey ||
            back.m_sComment != line.m_sComment || back.m_Booking.m_fReserv != line.m_Booking.m_fReserv ||
            (withDate && !SameDateTimeMs(back.m_dtTime, line.m_dtTime)))
            Fail("written line reads back differently", again);
    }
    return 0;
}
