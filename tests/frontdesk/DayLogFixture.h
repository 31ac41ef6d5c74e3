#pragma once
// A front-desk document on a private data folder with a fixed clock and locale, a few registered cards
// and the business day starting at 06:00; for the tests of the log and report files and the day rebuild.

#include "frontdesk/uTarvoDoc.h"

#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

class TDayLogTest : public ::testing::Test {
protected:
    // Cards of the data file: John Smith (00AB12, level 2, comment "vip"), Ann (000001, level 1),
    // a card without name (00000C, level 1), Bob (000002, level 3).
    static constexpr int JOHN = 0, ANN = 1, KEYONLY = 2, BOB = 3;

    TDayLogTest() : m_oClock(MakeDateTime(2020, 3, 5, 9, 0, 0)) {}

    QString DataFile() const { return m_oDir.FilePath(QStringLiteral("Tarvo.xml")); }
    QString LogsDir() const { return m_oDir.FilePath(QStringLiteral("Logs")); }

    // Removes the data file and the log and report folders.
    void ResetDataFolder() {
        QFile::remove(DataFile());
        QDir(LogsDir()).removeRecursively();
        QDir(m_oDir.FilePath(QStringLiteral("Report"))).removeRecursively();
    }

    // A new document opened at the clock's moment (which rebuilds the day from its log file).
    std::unique_ptr<Tarvo::TTarvoDoc> OpenDoc(std::int32_t AFormat = 0, std::int32_t APeriod = 0) {
        if (!QFile::exists(DataFile()))
            m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), DataFileText(AFormat, APeriod));
        auto lDoc = std::make_unique<Tarvo::TTarvoDoc>();
        lDoc->SetFileName(DataFile());
        lDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        lDoc->SetOnWriteError([this](const QString& AMessage) { m_aErrors << AMessage; });
        lDoc->Open();
        lDoc->SetAccPrice(-2);
        return lDoc;
    }

    static QByteArray DataFileText(std::int32_t AFormat, std::int32_t APeriod) {
        return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
               "<Main><StartDayTime>06:00</StartDayTime><Log fileFormat=\"" +
               Tarvo::LogFileFormatToStr(AFormat).toUtf8() + "\" filePeriod=\"" +
               Tarvo::LogFilePeriodToStr(APeriod).toUtf8() +
               "\"/></Main>\r\n"
               "<Cards>\r\n"
               "<Item1 number=\"00AB12\" name=\"John Smith\" level=\"2\"><Commant>vip</Commant></Item1>\r\n"
               "<Item2 number=\"000001\" name=\"Ann\" level=\"1\"><Commant/></Item2>\r\n"
               "<Item3 number=\"00000C\" level=\"1\"><Commant/></Item3>\r\n"
               "<Item4 number=\"000002\" name=\"Bob\" level=\"3\"><Commant/></Item4>\r\n"
               "</Cards>\r\n</Tarvo>\r\n";
    }

    static QByteArray ReadAll(const QString& APath) {
        QFile lFile(APath);
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray("<missing>");
    }

    // Lines joined with CR LF, each one ended.
    static QByteArray Lines(const QStringList& ALines) {
        QByteArray lBytes;
        for (const QString& lLine : ALines)
            lBytes += lLine.toLatin1() + "\r\n";
        return lBytes;
    }

    TTempDir m_oDir;
    TLocaleOverride m_oLocale;
    TFixedClock m_oClock;
    QStringList m_aErrors;
};
