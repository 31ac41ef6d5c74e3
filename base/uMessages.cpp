#include "base/uMessages.h"

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {

enum : unsigned { PROG_F = 1, PROG_C = 2, PROG_FC = PROG_F | PROG_C };

struct TCatalogueEntry {
    int m_nId;
    unsigned m_nPrograms;
    const char* m_sText; // UTF-8
};

// The built-in English texts, by number.
constexpr TCatalogueEntry CATALOGUE[] = {
    {1, PROG_F, "Tarvo (Velmo)"},
    {1, PROG_C, "Config tarvo (Velmo)"},
    {2, PROG_C, "Really?"},
    {111, PROG_FC, "English (internal)"},
    {112, PROG_FC, "Wrong version of \"OrvReader.dll\"."},
    {113, PROG_C, "Value must not be empty."},
    {114, PROG_C,
     "Value must not be empty and must contain only numbers and the characters 'a', 'b', 'c', 'd', "
     "'e' and 'f'."},
    {228, PROG_C, "Time zone \"%s\" has already been added."},
    {229, PROG_C, "Save changes?"},
    {230, PROG_C, "Key \"%s\" has already been added."},
    {231, PROG_FC, "About..."},
    {232, PROG_FC, "Failed to connect to the reader to \"%s\"."},
    {233, PROG_C, "Key \"%s\" not found."},
    {234, PROG_C, "Key \"%s\" already exists."},
    {235, PROG_C, "Search the reader with s/n %d..."},
    {236, PROG_C, "Reader with s/n %d is not found."},
    {237, PROG_C, "Reader with s/n %d is found on \"%s\"."},
    {238, PROG_C, "%s s/n %d"},
    {239, PROG_C, "Excel files (*.xls;*.xlsx)|*.xls;*.xlsx|All files|*.*"},
    {240, PROG_C, "Import time zones from Excel \"%s\"..."},
    {242, PROG_FC, "CSV files (*.csv)|*.csv"},
    {243, PROG_C, "Import keys from Excel \"%s\"..."},
    {244, PROG_C, "Client \"%s\" has already been added."},
    {245, PROG_F, "%4d %s %s-%s %s"},
    {246, PROG_F, "Total sum: %s"},
    {248, PROG_F, "%s\r\n is logged at %s."},
    {249, PROG_F, "%s\r\n has been %s.\r\nSum: %s."},
    {250, PROG_F, "In"},
    {251, PROG_F, "Out"},
    {253, PROG_F,
     "Organisation name\r\nTax number 0000000000\r\nRegistration number 0000000000000\r\n"
     "Address\r\nTelephone"},
    {254, PROG_F, "Receipt no. %d"},
    {255, PROG_F, "Paid time\r\nInput - Output"},
    {256, PROG_F, "Amt"},
    {257, PROG_F, "price"},
    {258, PROG_F, "sum"},
    {259, PROG_F, "min"},
    {260, PROG_F, "RUB"},
    {261, PROG_F, "RUB"},
    {262, PROG_F, "TOTAL:"},
    {263, PROG_F, "Not subject to VAT in the tie using the simplified taxation system"},
    {264, PROG_C, "Time zone \"%.2d:%.2d\" has already been added."},
    {268, PROG_F, "Authorization Error (check username and password)"},
    {269, PROG_F, "Unknown image type \"%s\"."},
    {270, PROG_F, "Http error #%d."},
    {271, PROG_F, "The server is not responding."},
    {272, PROG_F, "sec"},
    {273, PROG_F, "h"},
    {274, PROG_F, "Entrance fee:"},
    {275, PROG_F, "Minimum payment amount:"},
    {276, PROG_F, "Reservation"},
    {277, PROG_F, "Overdue"},
    {278, PROG_F, "Reservation of day"},
    {280, PROG_F, "%d in / %d out"},
    {281, PROG_F, "Not out:"},
    {282, PROG_F, "%d %s"},

    // The front desk's main window, its tray and the reader's state.
    {1000, PROG_F,
     "This is the first start of Tarvo: there are no cards and no tariff zones yet.\n\n"
     "Tarvo keeps its data in the folder\n%s\n\n"
     "Start ConfigTarvo to register the cards, set up the time zones and choose the card reader?"},
    {1001, PROG_F, "Start &ConfigTarvo"},
    {1002, PROG_F, "C&ontinue"},
    {1003, PROG_F, "Exit Tarvo?"},
    {1004, PROG_F, "Cards are not read and nobody is billed until it is started again."},
    {1005, PROG_F,
     "Tarvo keeps running here and goes on reading cards. Click the icon to show the window; Exit is in "
     "its menu."},
    {1006, PROG_FC, "Reader on %s lost: cards are not read"},
    {1007, PROG_F, "Reader on %s is back: cards are read again."},
    {1008, PROG_F, "its port is gone"},
    {1009, PROG_F, "read error: %s"},
    {1010, PROG_F, "s/n %d"},
    {1011, PROG_F,
     "No reader with the serial number %d was found. Cards are not read until it is connected."},
    {1012, PROG_F,
     "No reader with the serial number %d was found, on \"%s\" or any other port. Cards are not read "
     "until it is connected."},
    {1013, PROG_F, "The front desk cannot work as it should:\n\n%s"},
    {1014, PROG_F, "And 1 more line could not be written"},
    {1015, PROG_F, "And %d more lines could not be written"},
    {1016, PROG_F, "; it is listed in \"%s\"."},
    {1017, PROG_F, "; they are listed in \"%s\"."},
    {1018, PROG_F, "The debug log could not take them either: %s"},
    {1019, PROG_F, "Reader lost: cards are not read"},
    {1020, PROG_F, "Camera \"%s\" not found: no photos are taken."},
    {1021, PROG_F, "Camera \"%s\" could not be started: %s"},
    {1022, PROG_F, "Camera \"%s\" lost: no photos are taken."},
    {1023, PROG_F, "Camera \"%s\" is back: photos are taken again."},
    {1024, PROG_F, "No application could open it."},
    // What keeps the front desk from billing, found when the data file is read.
    {1025, PROG_F, "No tariff zone could be read from %s: every stay would be billed 0."},
    {1026, PROG_F, "The only card in %s could not be read: no card would be recognised at the desk."},
    {1027, PROG_F, "None of the %d cards in %s could be read: no card would be recognised at the desk."},
    {1028, PROG_F,
     "The data file %s is empty: nothing in it was read, so every stay would be billed 0 and no card "
     "would be recognised."},
    {1029, PROG_F,
     "%s is not an XML data file of Tarvo (it has no Tarvo element): nothing in it was read, so every "
     "stay would be billed 0 and no card would be recognised."},
    {1030, PROG_F,
     "The data file %s has no version: nothing in it was read, so every stay would be billed 0 and no "
     "card would be recognised."},
    {1031, PROG_F,
     "The data file %s has the version %s, which this program does not read: nothing in it was read, so "
     "every stay would be billed 0 and no card would be recognised."},
    // The day's log and report files.
    {1032, PROG_F, "This line is missing from the file:"},
    {1033, PROG_F, "These lines are missing from the file:"},
    {1034, PROG_F, "The report of the day could not be checked: cannot read the file \"%s\": %s"},
    {1035, PROG_F, "Cannot create the folder \"%s\": %s"},
    {1036, PROG_F, "The day could not be rebuilt: cannot read the file \"%s\": %s"},
    {1037, PROG_F, "Cannot open the file \"%s\": %s"},
    {1038, PROG_F, "Cannot read the file \"%s\": %s"},
    {1039, PROG_F, "Cannot read file \"%s\". %s"},
    {1040, PROG_F, "It is a folder."},
    // The front desk's dialogs and report export.
    {1100, PROG_F, "The guest with the card %s has checked out meanwhile; the booking was not stored."},
    {1101, PROG_F, "The log entry is no longer in the day's log; the comment was not stored."},
    {1102, PROG_F, "Save receipt as PDF"},
    {1103, PROG_F, "PDF files (*.pdf)"},
    {1104, PROG_F, "The printer \"%s\" is not available."},
    {1105, PROG_F, "The receipt could not be printed on \"%s\"."},
    {1106, PROG_F, "Excel workbook (*.xlsx)"},
    {1107, PROG_F, "OpenDocument spreadsheet (*.ods)"},
    {1108, PROG_F, "Export report"},
    {1109, PROG_F, "Report %s"},
    {1110, PROG_F, "Test"},
    {1111, PROG_F, "Number of digits after the decimal point"},
    {1112, PROG_F, "If = 0, then the basic booking price is used"},
    {1113, PROG_F, "Save the settings anyway?"},
    {1114, PROG_F,
     "The data file \"%s\" could not be read completely (%s). Saving now would lose the settings stored "
     "after the error, so the file was not saved."},
    {1115, PROG_F, "<default>"},
    // The webcam.
    {1200, PROG_F, "Cannot save the photo %s: %s"},
    {1201, PROG_F, "the image could not be encoded"},
    {1202, PROG_F, "The camera cannot be opened as a video source"},
    {1203, PROG_F, "The camera does not deliver video in the chosen mode"},
    {1204, PROG_F, "The camera could not be started"},
    {1205, PROG_F, "The camera could not be started: %s"},
    {1206, PROG_F, "The camera has no mode %d"},
    // The photo archive.
    {1207, PROG_F, "no such photo file"},
    {1208, PROG_F, "the file is empty"},
    {1209, PROG_F, "not a readable image: %s"},
    {1210, PROG_F, "the photo is too large (%d x %d)"},
    {1211, PROG_F, "the photo cannot be decoded: %s"},
    {1212, PROG_F, "a file of that name is in the way"},
    {1213, PROG_F, "its parent folder cannot be made"},
    // The configuration program's main window.
    {1300, PROG_C, "Reader open on %s"},
    {1301, PROG_C, "No reader open"},
    {1302, PROG_C, "Part of a user name, key or comment"},
    {1303, PROG_C, "Save anyway?"},
    {1304, PROG_FC, "Cannot create the folder \"%s\"."},
    {1305, PROG_C, "Importing %s"},
    {1306, PROG_C, "Export"},
    {1307, PROG_C, "Import"},
    // The reader devices dialog.
    {1400, PROG_C, "PC/SC reader"},
    {1401, PROG_C, "Keyboard-like device"},
    {1402, PROG_C, "Serial port"},
    {1403, PROG_C, "The reader settings cannot be written to %s:\n%s"},
    {1404, PROG_C, "Present a card to %s now."},
    {1405, PROG_C, "%s cannot be opened: %s"},
    {1406, PROG_C, "Card read: %s (the number the programs match)."},
    // Both programs.
    {1500, PROG_FC, "Unknown error."},
};

unsigned ProgramBit(TMsgProgram AProgram) {
    return AProgram == TMsgProgram::Config ? PROG_C : PROG_F;
}

std::atomic<TMsgProgram> g_nProgram{TMsgProgram::FrontDesk};
std::mutex g_oLookupLock;
TMsgLookup g_fnLookup;

// Widths and precisions of translated texts are capped so a bad file cannot ask for gigabytes.
constexpr int MaxFieldWidth = 256;

QString Pad(const QString& AText, int AWidth, bool ALeft, QChar AFill) {
    if (AText.size() >= AWidth)
        return AText;
    const QString lFill(AWidth - AText.size(), AFill);
    return ALeft ? AText + lFill : lFill + AText;
}

QString ArgText(const TMsgArg& AArg) {
    if (const auto* lNum = std::get_if<std::int64_t>(&AArg))
        return QString::number(*lNum);
    return std::get<QString>(AArg);
}

} // namespace

