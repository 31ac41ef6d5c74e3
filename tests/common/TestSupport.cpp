#include "tests/common/TestSupport.h"

#include "base/uClock.h"
#include "base/uCodePage.h"
#include "base/uLocale.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

TDateTime MakeDateTime(int AYear, int AMonth, int ADay, int AHour, int AMin, int ASec, int AMSec) {
    return EncodeDate(AYear, AMonth, ADay) + EncodeTime(AHour, AMin, ASec, AMSec);
}

TFixedClock::TFixedClock(TDateTime ANow, std::uint32_t ATick) : m_dtNow(ANow), m_nTick(ATick) {
    SetNowFunc([this] { return m_dtNow; });
    SetTickFunc([this] { return m_nTick; });
}

TFixedClock::~TFixedClock() {
    SetNowFunc({});
    SetTickFunc({});
}

void TFixedClock::AdvanceMs(std::int64_t AMSecs) {
    m_dtNow += double(AMSecs) / MSecsPerDay;
    m_nTick += static_cast<std::uint32_t>(AMSecs);
}

TLocaleOverride::TLocaleOverride(QChar ADecimalSep, std::uint32_t ALangId, const QString& ACodePage) {
    SetDecimalSeparator(ADecimalSep);
    SetSystemLangId(ALangId);
    SetCodePageOverride(ACodePage);
}

TLocaleOverride::~TLocaleOverride() {
    ResetLocaleOverrides();
    SetCodePageOverride(QString());
}

TTempDir::TTempDir() {
    if (!m_oDir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
    m_sPath = m_oDir.path();
}

QString TTempDir::FilePath(const QString& AName) const {
    return m_sPath + QLatin1Char('/') + AName;
}

QString TTempDir::WriteFile(const QString& AName, const QByteArray& ABytes) const {
    const QString lPath = FilePath(AName);
    QDir().mkpath(QFileInfo(lPath).absolutePath());
    QFile lFile(lPath);
    if (!lFile.open(QIODevice::WriteOnly | QIODevice::Truncate) || lFile.write(ABytes) != ABytes.size())
        throw std::runtime_error("cannot write " + lPath.toStdString());
    return lPath;
}

void PrintTo(const QString& AValue, std::ostream* AStream) {
    *AStream << '"' << AValue.toStdString() << '"';
}

TEnvOverride::TEnvOverride(const char* AName, const QByteArray& AValue) : m_pName(AName) {
    m_fHad = qEnvironmentVariableIsSet(AName);
    m_aOld = qgetenv(AName);
    qputenv(AName, AValue);
}

TEnvOverride::~TEnvOverride() {
    if (m_fHad)
        qputenv(m_pName, m_aOld);
    else
        qunsetenv(m_pName);
}
