// tarvoctl report and inside: the business day rebuilt from its log file exactly as the front desk's
// start-up rebuilds it, without writing anything (no report lines restored, no bookings file cleaned).

#include "apps/tarvoctl/uTarvoCtl.h"

#include "base/uClock.h"
#include "base/uKeyNum.h"
#include "base/uPaths.h"
#include "frontdesk/uReportExport.h"
#include "sheet/uSheetTable.h"

#include <QDate>
#include <QFileInfo>

#include <memory>

namespace TarvoCtl {

namespace {

const char* const cReportUsage =
    "Usage: tarvoctl report [--date YYYY-MM-DD] -o FILE\n"
    "Writes the finished visits of a business day (default: the current one), rebuilt from its log file,\n"
    "as the front desk's report list shows them: .csv, .xlsx or .ods by FILE's extension.\n";
const char* const cInsideUsage =
    "Usage: tarvoctl inside\n"
    "Lists the guests inside now, one a line: check-in time, user name or {key}, level, booking.\n";

// The front desk's document read from the data folder, and the business day rebuilt, in memory only.
std::unique_ptr<Tarvo::TTarvoDoc> LoadDay(const QDate& ADate, TDate& VRepDate) {
    auto lDoc = std::make_unique<Tarvo::TTarvoDoc>();
    const QString lPath = DataFilePath();
    lDoc->SetFileName(lPath);
    QStringList lErrors;
    lDoc->SetOnWriteError([&](const QString& AMessage) { lErrors << AMessage; });
    if (QFileInfo::exists(lPath))
        lDoc->LoadFromFile(lPath);
    VRepDate = ADate.isValid() ? EncodeDate(ADate.year(), ADate.month(), ADate.day())
                               : Tarvo::TTarvoDoc::_GetRepDateForTime(Now(), lDoc->StartDay());
    lDoc->LoadDayFromLog(VRepDate);
    if (!lErrors.isEmpty())
        throw ECtlFailure(lErrors.front().replace(QLatin1Char('\n'), QLatin1Char(' ')));
    lDoc->SetOnWriteError({});
    return lDoc;
}

QString BookingText(const Tarvo::TTarvoDoc& ADoc, const TCard& ACard) {
    Tarvo::TTarvoDoc::TBookingsIni lIni;
    if (!lIni.LoadFromFile(ADoc.GetBookingsPath(), nullptr))
        return QStringLiteral("?");
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    if (!Tarvo::TTarvoDoc::ReadBookingValue(lIni.ReadCard(KeyNumToStr(ACard.m_Number, KEYVIEW_HEX)), lFrom,
                                            lTo, lAllDay))
        return QStringLiteral("-");
    return Tarvo::TTarvoDoc::FormatBookingValue(lFrom, lTo, lAllDay).trimmed();
}

} // namespace

void ReportCommand(const QStringList& AArgs, TCtlIo AIo) {
    if (AsksForHelp(AArgs)) {
        AIo.m_oOut << cReportUsage;
        return;
    }
    QDate lDate;
    QString lFile;
    for (qsizetype i = 0; i < AArgs.size(); ++i) {
        const QString& lArg = AArgs.at(i);
        if ((lArg == QLatin1String("--date") || lArg == QLatin1String("-o")) && i + 1 >= AArgs.size())
            throw ECtlUsage(QStringLiteral("%1 needs a value").arg(lArg));
        if (lArg == QLatin1String("--date")) {
            if (lDate.isValid())
                throw ECtlUsage(QStringLiteral("--date given twice"));
            lDate = QDate::fromString(AArgs.at(++i), Qt::ISODate);
            if (!lDate.isValid())
                throw ECtlUsage(QStringLiteral("\"%1\" is no date of the form YYYY-MM-DD").arg(AArgs.at(i)));
        } else if (lArg == QLatin1String("-o")) {
            if (!lFile.isEmpty())
                throw ECtlUsage(QStringLiteral("-o given twice"));
            lFile = AArgs.at(++i);
        } else {
            throw ECtlUsage(QStringLiteral("unexpected \"%1\"").arg(lArg));
        }
    }
    const QString lExt = QFileInfo(lFile).suffix().toLower();
    if (lFile.isEmpty())
        throw ECtlUsage(QStringLiteral("report needs -o FILE"));
    if (lExt != QLatin1String("csv") && lExt != QLatin1String("xlsx") && lExt != QLatin1String("ods"))
        throw ECtlUsage(
            QStringLiteral("the report is written as .csv, .xlsx or .ods, not \"%1\"").arg(lFile));
    TDate lRepDate = 0;
    auto lDoc = LoadDay(lDate, lRepDate);
    Tarvo::TRepViewData lData(*lDoc);
    lData.Update();
    int lYear = 0, lMonth = 0, lDay = 0;
    DecodeDate(lRepDate, lYear, lMonth, lDay);
    const QString lDayText = QDate(lYear, lMonth, lDay).toString(Qt::ISODate);
    WriteTableFile(lFile, Tarvo::ReportExportRows(lData, *lDoc, Tarvo::ReportListCaptions()),
                   QStringLiteral("Report %1").arg(lDayText));
    AIo.m_oErr << "tarvoctl: " << lDoc->Report().Count() << " visits of " << lDayText << " written to "
               << lFile << "\n";
}

void InsideCommand(const QStringList& AArgs, TCtlIo AIo) {
    if (AsksForHelp(AArgs)) {
        AIo.m_oOut << cInsideUsage;
        return;
    }
    if (!AArgs.isEmpty())
        throw ECtlUsage(QStringLiteral("inside takes no arguments"));
    TDate lRepDate = 0;
    auto lDoc = LoadDay(QDate(), lRepDate);
    for (int i = 0; i < lDoc->InUsers().Count(); ++i) {
        const Tarvo::TInUser& lGuest = *lDoc->InUsers().Get(i);
        int lYear = 0, lMonth = 0, lDay = 0, lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
        DecodeDate(lGuest.m_dtTime, lYear, lMonth, lDay);
        DecodeTime(lGuest.m_dtTime, lHour, lMin, lSec, lMSec);
        AIo.m_oOut << QString::asprintf("%.4d-%.2d-%.2d %.2d:%.2d:%.2d", lYear, lMonth, lDay, lHour, lMin,
                                        lSec)
                   << '\t'
                   << UserOrKeyText(lGuest.m_pCard->m_sUserName, lGuest.m_pCard->m_Number, lDoc->KeyView())
                   << '\t' << lGuest.m_pCard->m_nLevel << '\t' << BookingText(*lDoc, *lGuest.m_pCard) << '\n';
    }
}

} // namespace TarvoCtl
