#pragma once
// The numbered message catalogue of both programs. Every translatable message text is fetched by its
// number through LoadResString: the language file's translation when one is loaded (through the lookup
// installed by the translator), else the built-in English text of the running program.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <variant>
#include <vector>

// Which program's texts the catalogue answers with where the two differ (message 1).
enum class TMsgProgram { FrontDesk, Config };
void SetMsgProgram(TMsgProgram AProgram);
TMsgProgram MsgProgram();

// Catalogue numbers. They are the keys of the language files (Str<n>) and never change.
inline constexpr int MSG_APP_TITLE = 1;
inline constexpr int MSG_REALLY = 2;
inline constexpr int MSG_LANG_INTERNAL = 111;
inline constexpr int MSG_WRONG_ORV_VERSION = 112;
inline constexpr int MSG_VALUE_EMPTY = 113;
inline constexpr int MSG_VALUE_NOT_HEX = 114;
inline constexpr int MSG_TZ_ALREADY_ADDED = 228;
inline constexpr int MSG_SAVE_CHANGES = 229;
inline constexpr int MSG_KEY_ALREADY_ADDED = 230;
inline constexpr int MSG_ABOUT = 231;
inline constexpr int MSG_READER_CONNECT_FAILED = 232;
inline constexpr int MSG_KEY_NOT_FOUND = 233;
inline constexpr int MSG_KEY_EXISTS = 234;
inline constexpr int MSG_READER_SEARCH = 235;
inline constexpr int MSG_READER_NOT_FOUND = 236;
inline constexpr int MSG_READER_FOUND = 237;
inline constexpr int MSG_READER_SN = 238;
inline constexpr int MSG_FILTER_SHEET = 239;
inline constexpr int MSG_IMPORT_TZ_SHEET = 240;
inline constexpr int MSG_FILTER_CSV = 242;
inline constexpr int MSG_IMPORT_KEYS_SHEET = 243;
inline constexpr int MSG_CLIENT_ALREADY_ADDED = 244;
inline constexpr int MSG_REPORT_LINE = 245; // "%4d %s %s-%s %s"
inline constexpr int MSG_TOTAL_SUM = 246;   // "Total sum: %s"
inline constexpr int MSG_LOGGED_AT = 248;
inline constexpr int MSG_HAS_BEEN = 249;
inline constexpr int MSG_IN = 250;
inline constexpr int MSG_OUT = 251;
inline constexpr int MSG_RCPT_HEADER = 253;
inline constexpr int MSG_RCPT_NO = 254;
inline constexpr int MSG_RCPT_PAID_TIME = 255;
inline constexpr int MSG_RCPT_AMT = 256;
inline constexpr int MSG_RCPT_PRICE = 257;
inline constexpr int MSG_RCPT_SUM = 258;
inline constexpr int MSG_RCPT_MIN = 259;
inline constexpr int MSG_RCPT_CURRENCY = 260;
inline constexpr int MSG_RCPT_CURRENCY2 = 261;
inline constexpr int MSG_RCPT_TOTAL = 262;
inline constexpr int MSG_RCPT_NO_VAT = 263;
inline constexpr int MSG_TZ_TIME_ALREADY_ADDED = 264;
inline constexpr int MSG_VI_AUTH_ERROR = 268;
inline constexpr int MSG_VI_UNKNOWN_IMAGE = 269;
inline constexpr int MSG_VI_HTTP_ERROR = 270;
inline constexpr int MSG_VI_NO_RESPONSE = 271;
inline constexpr int MSG_UNIT_SEC = 272;
inline constexpr int MSG_UNIT_HOUR = 273;
inline constexpr int MSG_RCPT_ENTRANCE = 274;
inline constexpr int MSG_RCPT_MIN_AMOUNT = 275;
inline constexpr int MSG_RCPT_RESERVATION = 276;
inline constexpr int MSG_RCPT_OVERDUE = 277;
inline constexpr int MSG_RCPT_DAY_RESERVATION = 278;
inline constexpr int MSG_IN_OUT_COUNTS = 280; // "%d in / %d out"
inline constexpr int MSG_NOT_OUT = 281;       // "Not out:"
inline constexpr int MSG_NOT_OUT_LINE = 282;  // "%d %s"