void SetMsgProgram(TMsgProgram AProgram) {
    g_nProgram = AProgram;
}

TMsgProgram MsgProgram() {
    return g_nProgram;
}

QString BuiltInResString(int AId, TMsgProgram AProgram) {
    const unsigned lBit = ProgramBit(AProgram);
    for (const TCatalogueEntry& lEntry : CATALOGUE)
        if (lEntry.m_nId == AId && (lEntry.m_nPrograms & lBit) != 0)
            return QString::fromUtf8(lEntry.m_sText);
    return QString();
}

QString LoadResString(int AId) {
    TMsgLookup lLookup;
    {
        std::lock_guard<std::mutex> lLock(g_oLookupLock);
        lLookup = g_fnLookup;
    }
    const TMsgProgram lProgram = MsgProgram();
    QString lText = BuiltInResString(AId, lProgram);
    if (lText.isEmpty())
        lText = BuiltInResString(AId, lProgram == TMsgProgram::Config ? TMsgProgram::FrontDesk
                                                                      : TMsgProgram::Config);
    QString lTranslated;
    if (lLookup && lLookup(AId, lTranslated)) {
        // Language files break lines with CR LF; where the program's own text breaks them with LF
        // alone (as the toolkit shows them), so does its translation.
        if (!lText.contains(QLatin1Char('\r')))
            lTranslated.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        return lTranslated;
    }
    return lText;
}

