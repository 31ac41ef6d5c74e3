// tarvoctl cards and zones: the configuration program's lists out to a table file and in from one.
// An import writes the data file through the configuration document (its part only, atomically) and
// refuses while either program runs.

#include "apps/tarvoctl/uTarvoCtl.h"

#include "base/uLocale.h"
#include "base/uPaths.h"
#include "base/uSingleInstance.h"
#include "config/uTableImport.h"
#include "sheet/uSheetTable.h"

#include <QFileInfo>

namespace TarvoCtl {

namespace {

QString Usage(bool ACards) {
    const QString lWhat = ACards ? QStringLiteral("cards") : QStringLiteral("zones");
    return QStringLiteral(
               "Usage: tarvoctl %1 export FILE | %1 import FILE\n"
               "export writes the %2 as the configuration program lists them (.csv, .xlsx or .ods);\n"
               "import replaces them by the rows of a .csv, .xlsx, .ods or .xls table (columns by\n"
               "position; a first row whose first field is no number is a header).\n")
        .arg(lWhat, ACards ? QStringLiteral("registered cards") : QStringLiteral("tariff time zones"));
}

void OpenConfig(ConfigTarvo::TTarvoDoc& ADoc) {
    ADoc.SetFileName(DataFilePath());
    ADoc.Open();
    if (ADoc.LoadFailed())
        throw ECtlFailure(
            QStringLiteral("the data file \"%1\" could not be read completely: %2")
                .arg(DataFilePath(), QString(ADoc.LoadError()).replace(QLatin1Char('\n'), QLatin1Char(' '))));
}

// Holds the start mutex while the data file is written, so that neither program starts meanwhile.
class TProgramsAway {
public:
    TProgramsAway() {
        if (!CheckSingleInstance(
                false, {QString::fromLatin1(TarvoWindowClass), QString::fromLatin1(ConfigTarvoWindowClass)}))
            throw ECtlFailure(
                QStringLiteral("Tarvo or ConfigTarvo is running; close it first (nothing was imported)"));
    }
    ~TProgramsAway() { ReleaseInstanceMutex(); }
    TProgramsAway(const TProgramsAway&) = delete;
    TProgramsAway& operator=(const TProgramsAway&) = delete;
};

} // namespace

void TableCommand(bool ACards, const QStringList& AArgs, TCtlIo AIo) {
    if (AsksForHelp(AArgs)) {
        AIo.m_oOut << Usage(ACards);
        return;
    }
    if (AArgs.size() != 2 ||
        (AArgs.at(0) != QLatin1String("export") && AArgs.at(0) != QLatin1String("import")))
        throw ECtlUsage(
            QStringLiteral("%1 needs export FILE or import FILE").arg(ACards ? "cards" : "zones"));
    const QString lFile = AArgs.at(1);
    const QString lExt = QFileInfo(lFile).suffix().toLower();
    const QString lSheet = ACards ? QStringLiteral("Cards") : QStringLiteral("Zones");
    if (AArgs.at(0) == QLatin1String("export")) {
        if (lExt != QLatin1String("csv") && lExt != QLatin1String("xlsx") && lExt != QLatin1String("ods"))
            throw ECtlUsage(
                QStringLiteral("exports are written as .csv, .xlsx or .ods, not \"%1\"").arg(lFile));
        ConfigTarvo::TTarvoDoc lDoc;
        OpenConfig(lDoc);
        const TTextRows lRows = ACards ? CardExportRows(lDoc, ConfigTarvo::CardListCaptions())
                                       : TzExportRows(lDoc, ConfigTarvo::TzListCaptions());
        WriteTableFile(lFile, lRows, lSheet);
        AIo.m_oErr << "tarvoctl: " << lRows.size() - 1 << ' ' << lSheet.toLower() << " written to " << lFile
                   << "\n";
        return;
    }
    if (lExt != QLatin1String("csv") && lExt != QLatin1String("xlsx") && lExt != QLatin1String("ods") &&
        lExt != QLatin1String("xls"))
        throw ECtlUsage(QStringLiteral("imports read .csv, .xlsx, .ods or .xls, not \"%1\"").arg(lFile));
    // The file is read whole first: one that cannot be read changes nothing.
    const TTextRows lRows = ReadTableFile(lFile);
    const TProgramsAway lAway;
    ConfigTarvo::TTarvoDoc lDoc;
    OpenConfig(lDoc);
    size_t lRow = 0;
    const auto lProgress = [&] {
        if (lRows.size() > 1000 && ++lRow % 1000 == 0)
            AIo.m_oErr << "tarvoctl: row " << lRow << " of " << lRows.size() << "\n" << Qt::flush;
        return false;
    };
    const int lTaken = ACards ? ConfigTarvo::ImportCards(lDoc, lRows, lProgress)
                              : ConfigTarvo::ImportTimeZones(lDoc, lRows, lProgress);
    // A table of rows none of which could be taken (another separator than ";", another layout) would
    // replace the list by nothing and save that at once: refused. A header alone empties the list.
    std::int32_t lNumber = 0;
    const bool lHasDataRows =
        lRows.size() > 1 ||
        (lRows.size() == 1 && (lRows.front().size() < 2 || TryStrToInt(lRows.front().at(0), lNumber)));
    if (lTaken == 0 && lHasDataRows)
        throw ECtlFailure(QStringLiteral("no row of \"%1\" could be read as %2 (fields separated by \";\", "
                                         "columns as an export writes them); nothing was imported")
                              .arg(lFile, ACards ? QStringLiteral("a card") : QStringLiteral("a zone")));
    lDoc.Save();
    AIo.m_oErr << "tarvoctl: " << lTaken << ' ' << lSheet.toLower() << " imported into " << DataFilePath()
               << "\n";
}

} // namespace TarvoCtl
