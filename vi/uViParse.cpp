#include "vi/uViParse.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"

#include <QList>
#include <QStringList>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

namespace Vi {

namespace {

QByteArray TrimLeadingBlanks(QByteArray AValue) {
    int i = 0;
    while (i < AValue.size() && (AValue[i] == ' ' || AValue[i] == '\t'))
        ++i;
    return AValue.mid(i);
}

// A positive decimal number; saturates instead of overflowing; 0 when it does not read.
std::int64_t ReadLength(const QByteArray& AValue) {
    QByteArray lText = AValue.trimmed();
    if (lText.isEmpty())
        return 0;
    std::int64_t lResult = 0;
    for (const char c : lText) {
        if (c < '0' || c > '9')
            return 0;
        const int lDigit = c - '0';
        if (lResult > (std::numeric_limits<std::int64_t>::max() - lDigit) / 10)
            return std::numeric_limits<std::int64_t>::max();
        lResult = lResult * 10 + lDigit;
    }
    return lResult;
}

QString Unquote(QString AText) {
    AText = AText.trimmed();
    if (AText.size() >= 2 && AText.front() == QLatin1Char('"') && AText.back() == QLatin1Char('"'))
        AText = AText.mid(1, AText.size() - 2);
    return AText;
}

} // namespace

TAnswerHead ParseAnswerHead(const QByteArray& AHead) {
    TAnswerHead lHead;
    const QList<QByteArray> lLines = AHead.split('\n');
    bool lFirst = true;
    for (QByteArray lLine : lLines) {
        if (lLine.endsWith('\r'))
            lLine.chop(1);
        if (lFirst) {
            lFirst = false;
            const int lBlank1 = lLine.indexOf(' ');
            if (lBlank1 >= 0) {
                int lBlank2 = lLine.indexOf(' ', lBlank1 + 1);
                if (lBlank2 < 0)
                    lBlank2 = lLine.size();
                bool lOk = false;
                const int lStatus = lLine.mid(lBlank1 + 1, lBlank2 - lBlank1 - 1).toInt(&lOk);
                if (lOk)
                    lHead.m_nStatus = lStatus;
            }
            continue;
        }
        const int lColon = lLine.indexOf(':');
        if (lColon <= 0)
            continue;
        const QByteArray lName = lLine.left(lColon).trimmed().toLower();
        const QByteArray lValue = TrimLeadingBlanks(lLine.mid(lColon + 1));
        if (lName == "set-cookie") {
            if (!lHead.m_fHasSetCookie) {
                lHead.m_fHasSetCookie = true;
                lHead.m_sSetCookie = lValue;
            }
        } else if (lName == "content-length") {
            lHead.m_nContentLength = ReadLength(lValue);
            lHead.m_fHasContentLength = lHead.m_nContentLength > 0 || lValue.trimmed() == "0";
        } else if (lName == "content-type")
            lHead.m_sContentType = lValue;
        else if (lName == "connection")
            lHead.m_sConnection = lValue;
        else if (lName == "location")
            lHead.m_sLocation = lValue;
    }
    return lHead;
}

bool ParseSetCookie(const QByteArray& AValue, TSetCookie& VCookie) {
    VCookie = TSetCookie();
    const QStringList lFields = FromAnsi(AValue).split(QLatin1Char(';'));
    bool lFirst = true;
    for (const QString& lRaw : lFields) {
        const QString lField = Unquote(lRaw);
        const int lEq = lField.indexOf(QLatin1Char('='));
        const QString lName = Unquote(lEq < 0 ? lField : lField.left(lEq));
        const QString lValue = lEq < 0 ? QString() : Unquote(lField.mid(lEq + 1));
        if (lFirst) {
            lFirst = false;
            if (lName.isEmpty())
                return false;
            VCookie.m_sName = lName;
            VCookie.m_sValue = lValue;
        } else if (lName.compare(QLatin1String("path"), Qt::CaseInsensitive) == 0) {
            VCookie.m_fHasPath = true;
            VCookie.m_sPath = lValue;
        }
    }
    return !lFirst;
}

QString DefaultCookiePath(const QString& APathQuery) {
    const int lSlash = APathQuery.lastIndexOf(QLatin1Char('/'));
    return lSlash < 0 ? QString() : APathQuery.left(lSlash + 1);
}

void TCookieJar::Apply(const QByteArray& ASetCookie, const QString& APathQuery) {
    TSetCookie lCookie;
    if (!ParseSetCookie(ASetCookie, lCookie))
        return;
    Set(lCookie.m_fHasPath ? lCookie.m_sPath : DefaultCookiePath(APathQuery), lCookie.m_sName,
        lCookie.m_sValue);
}

void TCookieJar::Set(const QString& APath, const QString& AName, const QString& AValue) {
    for (auto it = m_aItems.begin(); it != m_aItems.end(); ++it) {
        if (it->first == APath && it->second.m_sName == AName) {
            if (AValue.isEmpty())
                m_aItems.erase(it);
            else
                it->second.m_sValue = AValue;
            return;
        }
    }
    if (AValue.isEmpty())
        return;
    // Sorted by path; a new entry goes after those of the same path.
    const auto lPos = std::upper_bound(m_aItems.begin(), m_aItems.end(), APath,
                                       [](const QString& P, const auto& E) { return P < E.first; });
    m_aItems.insert(lPos, {APath, TMyCookie{AName, AValue}});
}

bool TCookieJar::HasCookie(const QString& AName) const {
    return std::any_of(m_aItems.begin(), m_aItems.end(),
                       [&](const auto& E) { return E.second.m_sName == AName; });
}

QString TCookieJar::HeaderFor(const QString& APathQuery) const {
    // A later cookie of the same name overrides an earlier one; the order of first appearance stays.
    std::vector<std::pair<QString, QString>> lPairs;
    for (const auto& lItem : m_aItems) {
        if (!APathQuery.startsWith(lItem.first))
            continue;
        auto lOld = std::find_if(lPairs.begin(), lPairs.end(),
                                 [&](const auto& P) { return P.first == lItem.second.m_sName; });
        if (lOld != lPairs.end())
            lOld->second = lItem.second.m_sValue;
        else
            lPairs.emplace_back(lItem.second.m_sName, lItem.second.m_sValue);
    }
    QString lHeader;
    for (const auto& lPair : lPairs)
        lHeader += lPair.first + QLatin1Char('=') + lPair.second + QLatin1String("; ");
    return lHeader;
}

QByteArray PercentDecode(const QByteArray& AText) {
    QByteArray lOut;
    lOut.reserve(AText.size());
    for (int i = 0; i < AText.size(); ++i) {
        const char c = AText[i];
        if (c == '+')
            lOut += ' ';
        else if (c == '%' && i + 2 < AText.size() && HexDigit(AText[i + 1]) >= 0 &&
                 HexDigit(AText[i + 2]) >= 0) {
            lOut += static_cast<char>(HexDigit(AText[i + 1]) * 16 + HexDigit(AText[i + 2]));
            i += 2;
        } else
            lOut += c;
    }
    return lOut;
}

QString PercentDecodeAnsi(const QString& AText) {
    return FromAnsi(PercentDecode(ToAnsi(AText)));
}

bool SplitServerAddress(const QString& AAddress, TServerAddress& VAddress) {
    VAddress = TServerAddress();
    QString lRest = AAddress.trimmed();
    const int lScheme = lRest.indexOf(QLatin1String("://"));
    if (lScheme >= 0)
        lRest = lRest.mid(lScheme + 3);
    int lEnd = 0;
    while (lEnd < lRest.size() && lRest[lEnd] != QLatin1Char('/') && lRest[lEnd] != QLatin1Char('?'))
        ++lEnd;
    QString lHostPort = lRest.left(lEnd);
    QString lPathQuery = lRest.mid(lEnd);
    const int lAt = lHostPort.lastIndexOf(QLatin1Char('@'));
    if (lAt >= 0)
        lHostPort = lHostPort.mid(lAt + 1);
    const int lColon = lHostPort.lastIndexOf(QLatin1Char(':'));
    if (lColon >= 0) {
        bool lOk = false;
        const int lPort = lHostPort.mid(lColon + 1).toInt(&lOk);
        if (!lOk || lPort <= 0 || lPort > 65535)
            return false;
        VAddress.m_nPort = lPort;
        lHostPort = lHostPort.left(lColon);
    }
    VAddress.m_sHost = FromAnsi(PercentDecode(ToAnsi(lHostPort).replace('+', "%2B")));
    if (VAddress.m_sHost.isEmpty())
        return false;
    if (lPathQuery.isEmpty() || lPathQuery.front() != QLatin1Char('/'))
        lPathQuery.prepend(QLatin1Char('/'));
    VAddress.m_sPathQuery = lPathQuery;
    return true;
}

QString DeviceArg(const QString& ADeviceId) {
    QString lText = ADeviceId;
    return lText.replace(QLatin1Char(' '), QLatin1Char('+'));
}

namespace {

using TJson = nlohmann::json;

// Depth of the deepest value the tree needs: root, children, servers, children, server, children,
// camera, attr, the strings in it.
constexpr int MaxTreeDepth = 16;
constexpr int MaxTreeValues = 1'000'000;

bool IsKind(const TJson& ANode, const char* AKind) {
    if (!ANode.is_object())
        return false;
    const auto lAttr = ANode.find("attr");
    if (lAttr == ANode.end() || !lAttr->is_object())
        return false;
    const auto lId = lAttr->find("id");
    if (lId == lAttr->end() || !lId->is_string())
        return false;
    return QString::fromStdString(lId->get<std::string>())
               .compare(QLatin1String(AKind), Qt::CaseInsensitive) == 0;
}

const TJson* Children(const TJson& ANode) {
    const auto lChildren = ANode.find("children");
    if (lChildren == ANode.end() || !lChildren->is_array())
        return nullptr;
    return &*lChildren;
}

QString StringField(const TJson& AObject, const char* AName) {
    if (!AObject.is_object())
        return QString();
    const auto lIt = AObject.find(AName);
    if (lIt == AObject.end() || !lIt->is_string())
        return QString();
    return QString::fromStdString(lIt->get<std::string>());
}

// Counts the parse events of a device tree and follows its nesting; raises Exception past the limits.
class TTreeLimits : public nlohmann::json_sax<TJson> {
public:
    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Open(); }
    bool key(string_t&) override { return Value(); }
    bool end_object() override { return Close(); }
    bool start_array(std::size_t) override { return Open(); }
    bool end_array() override { return Close(); }
    // The second pass, which builds the tree, reports the syntax error; up to it the limits held.
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

private:
    bool Value() {
        if (m_nDepth > MaxTreeDepth)
            throw Exception(QStringLiteral("The device tree of the server is nested too deeply."));
        if (++m_nValues > MaxTreeValues)
            throw Exception(QStringLiteral("The device tree of the server is too large."));
        return true;
    }
    bool Open() {
        Value();
        ++m_nDepth;
        return true;
    }
    bool Close() {
        --m_nDepth;
        return Value();
    }
    int m_nDepth = 0;
    int m_nValues = 0;
};

} // namespace

