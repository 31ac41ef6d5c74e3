#include "sheet/uZipEntry.h"

#include "sheet/uSheet.h"

#include <QDir>
#include <QFile>

#include <zip.h>

#include <algorithm>

void RaiseSheetRead(const QString& AFileName, const QString& AReason) {
    throw ESheetError(
        QStringLiteral("Cannot read \"%1\": %2").arg(QDir::toNativeSeparators(AFileName), AReason));
}

void RaiseSheetWrite(const QString& AFileName, const QString& AReason) {
    throw ESheetError(
        QStringLiteral("Cannot write \"%1\": %2").arg(QDir::toNativeSeparators(AFileName), AReason));
}

TZipArchive::TZipArchive(const QString& AFileName) : m_sFileName(AFileName) {
    int lError = 0;
    m_pZip = zip_open(QFile::encodeName(AFileName).constData(), ZIP_RDONLY, &lError);
    if (m_pZip == nullptr) {
        zip_error_t lZipError;
        zip_error_init_with_code(&lZipError, lError);
        const QString lReason = lError == ZIP_ER_NOZIP || lError == ZIP_ER_INCONS
                                    ? QStringLiteral("it is not a workbook (no zip archive).")
                                    : QString::fromLocal8Bit(zip_error_strerror(&lZipError));
        zip_error_fini(&lZipError);
        RaiseSheetRead(AFileName, lReason);
    }
}

TZipArchive::~TZipArchive() {
    if (m_pZip != nullptr)
        zip_discard(m_pZip);
}

bool TZipArchive::Contains(const QString& AName) const {
    return zip_name_locate(m_pZip, AName.toUtf8().constData(), 0) >= 0;
}

QByteArray TZipArchive::Read(const QString& AName, qint64 AMaxBytes) const {
    TZipEntryDevice lEntry(*this, AName);
    QByteArray lBytes;
    char lBuf[65536];
    while (true) {
        const qint64 lRead = lEntry.read(lBuf, sizeof lBuf);
        if (lRead < 0)
            RaiseSheetRead(m_sFileName, lEntry.Failure());
        if (lRead == 0)
            break;
        if (lBytes.size() + lRead > AMaxBytes)
            RaiseSheetRead(m_sFileName, QStringLiteral("the part \"%1\" is too large.").arg(AName));
        lBytes.append(lBuf, qsizetype(lRead));
    }
    return lBytes;
}

TZipEntryDevice::TZipEntryDevice(const TZipArchive& AArchive, const QString& AName) {
    m_pFile = zip_fopen(AArchive.Handle(), AName.toUtf8().constData(), 0);
    if (m_pFile == nullptr)
        RaiseSheetRead(AArchive.FileName(),
                       QStringLiteral("the workbook has no part \"%1\" (%2).")
                           .arg(AName, QString::fromLocal8Bit(zip_strerror(AArchive.Handle()))));
    open(QIODevice::ReadOnly);
}

TZipEntryDevice::~TZipEntryDevice() {
    if (m_pFile != nullptr)
        zip_fclose(m_pFile);
}

qint64 TZipEntryDevice::readData(char* AData, qint64 AMaxSize) {
    if (!m_sFailure.isEmpty())
        return -1;
    if (m_nRead >= SheetMaxEntryBytes) {
        m_sFailure = QStringLiteral("a part of the workbook unpacks to more than %1 MB.")
                         .arg(SheetMaxEntryBytes / (1024 * 1024));
        setErrorString(m_sFailure);
        return -1;
    }
    const zip_int64_t lRead =
        zip_fread(m_pFile, AData, zip_uint64_t(std::min(AMaxSize, SheetMaxEntryBytes - m_nRead)));
    if (lRead < 0) {
        m_sFailure = QStringLiteral("the workbook is damaged (%1).")
                         .arg(QString::fromLocal8Bit(zip_file_strerror(m_pFile)));
        setErrorString(m_sFailure);
        return -1;
    }
    m_nRead += lRead;
    return lRead;
}
