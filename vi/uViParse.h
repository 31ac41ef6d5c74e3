#pragma once
// The pure parts of the video-server client: the answer head, Set-Cookie values, the cookie jar, the
// server address, the device tree and the percent-decoder. No sockets here, so each is tested alone.

#include "vi/uViTypes.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace Vi {

// Limits on what one answer may make the client hold.
inline constexpr int MaxHeadBytes = 64 * 1024;
inline constexpr std::int64_t MaxBodyBytes = 32 * 1024 * 1024;
inline constexpr std::int64_t MaxImagePixels = 50'000'000;
inline constexpr int MaxCameras = 10'000;

// The head of an answer (the bytes before the first empty line).
struct TAnswerHead {
    int m_nStatus = 200;
    bool m_fHasSetCookie = false;
    QByteArray m_sSetCookie; // the first Set-Cookie only
    // Content-Length; 0 when absent or unreadable; a number beyond int64 saturates to INT64_MAX.
    std::int64_t m_nContentLength = 0;
    bool m_fHasContentLength = false; // a readable Content-Length was given
    QByteArray m_sContentType;
    QByteArray m_sConnection;
    QByteArray m_sLocation;
};
TAnswerHead ParseAnswerHead(const QByteArray& AHead);

// One Set-Cookie value: name, value and the path field when one is given.
struct TSetCookie {
    QString m_sName;
    QString m_sValue;
    bool m_fHasPath = false;
    QString m_sPath;
};
// False when the value has no name.
bool ParseSetCookie(const QByteArray& AValue, TSetCookie& VCookie);

// The cookie jar: entries sorted by path (duplicates allowed), each a cookie.
class TCookieJar {
public:
    // Applies a Set-Cookie value received for a request of APathQuery.
    void Apply(const QByteArray& ASetCookie, const QString& APathQuery);
    // Same path and name: new value; empty value: removed; otherwise added.
    void Set(const QString& APath, const QString& AName, const QString& AValue);
    bool HasCookie(const QString& AName) const;
    // "name=value; " for each cookie whose path prefixes APathQuery; empty when none applies.
    QString HeaderFor(const QString& APathQuery) const;
    void Clear() { m_aItems.clear(); }
    int Count() const { return static_cast<int>(m_aItems.size()); }

private:
    std::vector<std::pair<QString, TMyCookie>> m_aItems;
};

// The path and query up to and including its last "/" (the default cookie path).
QString DefaultCookiePath(const QString& APathQuery);

// "%XX" gives the byte XX, "+" a blank, anything else stays.
QByteArray PercentDecode(const QByteArray& AText);
// The same on text: its characters are taken in the 8-bit code page, the bytes read back in it.
QString PercentDecodeAnsi(const QString& AText);

// A server address split into its parts, escape sequences decoded.
struct TServerAddress {
    QString m_sHost;
    int m_nPort = 80;
    QString m_sPathQuery; // "/" when the address has none
};
// False when the address has no host or an unreadable port.
bool SplitServerAddress(const QString& AAddress, TServerAddress& VAddress);

// The cameras of a device tree (the body of getdevtree, in the 8-bit code page). A body beyond the
// limits (too deep, too many values, more than MaxCameras cameras) raises Exception.
void ParseDeviceTree(const QByteArray& ABody, TVICameraList& VCameras);

// "device={id}" argument: blanks become "+".
QString DeviceArg(const QString& ADeviceId);

} // namespace Vi