void ParseDeviceTree(const QByteArray& ABody, TVICameraList& VCameras) {
    VCameras.Clear();
    const std::string lText = FromAnsi(ABody).toStdString();
    TJson lRoot;
    try {
        // The limits are checked in a first pass that builds nothing, so a hostile tree never takes
        // the memory of its values, and the tree is then built without a per-value callback: the
        // library's callback parser looks through the whole enclosing array at the end of each object,
        // which would make a long camera list quadratic.
        TTreeLimits lLimits;
        TJson::sax_parse(lText, &lLimits);
        lRoot = TJson::parse(lText);
    } catch (const TJson::exception& E) {
        throw Exception(QStringLiteral("The device tree of the server could not be read: %1")
                            .arg(QString::fromUtf8(E.what())));
    }
    if (!IsKind(lRoot, "root"))
        return;
    const TJson* lServersList = Children(lRoot);
    if (!lServersList)
        return;
    for (const TJson& lServers : *lServersList) {
        if (!IsKind(lServers, "servers"))
            continue;
        const TJson* lServerList = Children(lServers);
        if (!lServerList)
            continue;
        for (const TJson& lServer : *lServerList) {
            if (!IsKind(lServer, "server"))
                continue;
            const TJson* lCameraList = Children(lServer);
            if (!lCameraList)
                continue;
            for (const TJson& lCamera : *lCameraList) {
                if (!IsKind(lCamera, "camera"))
                    continue;
                if (VCameras.Count() >= MaxCameras) {
                    VCameras.Clear();
                    throw Exception(QStringLiteral("The server lists more than %1 cameras.").arg(MaxCameras));
                }
                auto lItem = std::make_unique<TVICamera>();
                lItem->m_sTitle = PercentDecodeAnsi(StringField(lCamera, "data"));
                QString lLink = StringField(lCamera.at("attr"), "camurl");
                const int lStart = lLink.indexOf(QLatin1String("device={"));
                if (lStart >= 0) {
                    const int lFrom = lStart + 8;
                    const int lClose = lLink.indexOf(QLatin1Char('}'), lFrom);
                    lLink = lClose < 0 ? lLink.mid(lFrom) : lLink.mid(lFrom, lClose - lFrom);
                }
                lItem->m_nLink = lLink;
                VCameras.Add(std::move(lItem));
            }
        }
    }
}

} // namespace Vi
