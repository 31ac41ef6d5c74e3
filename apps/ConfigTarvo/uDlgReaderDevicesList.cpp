#include "apps/ConfigTarvo/uDlgReaderDevicesList.h"

#include "orvreader/src/pcsc/uOrvPcscCard.h"

#include <PCSC/winscard.h>

#include <QDir>

#include <algorithm>
#include <cstring>
#include <string>

namespace ConfigTarvo {

namespace {

void AddPcscReaders(std::vector<TReaderDevice>& VDevices) {
    SCARDCONTEXT h = 0;
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &h) != SCARD_S_SUCCESS)
        return;
    DWORD n = 0;
    std::vector<std::string> lNames;
    if (SCardListReaders(h, nullptr, nullptr, &n) == SCARD_S_SUCCESS && n > 0) {
        std::vector<char> lBuf(n + 1, 0);
        if (SCardListReaders(h, nullptr, lBuf.data(), &n) == SCARD_S_SUCCESS)
            for (const char* p = lBuf.data(); p < lBuf.data() + n && *p; p += std::strlen(p) + 1)
                lNames.emplace_back(p);
    }
    SCardReleaseContext(h);
    const QByteArray lVirtual = qgetenv("ORV_PCSC_VIRTUAL");
    std::vector<std::string> lUsed;
    for (const std::string& s : lNames)
        if (!Orv::PcscIgnoredReader(s, lVirtual == "1"))
            lUsed.push_back(s);
    for (const std::string& lId : Orv::PcscIdentities(lUsed))
        VDevices.push_back({TDeviceKind::Pcsc, QString::fromStdString(lId)});
}

void AddEntries(std::vector<TReaderDevice>& VDevices, TDeviceKind AKind, const QString& AFolder,
                const QStringList& AFilters) {
    const QDir lDir(AFolder);
    for (const QString& n : lDir.entryList(AFilters, QDir::Files | QDir::System, QDir::Name))
        VDevices.push_back({AKind, lDir.filePath(n)});
}

} // namespace

std::vector<TReaderDevice> FindReaderDevices(const QString& ADevRoot) {
    std::vector<TReaderDevice> lDevices;
    AddPcscReaders(lDevices);
    AddEntries(lDevices, TDeviceKind::Keyboard, ADevRoot + QStringLiteral("/input/by-id"),
               {QStringLiteral("*-event-kbd")});
    AddEntries(lDevices, TDeviceKind::Serial, ADevRoot + QStringLiteral("/serial/by-id"),
               {QStringLiteral("*")});
    AddEntries(lDevices, TDeviceKind::Serial, ADevRoot,
               {QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")});
    return lDevices;
}

Orv::TReaderConf* FindDeviceReader(Orv::TReadersConf& AConf, TDeviceKind AKind, const QString& ADevice) {
    const std::string lDevice = ADevice.toStdString();
    for (Orv::TReaderConf& r : AConf.aReaders)
        if (r.nKind == AKind && r.sDevice == lDevice)
            return &r;
    return nullptr;
}

Orv::TReaderConf& AddDeviceReader(Orv::TReadersConf& AConf, const TReaderDevice& ADevice) {
    Orv::TReaderConf r;
    r.sAlias = AConf.FreeAlias(ADevice.nKind);
    r.nKind = ADevice.nKind;
    r.sDevice = ADevice.sDevice.toStdString();
    r.nGapMs = ADevice.nKind == TDeviceKind::Keyboard ? Orv::cDefaultKeyGapMs : Orv::cDefaultSerialGapMs;
    AConf.aReaders.push_back(std::move(r));
    return AConf.aReaders.back();
}

void RemoveReader(Orv::TReadersConf& AConf, const std::string& AAlias) {
    auto& l = AConf.aReaders;
    l.erase(std::remove_if(l.begin(), l.end(), [&](const Orv::TReaderConf& r) { return r.sAlias == AAlias; }),
            l.end());
}

} // namespace ConfigTarvo
