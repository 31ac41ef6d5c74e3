#pragma once
// The video-server client's records: cameras, request kinds and states, cookies.

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// One camera of the server.
struct TVICamera {
    QString m_sTitle; // as shown to the user
    QString m_nLink;  // device identifier, the text requests put between "device={" and "}"
};

// Owning list of cameras.
class TVICameraList {
public:
    int Count() const { return static_cast<int>(m_aItems.size()); }
    // AIdx outside 0..Count()-1 raises EListError.
    TVICamera* GetItem(int AIdx) const;
    // Replaces (and frees) the camera at AIdx, which must exist.
    void SetItem(int AIdx, std::unique_ptr<TVICamera> AValue);
    void Add(std::unique_ptr<TVICamera> AValue) { m_aItems.push_back(std::move(AValue)); }
    void Clear() { m_aItems.clear(); }
    // Hands every camera over to AOther (whose previous cameras are freed); this list ends empty.
    void MoveTo(TVICameraList& AOther) {
        AOther.m_aItems = std::move(m_aItems);
        m_aItems.clear();
    }

private:
    std::vector<std::unique_ptr<TVICamera>> m_aItems;
};

enum TVICmdKind { viCameras, viLiveFoto, viArhFoto };
inline constexpr int VI_CMD_KIND_COUNT = 3;

// A set of TVICmdKind.
class TVICmdKinds {
public:
    bool Contains(TVICmdKind AKind) const { return (m_nBits & Bit(AKind)) != 0; }
    void Include(TVICmdKind AKind) { m_nBits |= Bit(AKind); }
    void Exclude(TVICmdKind AKind) { m_nBits &= ~Bit(AKind); }
    bool IsEmpty() const { return m_nBits == 0; }

private:
    static unsigned Bit(TVICmdKind AKind) { return 1u << static_cast<unsigned>(AKind); }
    unsigned m_nBits = 0;
};

enum TVIStatus { viSuccess, viFail, viCancelled, viPending };

// The state of one kind of request.
struct TVICmd {
    TVIStatus m_nStatus = viSuccess;
    QString m_sErrText;      // text of the last failure
    std::uint32_t m_nId = 0; // raised at each start of this kind
};

struct TMyCookie {
    QString m_sName;
    QString m_sValue;
};