// Messages added since, numbered from 1000 in one block of a hundred per program area (F: front desk,
// C: configuration program). A line break of these texts is a single LF, as the toolkit shows it; a
// translation's CR LF breaks are given back in that form.
//
// 1000-1099 (F, some shared with C): the front desk's main window, its tray and the reader's state.
inline constexpr int MSG_FIRST_START = 1000;        // the first-start box, %s = the data folder
inline constexpr int MSG_FIRST_START_CONFIG = 1001; // its button that starts ConfigTarvo
inline constexpr int MSG_FIRST_START_GO_ON = 1002;  // its button that goes on with the start
inline constexpr int MSG_EXIT_QUESTION = 1003;
inline constexpr int MSG_EXIT_CONSEQUENCE = 1004;
inline constexpr int MSG_TRAY_STILL_RUNNING = 1005;
inline constexpr int MSG_READER_LOST = 1006; // F, C: "Reader on %s lost: cards are not read"
inline constexpr int MSG_READER_BACK = 1007;
inline constexpr int MSG_READER_PORT_GONE = 1008;  // why the reader was lost
inline constexpr int MSG_READER_READ_ERROR = 1009; // why the reader was lost, %s = the error
inline constexpr int MSG_READER_SN_PLACE = 1010;   // "s/n %d", a reader known by its number only
inline constexpr int MSG_READER_SN_NOT_FOUND = 1011;
inline constexpr int MSG_READER_SN_NOT_ON_PORT = 1012;
inline constexpr int MSG_LOAD_PROBLEMS = 1013;
inline constexpr int MSG_WRITE_ONE_MORE = 1014;
inline constexpr int MSG_WRITE_MORE = 1015;
inline constexpr int MSG_WRITE_ONE_LISTED = 1016;
inline constexpr int MSG_WRITE_MORE_LISTED = 1017;
inline constexpr int MSG_WRITE_DEBUG_LOG_FAILED = 1018;
inline constexpr int MSG_TRAY_READER_LOST = 1019;   // the tray tool tip's second line
inline constexpr int MSG_CAMERA_NOT_FOUND = 1020;   // %s = the webcam's name
inline constexpr int MSG_CAMERA_NOT_STARTED = 1021; // %s = the webcam's name, %s = why
inline constexpr int MSG_CAMERA_LOST = 1022;
inline constexpr int MSG_CAMERA_BACK = 1023;
inline constexpr int MSG_NO_APP_OPENS = 1024; // a file or address no program opens
// What keeps the front desk from billing, listed in the start-up box; %s = the file, quoted.
inline constexpr int MSG_LOAD_NO_ZONE = 1025;
inline constexpr int MSG_LOAD_ONLY_CARD = 1026;
inline constexpr int MSG_LOAD_NO_CARD = 1027; // %d = the cards in the file, %s = the file
inline constexpr int MSG_LOAD_FILE_EMPTY = 1028;
inline constexpr int MSG_LOAD_NOT_DATA_FILE = 1029;
inline constexpr int MSG_LOAD_NO_VERSION = 1030;
inline constexpr int MSG_LOAD_BAD_VERSION = 1031; // %s = the file, %s = the version, quoted
// The day's log and report files.
inline constexpr int MSG_DAY_LINE_MISSING = 1032;
inline constexpr int MSG_DAY_LINES_MISSING = 1033;
inline constexpr int MSG_DAY_REPORT_UNCHECKED = 1034;   // %s = the file, %s = why
inline constexpr int MSG_CANNOT_MAKE_FOLDER_WHY = 1035; // %s = the folder, %s = why
inline constexpr int MSG_DAY_NOT_REBUILT = 1036;
inline constexpr int MSG_CANNOT_OPEN_FILE = 1037; // %s = the file, %s = why
inline constexpr int MSG_CANNOT_READ_FILE = 1038;
inline constexpr int MSG_BOOKINGS_UNREADABLE = 1039; // the bookings file, %s = why
inline constexpr int MSG_IS_A_FOLDER = 1040;
// 1100-1199 (F): the front desk's dialogs and report export.
inline constexpr int MSG_BOOKING_GUEST_LEFT = 1100;
inline constexpr int MSG_LOG_ITEM_GONE = 1101;
inline constexpr int MSG_RCPT_SAVE_PDF = 1102;
inline constexpr int MSG_FILTER_PDF = 1103;
inline constexpr int MSG_RCPT_NO_PRINTER = 1104;
inline constexpr int MSG_RCPT_NOT_PRINTED = 1105;
inline constexpr int MSG_FILTER_XLSX = 1106;
inline constexpr int MSG_FILTER_ODS = 1107;
inline constexpr int MSG_EXPORT_REPORT = 1108;
inline constexpr int MSG_REPORT_FILE_NAME = 1109; // "Report %s", %s = the day
inline constexpr int MSG_POPUP_TEST = 1110;
inline constexpr int MSG_HINT_ACC_PRICE = 1111; // tool tips of settings fields (edit fields' texts
inline constexpr int MSG_HINT_DAY_PRICE = 1112; // are no language keys)
inline constexpr int MSG_SAVE_SETTINGS_ANYWAY = 1113;
inline constexpr int MSG_DATA_FILE_INCOMPLETE = 1114; // %s = the file, %s = the reading error
inline constexpr int MSG_DEFAULT_FONT = 1115;         // the font list's entry for the popups' own font
// 1200-1299 (F): the webcam.
inline constexpr int MSG_CAM_NOT_SAVED = 1200; // %s = the file, %s = why
inline constexpr int MSG_CAM_NOT_ENCODED = 1201;
inline constexpr int MSG_CAM_NOT_VIDEO = 1202; // the device is no video source
inline constexpr int MSG_CAM_MODE_REFUSED = 1203;
inline constexpr int MSG_CAM_NOT_STARTED = 1204;
inline constexpr int MSG_CAM_NOT_STARTED_WHY = 1205;
inline constexpr int MSG_CAM_NO_MODE = 1206; // %d = the mode asked for
// The photo archive: why a photo cannot be shown or its folder made.
inline constexpr int MSG_FOTO_NO_FILE = 1207;
inline constexpr int MSG_FOTO_EMPTY = 1208;
inline constexpr int MSG_FOTO_UNREADABLE = 1209; // %s = the image reader's error
inline constexpr int MSG_FOTO_TOO_LARGE = 1210;  // %d x %d = the photo's size
inline constexpr int MSG_FOTO_UNDECODABLE = 1211;
inline constexpr int MSG_FOTO_DIR_BLOCKED = 1212;
inline constexpr int MSG_FOTO_DIR_NO_PARENT = 1213;
// 1300-1399 (C): the configuration program's main window.
inline constexpr int MSG_READER_OPEN_ON = 1300;
inline constexpr int MSG_NO_READER_OPEN = 1301;
inline constexpr int MSG_CARD_FILTER_HINT = 1302; // the placeholder of the card filter
inline constexpr int MSG_SAVE_ANYWAY = 1303;
inline constexpr int MSG_CANNOT_MAKE_FOLDER = 1304; // F, C
inline constexpr int MSG_IMPORTING = 1305;          // %s = the file
inline constexpr int MSG_EXPORT = 1306;             // caption of the export file dialogs
inline constexpr int MSG_IMPORT = 1307;             // caption of the import file dialogs
// 1400-1499 (C): the reader devices dialog.
inline constexpr int MSG_DEV_PCSC = 1400;
inline constexpr int MSG_DEV_KEYBOARD = 1401;
inline constexpr int MSG_DEV_SERIAL = 1402;
inline constexpr int MSG_DEV_NOT_SAVED = 1403;
inline constexpr int MSG_DEV_PRESENT_CARD = 1404;
inline constexpr int MSG_DEV_CANNOT_OPEN = 1405;
inline constexpr int MSG_DEV_CARD_READ = 1406;
// 1500-1599 (F, C): windows and errors both programs share.
inline constexpr int MSG_UNKNOWN_ERROR = 1500;

