// "Reserved.ini" from any bytes: reading never fails, a rewrite reads back to the same file, edits of
// any key hold, and every entry value that reads as a booking is written in a form that reads the same.
// The start-up's reading (LoadBookings, with three guests inside) gives each guest the booking of the
// first entry under its card's key, keeps only such entries in the file, and reads that file the same.

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uCodePage.h"
#include "base/uKeyNum.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

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

// Cards 0A, 0B and 0A0C inside (keys short enough for the fuzzer to find), card 0D registered and out.
TTarvoDoc& DeskWithGuests() {
    static QTemporaryDir* sDir = new QTemporaryDir();
    static TTarvoDoc* sDoc = [] {
        QFile lFile(sDir->filePath(QStringLiteral("Tarvo.xml")));
        if (!lFile.open(QIODevice::WriteOnly))
            Fail("no data file");
        lFile.write("<Tarvo version=\"1.2\"><Cards><Item1 number=\"0A\" name=\"A\"/><Item2 number=\"0B\" "
                    "name=\"B\"/><Item3 number=\"0A0C\" name=\"C\"/><Item4 number=\"0D\" name=\"D\"/>"
                    "</Cards></Tarvo>");
        lFile.close();
        SetNowFunc([] { return EncodeDate(2024, 3, 12) + EncodeTime(9, 0, 0, 0); });
        auto* lDoc = new TTarvoDoc();
        lDoc->SetFileName(sDir->filePath(QStringLiteral("Tarvo.xml")));
        lDoc->Open();
        for (const char* lKey : {"0A", "0B", "0A0C"}) {
            TOrv_KEYNUM lNumber{};
            HexToKeyNum(QString::fromLatin1(lKey), lNumber);
            lDoc->FireCard(lNumber);
        }
        if (lDoc->InUsers().Count() != 3)
            Fail("the guests did not check in");
        return lDoc;
    }();
    return *sDoc;
}

struct TBooking {
    bool m_fReserv = false;
    TDateTime m_dtFrom = 0, m_dtTo = 0;
    bool m_fAllDay = false;
    bool operator==(const TBooking&) const = default;
};

TBooking BookingOf(const TInUser& AUser) {
    return {AUser.m_fReserv, AUser.m_dtRFrom, AUser.m_dtRTo, AUser.m_fRAllDay};
}

void CheckLoadBookings(const QByteArray& ABytes, const TTarvoDoc::TBookingsIni& AIni) {
    TTarvoDoc& lDoc = DeskWithGuests();
    {
        QFile lFile(lDoc.GetBookingsPath());
        if (!lFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fail("cannot write the bookings file");
        lFile.write(ABytes);
    }
    lDoc.LoadBookings();
    TBooking lFirst[3];
    for (int i = 0; i < lDoc.InUsers().Count(); ++i) {
        const TInUser& lUser = *lDoc.InUsers().Get(i);
        TBooking lExpected;
        lExpected.m_fReserv =
            TTarvoDoc::ReadBookingValue(AIni.ReadCard(KeyNumToStr(lUser.m_pCard->m_Number, KEYVIEW_HEX)),
                                        lExpected.m_dtFrom, lExpected.m_dtTo, lExpected.m_fAllDay);
        lFirst[i] = BookingOf(lUser);
        if (!(lFirst[i] == lExpected))
            Fail("a guest does not get the booking of the first entry under the card's key");
    }
    // What is left in the file belongs to the guests inside and gives them the same bookings.
    TTarvoDoc::TBookingsIni lLeft;
    if (!lLeft.LoadFromFile(lDoc.GetBookingsPath(), nullptr))
        Fail("the cleaned file cannot be read");
    for (const auto& [lKey, lValue] : lLeft.CardEntries()) {
        TOrv_KEYNUM lNumber{};
        if (!HexToKeyNum(lKey, lNumber) || lDoc.FindInUserByKeyNum(lNumber) < 0 ||
            KeyNumToStr(lDoc.InUsers().Get(lDoc.FindInUserByKeyNum(lNumber))->m_pCard->m_Number, KEYVIEW_HEX)
                    .compare(lKey, Qt::CaseInsensitive) != 0)
            Fail("an entry of nobody inside is left in the file");
    }
    lDoc.LoadBookings();
    for (int i = 0; i < lDoc.InUsers().Count(); ++i)
        if (!(BookingOf(*lDoc.InUsers().Get(i)) == lFirst[i]))
            Fail("the cleaned file gives other bookings");
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
    CheckLoadBookings(lBytes, lIni);
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
