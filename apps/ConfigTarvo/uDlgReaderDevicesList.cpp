#include "apps/ConfigTarvo/uDlgReaderDevicesList.h"

#include "orvreader/src/pcsc/uOrvPcscCard.h"

#include <PCSC/winscard.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <string>

namespace ConfigTarvo {

namespace {

// Longest readers.ini the library reads.
constexpr qint64 c_nMaxFile = 64 * 1024;

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

QString DeviceKindName(TDeviceKind AKind) {
    switch (AKind) {
    case TDeviceKind::Serial:
        return QStringLiteral("serial");
    case TDeviceKind::Keyboard:
        return QStringLiteral("keyboard");
    case TDeviceKind::Pcsc:
        return QStringLiteral("pcsc");
    }
    return QString();
}

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

QString TReaderSection::Value(const QString& AKey) const {
    for (const auto& [k, v] : aValues)
        if (k.compare(AKey, Qt::CaseInsensitive) == 0)
            return v;
    return QString();
}

void TReaderSection::SetValue(const QString& AKey, const QString& AValue) {
    for (auto& [k, v] : aValues)
        if (k.compare(AKey, Qt::CaseInsensitive) == 0) {
            v = AValue;
            return;
        }
    aValues.emplace_back(AKey, AValue);
}

QString TReadersIniFile::DefaultPath() {
    const QString lConfig = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (lConfig.startsWith(QLatin1Char('/')))
        return lConfig + QStringLiteral("/tarvo/readers.ini");
    return QDir::homePath() + QStringLiteral("/.config/tarvo/readers.ini");
}

bool TReadersIniFile::Load(const QString& APath) {
    m_aSections.clear();
    QFile f(APath);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly) || f.size() > c_nMaxFile)
        return false;
    const QStringList lLines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
    TReaderSection* lCurrent = nullptr;
    for (QString lLine : lLines) {
        lLine = lLine.trimmed();
        if (lLine.isEmpty() || lLine.startsWith(QLatin1Char(';')) || lLine.startsWith(QLatin1Char('#')))
            continue;
        if (lLine.startsWith(QLatin1Char('[')) && lLine.endsWith(QLatin1Char(']'))) {
            m_aSections.push_back({lLine.mid(1, lLine.size() - 2).trimmed(), {}});
            lCurrent = &m_aSections.back();
            continue;
        }
        const qsizetype lEq = lLine.indexOf(QLatin1Char('='));
        if (lCurrent && lEq > 0)
            lCurrent->aValues.emplace_back(lLine.left(lEq).trimmed(), lLine.mid(lEq + 1).trimmed());
    }
    return true;
}

bool TReadersIniFile::Save(const QString& APath, QString* VError) const {
    QString lText =
        QStringLiteral("; Card readers of this computer, kept by ConfigTarvo's \"Reader devices...\".\n");
    for (const TReaderSection& s : m_aSections) {
        lText += QStringLiteral("\n[") + s.sAlias + QStringLiteral("]\n");
        for (const auto& [k, v] : s.aValues)
            lText += k + QLatin1Char('=') + v + QLatin1Char('\n');
    }
    QDir().mkpath(QFileInfo(APath).absolutePath());
    QSaveFile f(APath);
    if (!f.open(QIODevice::WriteOnly) || f.write(lText.toUtf8()) < 0 || !f.commit()) {
        if (VError)
            *VError = f.errorString();
        return false;
    }
    return true;
}

TReaderSection* TReadersIniFile::FindDevice(TDeviceKind AKind, const QString& ADevice) {
    for (TReaderSection& s : m_aSections)
        if (s.Value(QStringLiteral("kind")).compare(DeviceKindName(AKind), Qt::CaseInsensitive) == 0 &&
            s.Value(QStringLiteral("device")) == ADevice)
            return &s;
    return nullptr;
}

QString TReadersIniFile::FreeAlias(TDeviceKind AKind) const {
    const QString lPrefix = AKind == TDeviceKind::Serial     ? QStringLiteral("COM")
                            : AKind == TDeviceKind::Keyboard ? QStringLiteral("KBD")
                                                             : QStringLiteral("NFC");
    for (int n = AKind == TDeviceKind::Serial ? 21 : 1;; ++n) {
        const QString lAlias = lPrefix + QString::number(n);
        bool lUsed = false;
        for (const TReaderSection& s : m_aSections)
            lUsed = lUsed || s.sAlias.compare(lAlias, Qt::CaseInsensitive) == 0;
        if (!lUsed)
            return lAlias;
    }
}

void TReadersIniFile::Remove(const QString& AAlias) {
    for (auto it = m_aSections.begin(); it != m_aSections.end(); ++it)
        if (it->sAlias.compare(AAlias, Qt::CaseInsensitive) == 0) {
            m_aSections.erase(it);
            return;
        }
}

} // namespace ConfigTarvo
