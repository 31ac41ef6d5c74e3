#pragma once
// The reader ports the configuration program knows: merged from the reader library's quick and full
// scans, kept current by its device detector, shown in the port combo of tab "Main". Also the rules of
// matching detector messages against the configured port and of a card presented in a reading mode;
// the calls into the library stay with the main window.

#include "base/uKeyNum.h"
#include "config/uTarvoDoc.h"
#include "orvreader/OrvPort.h"
#include "orvreader/OrvReader.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace ConfigTarvo {

// Name of a reader type in the port combo; "Unknown" for types outside the table.
QString ReaderModelName(TOrvR_RD_TYPE AModel);

// One port reported by the library.
struct TRdPort {
    TOrvP_PORT_TYPE m_nPortType = ORVP_PORT_UNDEF;
    QString m_sPort;     // first name of the port record
    QString m_sFriendly; // USB device: the serial-port name it is also reachable under; may be empty
    TOrvR_RD_TYPE m_nRdModel = ORVR_RD_UNDEF;
    std::int32_t m_nRdSn = 0;

    // m_sFriendly for a USB device that has one, else m_sPort.
    QString BaseText() const;
    // BaseText, then four blanks and "<model> s/n <sn>" when a reader is known on the port.
    QString DisplayText() const;
    // The name stored as the document's ReaderPort when this port is chosen by "Find".
    QString StoredName() const { return BaseText(); }
};

// A port record of the library as a TRdPort (names up to their terminator, no reader).
TRdPort PortOfRecord(const TOrvP_PORT_INFO& ARecord);

class TRdPortList {
public:
    int Count() const { return int(m_aPorts.size()); }
    // 0 <= AIdx < Count() (assertion otherwise).
    const TRdPort& GetPort(int AIdx) const;
    const std::vector<TRdPort>& Ports() const { return m_aPorts; }

    // First port of type AType named exactly AName; for ORVP_PORT_COM also a USB port whose second
    // name equals AName ignoring letter case. -1 when none.
    int FindPortIndex(TOrvP_PORT_TYPE AType, const QString& AName) const;
    // First port with a known reader of serial number ASn; -1 when none.
    int FindPortBySn(std::int32_t ASn) const;

    // ---- one scan: BeginScan, MergePort for every record reported, MarkSessionPort, EndScan ----
    // Every port present now starts unseen.
    void BeginScan();
    // Adds or updates the port of ARecord; AReader (may be null) is the reader found on it (nType and
    // rBase.nSn are used). Sets VChanged when anything stored changed.
    void MergePort(const TRdPort& ARecord, const TOrvR_RD_INFO* AReader, bool& VChanged);
    void MergePort(const TOrvP_PORT_INFO& ARecord, const TOrvR_RD_INFO* AReader, bool& VChanged) {
        MergePort(PortOfRecord(ARecord), AReader, VChanged);
    }
    // The port an open session holds does not answer a search: keep it, with the session's reader.
    // This alone is no change.
    void MarkSessionPort(TOrvP_PORT_TYPE AType, const QString& AName, TOrvR_RD_TYPE AModel, std::int32_t ASn);
    // Deletes the ports no record named (those added in this scan stay), sorts by base text (ordinal,
    // COM10 before COM2) when a merge changed something. True when anything changed (the combo must be
    // refilled).
    bool EndScan(bool AMergeChanged);

    // ---- the detector between scans ----
    // A port the detector reports arrived: merged with the reader listed in its record, if any, and
    // the list sorted. True when anything changed.
    bool PortArrived(const TOrvP_PORT_INFO& ARecord);
    // A port the detector reports removed: the port of that type and name leaves the list. True when
    // it was listed.
    bool PortRemoved(const TOrvP_PORT_INFO& ARecord);

private:
    void SortByBaseText();

    std::vector<TRdPort> m_aPorts;
    std::vector<bool> m_aSeen;
};

// ---- the port combo and the stored port -----------------------------------------------------------

// The port name in a combo text: the text up to its first blank ("COM3    Korvel s/n 5" -> "COM3").
QString PortNameOfComboText(const QString& AText);
// A serial-port name as the reader library names the port: "COM" and the number in plain decimal
// ("com03" -> "COM3"); other names unchanged.
QString CanonicalPortText(const QString& AName);

// ---- detector messages ----------------------------------------------------------------------------

// An arrived port holds a reader of serial number ASn (its first device).
bool ArrivedPortHasReaderSn(const TOrvP_PORT_INFO& ARecord, std::int32_t ASn);
// The arrived port is the configured one: same type and exact name, or a USB port whose second name is
// the configured serial port. False for an empty AReaderPort.
bool IsConfiguredPort(const TOrvP_PORT_INFO& ARecord, const QString& AReaderPort);
// The removed port is the one the session holds (type and exact name, or a USB port whose second name
// is the session's serial port).
bool IsSessionPort(const TOrvP_PORT_INFO& ARecord, TOrvP_PORT_TYPE ASessionType, const QString& ASessionPort);

// ---- a card presented at the reader ---------------------------------------------------------------

// The number used for the search: a base station in Wiegand mode reports five bytes of which the upper
// two are 0 for a 3-byte card; the search then uses the three low bytes.
TOrv_KEYNUM KeyForSearch(const TOrv_KEYNUM& ANumber, bool AKorvelReader, bool AKorvelWiegand);

struct TCardReadResult {
    int m_nSelectIdx = -1; // row to select with centring, -1: none
    QString m_sMessage;    // text for the message popup, empty: none
};

// Applies a presented card to ADoc by its CardRdMode (add, find, delete) and tells the window what to
// show. ANumber is the number as reported.
TCardReadResult ApplyPresentedCard(TTarvoDoc& ADoc, const TOrv_KEYNUM& ANumber, bool AKorvelReader);

} // namespace ConfigTarvo
