#include "apps/tarvoctl/uTarvoCtl.h"

#include "base/uExceptions.h"

#include <QFile>

namespace TarvoCtl {

namespace {

const char* const cUsage =
    "Usage: tarvoctl [--data DIR] COMMAND ...\n"
    "The front desk's data from a shell. The data folder is DIR, else $TARVO_DATA_DIR, else the one the\n"
    "programs use.\n"
    "\n"
    "Commands:\n"
    "  report [--date YYYY-MM-DD] -o FILE   the finished visits of a business day (default: the current\n"
    "                                       one) as .csv, .xlsx or .ods\n"
    "  cards export FILE                    the registered cards as .csv, .xlsx or .ods\n"
    "  cards import FILE                    replaces the cards by a .csv, .xlsx, .ods or .xls table\n"
    "  zones export FILE                    the tariff time zones, as for cards\n"
    "  zones import FILE                    replaces the tariff time zones, as for cards\n"
    "  inside                               the guests inside now, one a line\n"
    "  vi cameras                           the video server's cameras, one a line\n"
    "  vi live FILE [--camera ID]           the camera's live frame saved as .jpg or .png\n"
    "  vi archive \"YYYY-MM-DD hh:mm:ss\" FILE [--camera ID]   the recorded frame of that moment\n"
    "  camera list                          the webcams with their modes\n"
    "  camera shot NAME FILE.jpg [--mode N] a test photo from webcam NAME\n"
    "  readers [list]                       the card-reader ports and readers, one a line\n"
    "  readers watch                        every card presented, with its number in each format\n"
    "\n"
    "Imports refuse while Tarvo or ConfigTarvo runs. Every command takes --help.\n"
    "Exit status: 0 done, 1 failed (one line on standard error), 2 usage error.\n";

} // namespace

bool AsksForHelp(const QStringList& AArgs) {
    return AArgs.contains(QStringLiteral("--help")) || AArgs.contains(QStringLiteral("-h"));
}

int Run(const QStringList& AArgs, TCtlIo AIo) {
    QStringList lArgs = AArgs;
    try {
        // Global options come before the command.
        while (!lArgs.isEmpty() && lArgs.front().startsWith(QLatin1Char('-'))) {
            const QString lOption = lArgs.takeFirst();
            if (lOption == QLatin1String("--help") || lOption == QLatin1String("-h")) {
                AIo.m_oOut << cUsage;
                return ExitOk;
            }
            if (lOption != QLatin1String("--data"))
                throw ECtlUsage(QStringLiteral("unknown option \"%1\"").arg(lOption));
            if (lArgs.isEmpty() || lArgs.front().isEmpty())
                throw ECtlUsage(QStringLiteral("--data needs a folder"));
            qputenv("TARVO_DATA_DIR", QFile::encodeName(lArgs.takeFirst()));
        }
        if (lArgs.isEmpty())
            throw ECtlUsage(QStringLiteral("no command given"));
        const QString lCommand = lArgs.takeFirst();
        if (lCommand == QLatin1String("report"))
            ReportCommand(lArgs, AIo);
        else if (lCommand == QLatin1String("inside"))
            InsideCommand(lArgs, AIo);
        else if (lCommand == QLatin1String("cards") || lCommand == QLatin1String("zones"))
            TableCommand(lCommand == QLatin1String("cards"), lArgs, AIo);
        else if (lCommand == QLatin1String("camera"))
            CameraCommand(lArgs, AIo);
        else if (lCommand == QLatin1String("vi"))
            ViCommand(lArgs, AIo);
        else if (lCommand == QLatin1String("readers"))
            ReadersCommand(lArgs, AIo);
        else if (lCommand == QLatin1String("help"))
            AIo.m_oOut << cUsage;
        else
            throw ECtlUsage(QStringLiteral("unknown command \"%1\"").arg(lCommand));
        AIo.m_oOut.flush();
        return ExitOk;
    } catch (const ECtlUsage& E) {
        AIo.m_oErr << "tarvoctl: " << E.Text() << "\n" << cUsage;
        return ExitUsage;
    } catch (const ECtlFailure& E) {
        AIo.m_oErr << "tarvoctl: " << E.Text() << "\n";
        return ExitFailed;
    } catch (const Exception& E) {
        AIo.m_oErr << "tarvoctl: " << QString(E.Message()).replace(QLatin1Char('\n'), QLatin1Char(' '))
                   << "\n";
        return ExitFailed;
    }
}

} // namespace TarvoCtl
