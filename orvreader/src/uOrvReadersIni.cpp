#include "orvreader/src/uOrvReadersIni.h"

#include "orvreader/OrvBase.h"
#include "orvreader/src/uOrvFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Orv {

namespace {

const char* const cKindNames[] = {"serial", "keyboard", "pcsc"};
const char* const cFramingNames[] = {"lines", "stx-etx", "stx-etx-xor"};
const std::uint32_t cSpeeds[] = {2400, 4800, 9600, 19200, 38400, 57600, 115200};

char Lower(char AChar) {
    return AChar >= 'A' && AChar <= 'Z' ? char(AChar - 'A' + 'a') : AChar;
}

bool SameText(std::string_view A, std::string_view B) {
    return A.size() == B.size() &&
           std::equal(A.begin(), A.end(), B.begin(), [](char a, char b) { return Lower(a) == Lower(b); });
}

std::string_view Trim(std::string_view AText) {
    while (!AText.empty() && (AText.front() == ' ' || AText.front() == '\t'))
        AText.remove_prefix(1);
    while (!AText.empty() && (AText.back() == ' ' || AText.back() == '\t' || AText.back() == '\r'))
        AText.remove_suffix(1);
    return AText;
}

// A value may hold any printable byte (UTF-8 in device names included) but no control character.
bool PrintableValue(std::string_view AText) {
    return AText.size() <= cMaxIniValue && std::none_of(AText.begin(), AText.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
           });
}

bool ParseNumber(std::string_view AText, std::uint32_t AMax, std::uint32_t& VValue) {
    if (AText.empty() || AText.size() > 10)
        return false;
    std::uint64_t v = 0;
    for (char c : AText) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + std::uint64_t(c - '0');
    }
    if (v > AMax)
        return false;
    VValue = std::uint32_t(v);
    return true;
}