std::vector<int> CatalogueIds(TMsgProgram AProgram) {
    std::vector<int> lIds;
    const unsigned lBit = ProgramBit(AProgram);
    for (const TCatalogueEntry& lEntry : CATALOGUE)
        if ((lEntry.m_nPrograms & lBit) != 0)
            lIds.push_back(lEntry.m_nId);
    std::sort(lIds.begin(), lIds.end());
    lIds.erase(std::unique(lIds.begin(), lIds.end()), lIds.end());
    return lIds;
}

void SetMsgLookup(TMsgLookup ALookup) {
    std::lock_guard<std::mutex> lLock(g_oLookupLock);
    g_fnLookup = std::move(ALookup);
}

namespace {

QString FormatMsgArgs(const QString& AFormat, const TMsgArg* AFirst, const TMsgArg* AEnd) {
    QString lResult;
    lResult.reserve(AFormat.size() + 32);
    const TMsgArg* lArg = AFirst;
    const qsizetype lLen = AFormat.size();
    qsizetype i = 0;
    while (i < lLen) {
        const QChar c = AFormat.at(i);
        if (c != QLatin1Char('%')) {
            lResult += c;
            ++i;
            continue;
        }
        // %[-][0][width][.precision]conversion
        qsizetype j = i + 1;
        bool lLeft = false, lZero = false;
        while (j < lLen && (AFormat.at(j) == QLatin1Char('-') || AFormat.at(j) == QLatin1Char('0'))) {
            (AFormat.at(j) == QLatin1Char('-') ? lLeft : lZero) = true;
            ++j;
        }
        int lWidth = 0;
        while (j < lLen && AFormat.at(j).isDigit() && AFormat.at(j).unicode() < 128) {
            lWidth = std::min(lWidth * 10 + (AFormat.at(j).unicode() - '0'), MaxFieldWidth);
            ++j;
        }
        int lPrec = -1;
        if (j < lLen && AFormat.at(j) == QLatin1Char('.')) {
            ++j;
            lPrec = 0;
            while (j < lLen && AFormat.at(j).isDigit() && AFormat.at(j).unicode() < 128) {
                lPrec = std::min(lPrec * 10 + (AFormat.at(j).unicode() - '0'), MaxFieldWidth);
                ++j;
            }
        }
        const char16_t lConv = j < lLen ? AFormat.at(j).unicode() : u'\0';
        if (lConv == u'%' && j == i + 1) {
            lResult += QLatin1Char('%');
            i = j + 1;
            continue;
        }
        if (lConv != u'd' && lConv != u's' && lConv != u'u' && lConv != u'x' && lConv != u'X') {
            // Not a directive: the text stays as written.
            lResult += c;
            ++i;
            continue;
        }
        QString lText;
        if (lArg != AEnd) {
            const TMsgArg& lValue = *lArg++;
            const std::int64_t* lNum = std::get_if<std::int64_t>(&lValue);
            if (lConv == u's' || lNum == nullptr) {
                lText = ArgText(lValue);
                if (lConv == u's' && lPrec >= 0 && lText.size() > lPrec)
                    lText.truncate(lPrec);
            } else {
                const bool lHex = lConv == u'x' || lConv == u'X';
                const bool lNeg = *lNum < 0 && !lHex;
                const std::uint64_t lAbs =
                    lHex ? std::uint64_t(*lNum) : (lNeg ? 0 - std::uint64_t(*lNum) : std::uint64_t(*lNum));
                lText = QString::number(lAbs, lHex ? 16 : 10);
                if (lConv == u'X')
                    lText = lText.toUpper();
                if (lPrec >= 0)
                    lText = Pad(lText, lPrec, false, QLatin1Char('0'));
                else if (lZero && !lLeft)
                    lText = Pad(lText, lWidth - (lNeg ? 1 : 0), false, QLatin1Char('0'));
                if (lNeg)
                    lText.prepend(QLatin1Char('-'));
            }
        }
        lResult += Pad(lText, lWidth, lLeft, QLatin1Char(' '));
        i = j + 1;
    }
    return lResult;
}

} // namespace

QString FormatMsg(const QString& AFormat, std::initializer_list<TMsgArg> AArgs) {
    return FormatMsgArgs(AFormat, AArgs.begin(), AArgs.end());
}

QString FormatResString(int AId, std::initializer_list<TMsgArg> AArgs) {
    return FormatMsg(LoadResString(AId), AArgs);
}

TResText::TResText(int AId, std::initializer_list<TMsgArg> AArgs) : m_nId(AId), m_aArgs(AArgs) {}

TResText TResText::Fixed(const QString& AText) {
    return TResText(FIXED_TEXT, {AText});
}

QString TResText::Text() const {
    if (m_nId == 0)
        return QString();
    if (m_nId == FIXED_TEXT)
        return ArgText(m_aArgs.front());
    const TMsgArg* lFirst = m_aArgs.data();
    return FormatMsgArgs(LoadResString(m_nId), lFirst, lFirst + m_aArgs.size());
}

QStringList ResTexts(const std::vector<TResText>& ATexts) {
    QStringList lTexts;
    lTexts.reserve(qsizetype(ATexts.size()));
    for (const TResText& lText : ATexts)
        lTexts << lText.Text();
    return lTexts;
}
