#include "orvreader/src/kbd/uOrvKeyDecoder.h"

#include "orvreader/src/uOrvCardNumber.h"

namespace Orv {

namespace {

std::uint64_t EventUs(const input_event& AEvent) {
    return std::uint64_t(AEvent.input_event_sec) * 1000000u + std::uint64_t(AEvent.input_event_usec);
}

} // namespace

char KeyChar(unsigned ACode, bool AShift) {
    switch (ACode) {
    case KEY_1:
    case KEY_KP1:
        return '1';
    case KEY_2:
    case KEY_KP2:
        return '2';
    case KEY_3:
    case KEY_KP3:
        return '3';
    case KEY_4:
    case KEY_KP4:
        return '4';
    case KEY_5:
    case KEY_KP5:
        return '5';
    case KEY_6:
    case KEY_KP6:
        return '6';
    case KEY_7:
    case KEY_KP7:
        return '7';
    case KEY_8:
    case KEY_KP8:
        return '8';
    case KEY_9:
    case KEY_KP9:
        return '9';
    case KEY_0:
    case KEY_KP0:
        return '0';
    case KEY_MINUS:
    case KEY_KPMINUS:
        return '-';
    case KEY_COMMA:
    case KEY_KPCOMMA:
        return ',';
    case KEY_SPACE:
        return ' ';
    case KEY_SLASH:
    case KEY_KPSLASH:
        return '/';
    case KEY_SEMICOLON:
        return AShift ? ':' : ';';
    default:
        break;
    }
    // Letters by their key codes, which follow the rows of the keyboard, not the alphabet.
    static const struct {
        unsigned nCode;
        char cLetter;
    } cLetters[] = {{KEY_A, 'a'}, {KEY_B, 'b'}, {KEY_C, 'c'}, {KEY_D, 'd'}, {KEY_E, 'e'}, {KEY_F, 'f'},
                    {KEY_G, 'g'}, {KEY_H, 'h'}, {KEY_I, 'i'}, {KEY_J, 'j'}, {KEY_K, 'k'}, {KEY_L, 'l'},
                    {KEY_M, 'm'}, {KEY_N, 'n'}, {KEY_O, 'o'}, {KEY_P, 'p'}, {KEY_Q, 'q'}, {KEY_R, 'r'},
                    {KEY_S, 's'}, {KEY_T, 't'}, {KEY_U, 'u'}, {KEY_V, 'v'}, {KEY_W, 'w'}, {KEY_X, 'x'},
                    {KEY_Y, 'y'}, {KEY_Z, 'z'}};
    for (const auto& l : cLetters)
        if (l.nCode == ACode)
            return AShift ? char(l.cLetter - 'a' + 'A') : l.cLetter;
    return 0;
}

void TKeyDecoder::Drop() {
    if (m_fStarted)
        ++m_nRejected;
    m_sText.clear();
    m_fStarted = false;
    m_fBad = false;
}

bool TKeyDecoder::Feed(const input_event& AEvent, std::string& VText) {
    if (AEvent.type != EV_KEY)
        return false;
    if (AEvent.code == KEY_LEFTSHIFT || AEvent.code == KEY_RIGHTSHIFT) {
        (AEvent.code == KEY_LEFTSHIFT ? m_fLeftShift : m_fRightShift) = AEvent.value != 0;
        return false;
    }
    if (AEvent.value != 1)
        return false; // releases and auto-repeat
    const std::uint64_t lNow = EventUs(AEvent);
    if (m_fStarted && (lNow < m_nLastUs || lNow - m_nLastUs > m_nGapUs))
        Drop();
    m_nLastUs = lNow;
    if (AEvent.code == KEY_ENTER || AEvent.code == KEY_KPENTER) {
        if (!m_fStarted)
            return false; // an Enter alone is no number
        const bool lBad = m_fBad;
        std::string lText;
        lText.swap(m_sText);
        m_fStarted = false;
        m_fBad = false;
        if (lBad) {
            ++m_nRejected;
            return false;
        }
        VText = std::move(lText);
        return true;
    }
    m_fStarted = true;
    const char c = KeyChar(AEvent.code, m_fLeftShift || m_fRightShift);
    if (c == 0 || m_sText.size() >= cMaxNumberText)
        m_fBad = true;
    else
        m_sText += c;
    return false;
}

} // namespace Orv
