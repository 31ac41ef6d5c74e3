#pragma once
// Parts of a zip archive (the .xlsx and .ods workbooks) read through libzip, each as a QIODevice for
// QXmlStreamReader, decompressed as it is read and cut off at SheetMaxEntryBytes: a zip bomb ends in
// an error, not in a full memory.

#include <QIODevice>
#include <QString>

struct zip;
struct zip_file;

class TZipArchive {
public:
    // Opens AFileName read-only; ESheetError naming the file when it is no readable zip archive.
    explicit TZipArchive(const QString& AFileName);
    ~TZipArchive();
    TZipArchive(const TZipArchive&) = delete;
    TZipArchive& operator=(const TZipArchive&) = delete;

    const QString& FileName() const { return m_sFileName; }
    bool Contains(const QString& AName) const;
    // The whole part AName, at most AMaxBytes; ESheetError when it is missing, damaged or larger.
    QByteArray Read(const QString& AName, qint64 AMaxBytes) const;
    zip* Handle() const { return m_pZip; }

private:
    QString m_sFileName;
    zip* m_pZip = nullptr;
};

class TZipEntryDevice : public QIODevice {
public:
    // Opens part AName of AArchive (ESheetError when it is missing).
    TZipEntryDevice(const TZipArchive& AArchive, const QString& AName);
    ~TZipEntryDevice() override;
    bool isSequential() const override { return true; }
    // Set when reading stopped at damage or at the size cap; the text for the error.
    const QString& Failure() const { return m_sFailure; }

protected:
    qint64 readData(char* AData, qint64 AMaxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    zip_file* m_pFile = nullptr;
    qint64 m_nRead = 0;
    QString m_sFailure;
};

// ESheetError "Cannot read "<file>": <reason>" and "Cannot write "<file>": <reason>".
[[noreturn]] void RaiseSheetRead(const QString& AFileName, const QString& AReason);
[[noreturn]] void RaiseSheetWrite(const QString& AFileName, const QString& AReason);
