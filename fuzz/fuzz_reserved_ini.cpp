// "Reserved.ini" from any bytes: reading never fails, a rewrite reads back to the same file, edits of
// any key hold, and every entry value that reads as a booking is written in a form that reads the same.

#include "frontdesk/uTarvoDoc.h"

#include "base/uCodePage.h"
#include "base/uKeyNum.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace Tarvo;

namespace {

[[noreturn]] void Fail(const char* AWhat) {
    std::fprintf(stderr, "fuzz_reserved_ini: %s\n", AWhat);
    std::abort();
}

bool IsTimeOfDay(TDateTime ATime) {
    return ATime >= 0 && ATime < 1;
}

void CheckValue(const QString& AValue) {
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    if (!TTarvoDoc::ReadBookingValue(AValue, lFrom, lTo, lAllDay)) {
        if (lFrom != 0 || lTo != 0 || lAllDay)
            Fail("a value that does not read leaves a booking behind");
        return;
    }
    if (!IsTimeOfDay(lFrom) || !IsTimeOfDay(lTo))
        Fail("a booking time is no time of day");
    const QString lWritten = TTarvoDoc::FormatBookingValue(lFrom, lTo, lAllDay);
    TDateTime lFrom2 = 0, lTo2 = 0;
    bool lAllDay2 = false;
    if (!TTarvoDoc::ReadBookingValue(lWritten, lFrom2, lTo2, lAllDay2) || lFrom2 != lFrom || lTo2 != lTo ||
        lAllDay2 != lAllDay)
        Fail("a booking written does not read back the same");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    const QByteArray lBytes = QByteArray::fromRawData(reinterpret_cast<const char*>(AData), qsizetype(ASize));
    SetCodePageOverride(QStringLiteral("CP1251"));

    TTarvoDoc::TBookingsIni lIni;
    lIni.SetBytes(lBytes);
    const auto lEntries = lIni.CardEntries();
    for (const auto& [lKey, lValue] : lEntries) {
        // The start-up matches guests by the key text of their card: a key read must give it back.
        TOrv_KEYNUM lNumber{}, lAgain{};
        if (HexToKeyNum(lKey, lNumber) &&
            (!HexToKeyNum(KeyNumToStr(lNumber, KEYVIEW_HEX), lAgain) || lAgain != lNumber))
            Fail("a key number does not survive its key text");
        CheckValue(lValue);
    }
    if (!lEntries.empty() && lIni.ReadCard(lEntries.front().first) != lEntries.front().second)
        Fail("the first entry is not found by its key");
    // The value reader also sees the bytes as one value.
    CheckValue(QString::fromLatin1(lBytes.left(256)));

    // A rewrite is stable: what is written reads back to the same bytes.
    const QByteArray lOnce = lIni.GetBytes();
    TTarvoDoc::TBookingsIni lAgain;
    lAgain.SetBytes(lOnce);
    if (lAgain.GetBytes() != lOnce)
        Fail("a rewritten file does not read back the same");

    // An entry written under any key read is found, a deleted one is gone for good.
    const QString lKey = lEntries.empty() ? QStringLiteral("0A") : lEntries.back().first;
    const QString lValue = QStringLiteral("10:00-11:00 D");
    lAgain.WriteCard(lKey, lValue);
    if (lAgain.ReadCard(lKey) != lValue)
        Fail("a written entry is not found");
    lAgain.DeleteCard(lKey);
    if (!lAgain.ReadCard(lKey).isEmpty())
        Fail("a deleted entry is still found");
    TTarvoDoc::TBookingsIni lThird;
    lThird.SetBytes(lAgain.GetBytes());
    if (!lThird.ReadCard(lKey).isEmpty())
        Fail("a deleted entry comes back from the file");
    return 0;
}