// The built-in English text of message AId for the program AProgram; empty when that program has no
// such message.
QString BuiltInResString(int AId, TMsgProgram AProgram);
// The text of message AId: the installed lookup's translation when it has one, else the built-in text
// of the running program (or, for a number only the other program uses, that one's text).
QString LoadResString(int AId);
// Every catalogue number of a program, ascending (the translator's template writer lists them).
std::vector<int> CatalogueIds(TMsgProgram AProgram);

// The translator routes lookups here while a language is loaded: true with VText set when the language
// file translates AId. An empty function ends the routing.
using TMsgLookup = std::function<bool(int AId, QString& VText)>;
void SetMsgLookup(TMsgLookup ALookup);

// Fills a catalogue text's printf-style directives (%d, %s, %%, with optional "-", "0", width and
// ".precision") from AArgs in order. Translated texts are outside input: a directive without an
// argument gives nothing, a number where text is expected (or the reverse) is written as its text, and
// anything unknown is copied as it stands, so no text can read past the arguments.
using TMsgArg = std::variant<std::int64_t, QString>;
QString FormatMsg(const QString& AFormat, std::initializer_list<TMsgArg> AArgs);
// LoadResString(AId) filled by FormatMsg.
QString FormatResString(int AId, std::initializer_list<TMsgArg> AArgs);

// A catalogue message kept with its arguments; its text is made each time it is asked for, in the
// language loaded then. What is noted before the language is known (while the data file is read, which
// names it) still reads in that language when it is shown.
class TResText {
public:
    TResText() = default;
    TResText(int AId, std::initializer_list<TMsgArg> AArgs);
    // A text outside the catalogue, given back as it stands.
    static TResText Fixed(const QString& AText);
    bool IsEmpty() const { return m_nId == 0; }
    QString Text() const;

private:
    static constexpr int FIXED_TEXT = -1;
    int m_nId = 0;
    std::vector<TMsgArg> m_aArgs;
};
QStringList ResTexts(const std::vector<TResText>& ATexts);
