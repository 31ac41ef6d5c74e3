#pragma once
// The numbered message catalogue of both programs. Every translatable message text is fetched by its
// number through LoadResString: the language file's translation when one is loaded (through the lookup
// installed by the translator), else the built-in English text of the running program.

#include <QString>

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