bool IsComAlias(std::string_view AAlias) {
    if (AAlias.size() < 4 || !SameText(AAlias.substr(0, 3), "COM"))
        return false;
    return std::all_of(AAlias.begin() + 3, AAlias.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Problem(std::size_t ALine, const std::string& AText) {
    return "readers.ini line " + std::to_string(ALine) + ": " + AText;
}

// Keys of one section as read, before they are checked against the reader's kind.
struct TRawSection {
    std::string sAlias;
    std::size_t nLine = 0;
    bool fBad = false;
    std::vector<std::pair<std::string, std::string>> aKeys;
    std::vector<std::size_t> aLines;
};

void FinishSection(TRawSection& ASection, TReadersConf& VConf) {
    if (ASection.sAlias.empty() || ASection.fBad)
        return;
    TReaderConf r;
    r.sAlias = ASection.sAlias;
    bool lHasKind = false;
    for (std::size_t i = 0; i < ASection.aKeys.size(); ++i) {
        const auto& [key, value] = ASection.aKeys[i];
        if (SameText(key, "kind")) {
            if (!ParseReaderKind(value, r.nKind)) {
                VConf.aProblems.push_back(Problem(ASection.aLines[i], "unknown kind \"" + value + "\""));
                return;
            }
            lHasKind = true;
        }
    }
    if (!lHasKind) {
        VConf.aProblems.push_back(Problem(ASection.nLine, "reader " + r.sAlias + " has no kind"));
        return;
    }
    if (r.nKind == TReaderKind::Keyboard)
        r.nGapMs = cDefaultKeyGapMs;
    for (std::size_t i = 0; i < ASection.aKeys.size(); ++i) {
        const auto& [key, value] = ASection.aKeys[i];
        const std::size_t lLine = ASection.aLines[i];
        bool lOk = true;
        if (SameText(key, "kind"))
            continue;
        if (SameText(key, "device"))
            r.sDevice = value;
        else if (SameText(key, "format"))
            lOk = ParseNumFormat(value, r.nFormat);
        else if (SameText(key, "speed"))
            lOk = ParseNumber(value, 115200, r.nSpeed) && ValidSpeed(r.nSpeed);
        else if (SameText(key, "framing"))
            lOk = ParseFraming(value, r.nFraming);
        else if (SameText(key, "gap"))
            lOk = ParseNumber(value, cMaxGapMs, r.nGapMs) && r.nGapMs > 0;
        else if (r.aExtra.size() < cMaxExtraKeys)
            r.aExtra.emplace_back(key, value);
        else
            VConf.aProblems.push_back(Problem(lLine, "too many settings for " + r.sAlias));
        if (!lOk) {
            // A reader with a wrong setting is left out whole: opened with a default instead, it
            // could read numbers wrongly.
            VConf.aProblems.push_back(Problem(lLine, "bad " + key + " \"" + value + "\" for " + r.sAlias));
            return;
        }
    }
    if (!ValidAlias(r.sAlias, r.nKind)) {
        VConf.aProblems.push_back(Problem(ASection.nLine, "alias " + r.sAlias + " does not suit a " +
                                                              ReaderKindName(r.nKind) + " reader"));
        return;
    }
    if (r.sDevice.empty()) {
        VConf.aProblems.push_back(Problem(ASection.nLine, "reader " + r.sAlias + " names no device"));
        return;
    }
    for (const TReaderConf& o : VConf.aReaders)
        if (o.nKind == r.nKind && o.sDevice == r.sDevice) {
            VConf.aProblems.push_back(
                Problem(ASection.nLine, "device of " + r.sAlias + " is already " + o.sAlias + "'s"));
            return;
        }
    if (VConf.aReaders.size() >= cMaxReaders) {
        VConf.aProblems.push_back(Problem(ASection.nLine, "too many readers"));
        return;
    }
    VConf.aReaders.push_back(std::move(r));
}

// The file's text; a link to a file is followed (dotfile managers make them), a pipe or device is
// refused without blocking, and a file larger than the cap is refused.
std::int32_t ReadConfigFile(const std::string& APath, std::string& VText) {
    TFd h(open(APath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!h.Valid())
        return ErrnoResult(errno);
    struct stat st {};
    if (fstat(h.Get(), &st) != 0)
        return ErrnoResult(errno);
    if (!S_ISREG(st.st_mode))
        return ErrnoResult(EINVAL);
    bool lTooLong = false;
    const std::int32_t r = ReadUpTo(h.Get(), cMaxReadersIni, VText, lTooLong);
    return r == ORV_OK && lTooLong ? ErrnoResult(EFBIG) : r;
}

std::int32_t SyncFolder(const std::string& AFolder) {
    TFd h(open(AFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!h.Valid() || fsync(h.Get()) != 0)
        return ErrnoResult(errno);
    return ORV_OK;
}

} // namespace

const char* ReaderKindName(TReaderKind AKind) {
    return cKindNames[std::clamp(int(AKind), 0, 2)];
}

bool ParseReaderKind(std::string_view AName, TReaderKind& VKind) {
    for (int i = 0; i < 3; ++i)
        if (SameText(AName, cKindNames[i])) {
            VKind = TReaderKind(i);
            return true;
        }
    return false;
}

const char* FramingName(TFraming AFraming) {
    return cFramingNames[std::clamp(int(AFraming), 0, 2)];
}

bool ParseFraming(std::string_view AName, TFraming& VFraming) {
    for (int i = 0; i < 3; ++i)
        if (SameText(AName, cFramingNames[i])) {
            VFraming = TFraming(i);
            return true;
        }
    return false;
}

bool ValidAlias(std::string_view AAlias, TReaderKind AKind) {
    if (AAlias.empty() || AAlias.size() > cMaxAlias)
        return false;
    for (char c : AAlias)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
              c == '-'))
            return false;
    if (AKind == TReaderKind::Serial) {
        // A number the programs can read back: COM and at most nine digits, not zero.
        if (!IsComAlias(AAlias) || AAlias.size() > 12)
            return false;
        return std::any_of(AAlias.begin() + 3, AAlias.end(), [](char c) { return c != '0'; });
    }
    return !IsComAlias(AAlias);
}

bool ValidSpeed(std::uint32_t ASpeed) {
    return std::find(std::begin(cSpeeds), std::end(cSpeeds), ASpeed) != std::end(cSpeeds);
}

const TReaderConf* TReadersConf::Find(std::string_view AAlias) const {
    for (const TReaderConf& r : aReaders)
        if (SameText(r.sAlias, AAlias))
            return &r;
    return nullptr;
}

std::string TReadersConf::FreeAlias(TReaderKind AKind) const {
    const char* lPrefix = AKind == TReaderKind::Serial     ? "COM"
                          : AKind == TReaderKind::Keyboard ? "KBD"
                                                           : "NFC";
    for (unsigned n = AKind == TReaderKind::Serial ? 21 : 1;; ++n) {
        std::string lAlias = lPrefix + std::to_string(n);
        if (!Find(lAlias))
            return lAlias;
    }
}

std::string ReadersIniPath() {
    const char* lConfig = std::getenv("XDG_CONFIG_HOME");
    if (lConfig && lConfig[0] == '/')
        return std::string(lConfig) + "/tarvo/readers.ini";
    const char* lHome = std::getenv("HOME");
    if (lHome && lHome[0] == '/')
        return std::string(lHome) + "/.config/tarvo/readers.ini";
    return "";
}

TReadersConf ParseReadersIni(std::string_view AText) {
    TReadersConf lConf;
    if (AText.size() > cMaxReadersIni) {
        lConf.aProblems.push_back("readers.ini is larger than " + std::to_string(cMaxReadersIni) +
                                  " bytes: no reader read from it");
        return lConf;
    }
    if (AText.size() >= 3 && AText.substr(0, 3) == "\xEF\xBB\xBF")
        AText.remove_prefix(3);
    TRawSection lSection;
    std::size_t lLineNo = 0;
    while (!AText.empty()) {
        std::size_t lEnd = AText.find('\n');
        std::string_view lLine = Trim(AText.substr(0, lEnd));
        AText.remove_prefix(lEnd == std::string_view::npos ? AText.size() : lEnd + 1);
        ++lLineNo;
        if (lLine.empty() || lLine[0] == ';' || lLine[0] == '#')
            continue;
        if (lLine[0] == '[') {
            FinishSection(lSection, lConf);
            lSection = TRawSection{};
            lSection.nLine = lLineNo;
            std::string_view lName = lLine.size() >= 2 && lLine.back() == ']'
                                         ? Trim(lLine.substr(1, lLine.size() - 2))
                                         : std::string_view();
            if (lName.empty() || lName.size() > cMaxAlias || !PrintableValue(lName)) {
                lConf.aProblems.push_back(Problem(lLineNo, "bad section name"));
                lSection.fBad = true;
                // assign(1, ...): GCC 12 at -O3 warns falsely (-Wrestrict) on a one-letter literal.
                lSection.sAlias.assign(1, '?');
                continue;
            }
            if (lConf.Find(lName)) {
                lConf.aProblems.push_back(Problem(lLineNo, "alias " + std::string(lName) + " given twice"));
                lSection.fBad = true;
            }
            lSection.sAlias = std::string(lName);
            continue;
        }
        std::size_t lEq = lLine.find('=');
        if (lEq == std::string_view::npos || lSection.sAlias.empty()) {
            lConf.aProblems.push_back(Problem(lLineNo, "not a setting of a reader"));
            continue;
        }
        std::string_view lKey = Trim(lLine.substr(0, lEq)), lValue = Trim(lLine.substr(lEq + 1));
        if (lKey.empty() || !PrintableValue(lKey) || !PrintableValue(lValue) ||
            lKey.find_first_of("[];#") != std::string_view::npos) {
            lConf.aProblems.push_back(Problem(lLineNo, "unreadable setting"));
            continue;
        }
        if (lSection.aKeys.size() >= 64) {
            lConf.aProblems.push_back(Problem(lLineNo, "too many settings"));
            continue;
        }
        lSection.aKeys.emplace_back(std::string(lKey), std::string(lValue));
        lSection.aLines.push_back(lLineNo);
    }
    FinishSection(lSection, lConf);
    return lConf;
}

std::int32_t LoadReadersIni(const std::string& APath, TReadersConf& VConf, bool* VExists) {
    VConf = TReadersConf{};
    if (VExists)
        *VExists = false;
    if (APath.empty())
        return ORV_OK;
    std::string lText;
    std::int32_t r = ReadConfigFile(APath, lText);
    if (r == ORV_FROM_ERRNO(ENOENT) || r == ORV_FROM_ERRNO(ENOTDIR))
        return ORV_OK;
    if (VExists)
        *VExists = true;
    if (r != ORV_OK) {
        VConf.aProblems.push_back("readers.ini cannot be read (" + std::to_string(r) + ")");
        return r;
    }
    VConf = ParseReadersIni(lText);
    return ORV_OK;
}

std::string FormatReadersIni(const TReadersConf& AConf) {
    std::string lText = "; Card readers of this computer, kept by ConfigTarvo's \"Reader devices...\".\n";
    for (const TReaderConf& r : AConf.aReaders) {
        lText += "\n[" + r.sAlias + "]\nkind=" + ReaderKindName(r.nKind) + "\ndevice=" + r.sDevice +
                 "\nformat=" + NumFormatName(r.nFormat) + "\n";
        // Every setting a reader has is written, those its kind does not use too when they were
        // given, so a file read and written again keeps what it said.
        if (r.nKind == TReaderKind::Serial || r.nSpeed != cDefaultSpeed || r.nFraming != TFraming::Lines)
            lText += "speed=" + std::to_string(r.nSpeed) + "\nframing=" + FramingName(r.nFraming) + "\n";
        lText += "gap=" + std::to_string(r.nGapMs) + "\n";
        for (const auto& [key, value] : r.aExtra)
            lText += key + "=" + value + "\n";
    }
    return lText;
}

std::int32_t SaveReadersIni(const std::string& APath, const TReadersConf& AConf) {
    if (APath.empty() || APath.find('/') == std::string::npos || AConf.aReaders.size() > cMaxReaders)
        return ORV_E_INVALID_ARG;
    for (std::size_t i = 0; i < AConf.aReaders.size(); ++i) {
        const TReaderConf& r = AConf.aReaders[i];
        if (!ValidAlias(r.sAlias, r.nKind) || r.sDevice.empty() || !PrintableValue(r.sDevice) ||
            (r.nKind == TReaderKind::Serial && !ValidSpeed(r.nSpeed)) || r.nGapMs == 0 ||
            r.nGapMs > cMaxGapMs)
            return ORV_E_INVALID_ARG;
        if (r.aExtra.size() > cMaxExtraKeys)
            return ORV_E_INVALID_ARG;
        for (const auto& [key, value] : r.aExtra)
            if (key.empty() || !PrintableValue(key) || !PrintableValue(value) ||
                key.find_first_of("[];#=") != std::string::npos || key.front() == ' ' || key.back() == ' ')
                return ORV_E_INVALID_ARG;
        for (std::size_t j = 0; j < i; ++j)
            if (SameText(AConf.aReaders[j].sAlias, r.sAlias))
                return ORV_E_INVALID_ARG;
    }
    const std::string lText = FormatReadersIni(AConf);
    if (lText.size() > cMaxReadersIni)
        return ORV_E_INVALID_ARG;
    const std::string lFolder = APath.substr(0, APath.rfind('/'));
    std::int32_t r = lFolder.empty() ? ORV_OK : MakeFolders(lFolder);
    if (r != ORV_OK)
        return r;
    std::string lTemp = APath + ".XXXXXX";
    TFd h(mkostemp(lTemp.data(), O_CLOEXEC));
    if (!h.Valid())
        return ErrnoResult(errno);
    fchmod(h.Get(), 0600);
    std::size_t lDone = 0;
    while (lDone < lText.size()) {
        ssize_t n = write(h.Get(), lText.data() + lDone, lText.size() - lDone);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            r = ErrnoResult(n < 0 ? errno : ENOSPC);
            break;
        }
        lDone += std::size_t(n);
    }
    if (r == ORV_OK && fsync(h.Get()) != 0)
        r = ErrnoResult(errno);
    if (close(h.Release()) != 0 && r == ORV_OK)
        r = ErrnoResult(errno);
    if (r == ORV_OK && rename(lTemp.c_str(), APath.c_str()) != 0)
        r = ErrnoResult(errno);
    if (r != ORV_OK) {
        unlink(lTemp.c_str());
        return r;
    }
    return lFolder.empty() ? ORV_OK : SyncFolder(lFolder);
}

std::int32_t StableSerial(std::string_view ADeviceSerial, std::string_view AIdentity) {
    std::uint32_t lValue = 0;
    std::string_view s = Trim(ADeviceSerial);
    if (ParseNumber(s, 0x7FFFFFFF, lValue) && lValue > 0)
        return std::int32_t(lValue);
    if (s.size() > 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        // A long numeric serial: its last nine digits, which tell devices of one batch apart.
        if (ParseNumber(s.substr(s.size() - 9), 0x7FFFFFFF, lValue) && lValue > 0)
            return std::int32_t(lValue);
    }
    // FNV-1a over the identity: the same device gives the same number on every computer and start.
    std::uint32_t lHash = 2166136261u;
    for (char c : AIdentity) {
        lHash ^= static_cast<unsigned char>(c);
        lHash *= 16777619u;
    }
    lHash &= 0x7FFFFFFFu;
    return std::int32_t(lHash == 0 ? 1 : lHash);
}

} // namespace Orv
