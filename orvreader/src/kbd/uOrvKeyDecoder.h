#pragma once
// What a keyboard-style reader types, decoded by key code: the desktop's layout does not matter, so
// a reader gives the same digits on a German or French desk as on a US one. Shift is ignored for
// digits (readers set up for layouts with shifted digits send Shift + 1 for "1") and gives capitals
// for letters; keypad digits are digits. A number ends at Enter (or keypad Enter). A pause between
// two key presses longer than the reader's gap drops the partial number (a person typing is not a
// card), and so does a key that has no character in card numbers, or a number longer than
// cMaxNumberText. The times are the events' own, so a recorded stream replays exactly.

#include <linux/input.h>

#include <cstdint>
#include <string>

namespace Orv {

class TKeyDecoder {
public:
    explicit TKeyDecoder(std::uint32_t AGapMs) : m_nGapUs(std::uint64_t(AGapMs) * 1000) {}

    // Takes one event; true with the text of a number that Enter ended.
    bool Feed(const input_event& AEvent, std::string& VText);
    // Numbers dropped so far.
    std::uint64_t Rejected() const { return m_nRejected; }
    void CountRejected() { ++m_nRejected; }

private:
    void Drop();

    std::uint64_t m_nGapUs;
    std::string m_sText;
    bool m_fStarted = false, m_fBad = false;
    bool m_fLeftShift = false, m_fRightShift = false;
    std::uint64_t m_nLastUs = 0;
    std::uint64_t m_nRejected = 0;
};

// The character of a key code in card numbers (0 for none); AShift gives capitals.
char KeyChar(unsigned ACode, bool AShift);

} // namespace Orv
