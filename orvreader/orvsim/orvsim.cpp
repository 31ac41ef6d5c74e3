// orvsim: plugs and unplugs virtual readers on the bus, presents cards and shows what the readers
// were told. Exit status 0 on success, 1 when the bus state does not allow the command (no such port,
// port already plugged, no session holding the port), 2 on bad input (the bus is then left untouched).

#include "orvreader/OrvPort.h"
#include "orvreader/OrvReader.h"
#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvMessages.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace Orv;

namespace {

constexpr std::uint32_t DefaultModel = ORVR_RD_DESK;
constexpr std::uint32_t DefaultCardType = ORVR_CD_EM_MARINE;
constexpr std::uint32_t ReaderVersion = 1 | (4 << 8); // 1.4.0

const char Usage[] =
    "usage: orvsim plug PORT [--sn N] [--model N] [--friendly NAME]\n"
    "       orvsim unplug PORT\n"
    "       orvsim present PORT KEYHEX [--card-type N]\n"
    "       orvsim state PORT\n"
    "       orvsim events PORT\n"
    "       orvsim list\n"
    "A PORT named COM and a number is a serial port (COM03 and com3 are COM3), any other\n"
    "name a USB port; --friendly gives a USB port's serial-port name. --model 0..9 (7: base\n"
    "station; 0: no reader; default 1), --sn defaults to a number derived from the port\n"
    "name, --card-type 0..21\n"
    "(default 1). KEYHEX: 1 to 30 hexadecimal digits. Each option is given at most once.\n"
    "The bus is the folder $ORV_SIM_BUS, else <runtime>/orvsim; it is made when missing.\n";

struct TBadInput {
    std::string sText;
};

int Fail(int AStatus, const std::string& AText) {
    std::fprintf(stderr, "orvsim: %s\n", AText.c_str());
    return AStatus;
}

std::u16string PortArg(const std::string& AText) {
    std::u16string lName;
    if (!Utf8ToUtf16(AText, lName))
        throw TBadInput{"port name is not valid UTF-8"};
    switch (CheckPortName(lName)) {
    case TNameCheck::Empty:
        throw TBadInput{"port name is empty"};
    case TNameCheck::TooLong:
        throw TBadInput{"port name \"" + AText + "\" is longer than 31 characters"};
    case TNameCheck::BadChar:
        throw TBadInput{"port name \"" + AText + "\" holds a blank or a control character"};
    case TNameCheck::Ok:
        break;
    }
    return lName;
}

std::uint64_t NumberArg(const std::string& AOption, const std::string& AText, std::uint64_t AMax) {
    std::uint64_t lValue = 0;
    if (!ParseUInt(AText, AMax, lValue))
        throw TBadInput{AOption + " needs a number from 0 to " + std::to_string(AMax) + ", not \"" + AText +
                        "\""};
    return lValue;
}

// Positional arguments and --name value / --name=value options of the names allowed.
struct TArgs {
    std::vector<std::string> aPos;
    std::map<std::string, std::string> oOpts;
};

TArgs ParseArgs(int argc, char** argv, std::initializer_list<const char*> AAllowed) {
    TArgs lArgs;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a.size() > 1 && a[0] == '-') {
            std::string lName = a, lValue;
            bool lHasValue = false;
            if (std::size_t lEq = a.find('='); lEq != std::string::npos) {
                lName = a.substr(0, lEq);
                lValue = a.substr(lEq + 1);
                lHasValue = true;
            }
            bool lKnown = false;
            for (const char* n : AAllowed)
                lKnown = lKnown || lName == n;
            if (!lKnown)
                throw TBadInput{"unknown option \"" + lName + "\" for " + argv[1]};
            if (!lHasValue) {
                if (i + 1 >= argc)
                    throw TBadInput{lName + " needs a value"};
                lValue = argv[++i];
            }
            // Which of two values was meant cannot be told: a second one is refused, not overriding.
            if (!lArgs.oOpts.emplace(lName, lValue).second)
                throw TBadInput{"option " + lName + " given more than once"};
        } else {
            lArgs.aPos.push_back(a);
        }
    }
    return lArgs;
}

void ExpectPositional(const TArgs& AArgs, std::size_t ACount, const char* ACommand) {
    if (AArgs.aPos.size() != ACount)
        throw TBadInput{std::string(ACommand) + " takes " + std::to_string(ACount) + " argument" +
                        (ACount == 1 ? "" : "s") + ", not " + std::to_string(AArgs.aPos.size())};
}

std::int32_t DefaultSn(const std::u16string& AName) {
    std::uint32_t h = 2166136261u;
    for (char16_t c : AName) {
        h ^= c;
        h *= 16777619u;
    }
    return std::int32_t(10000 + h % 90000);
}

std::string VersionText(std::uint32_t AVersion) {
    return std::to_string(AVersion & 0xFF) + "." + std::to_string((AVersion >> 8) & 0xFF) + "." +
           std::to_string((AVersion >> 16) & 0xFF);
}

// Failure text of a bus result.
std::string ResultText(std::int32_t ACode, const std::string& APort) {
    if (ACode == ORV_E_PORT_NOT_FOUND)
        return "no reader is plugged into port " + APort;
    if (ACode == ORV_E_NO_SESSION)
        return "no session holds port " + APort;
    if (ACode == ORV_E_PORT_EXISTS)
        return "a reader is already plugged into port " + APort;
    if (ORV_FACILITY(ACode) == ORV_FACILITY_OS)
        return std::string("bus: ") + std::strerror(ACode & 0xFFFF);
    const char* lText = MessageText(ACode);
    return lText ? lText : "failure " + std::to_string(ACode);
}

int Run(int argc, char** argv) {
    if (argc < 2)
        throw TBadInput{"no command given (orvsim --help lists them)"};
    std::string lCmd = argv[1];
    if (lCmd == "--help" || lCmd == "-h" || lCmd == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }

    // Everything the command needs is checked before the bus is touched.
    TArgs lArgs;
    TBusPort lPlug;
    TKey lKey{};
    std::uint32_t lCardType = DefaultCardType;
    if (lCmd == "plug") {
        lArgs = ParseArgs(argc, argv, {"--sn", "--model", "--friendly"});
        ExpectPositional(lArgs, 1, "plug");
        lPlug.sName = CanonicalPortName(PortArg(lArgs.aPos[0]));
        lPlug.nPortType = IsComName(lPlug.sName) ? ORVP_PORT_COM : ORVP_PORT_FT;
        lPlug.nModel = lArgs.oOpts.count("--model")
                           ? std::uint32_t(NumberArg("--model", lArgs.oOpts["--model"], 9))
                           : DefaultModel;
        lPlug.nSn = lArgs.oOpts.count("--sn")
                        ? std::int32_t(NumberArg("--sn", lArgs.oOpts["--sn"], 2147483647))
                        : DefaultSn(lPlug.sName);
        if (lArgs.oOpts.count("--friendly")) {
            if (lPlug.nPortType != ORVP_PORT_FT)
                throw TBadInput{"--friendly gives the serial-port name of a USB port; " + lArgs.aPos[0] +
                                " is a serial port"};
            lPlug.sFriendly = PortArg(lArgs.oOpts["--friendly"]);
            if (!IsComName(lPlug.sFriendly))
                throw TBadInput{"--friendly needs a serial-port name (COM and a number), not \"" +
                                lArgs.oOpts["--friendly"] + "\""};
            lPlug.sFriendly = CanonicalPortName(lPlug.sFriendly);
        }
        lPlug.nVersion = lPlug.nModel ? ReaderVersion : 0;
        lPlug.nPluggedMs = SteadyMs();
    } else if (lCmd == "present") {
        lArgs = ParseArgs(argc, argv, {"--card-type"});
        ExpectPositional(lArgs, 2, "present");
        PortArg(lArgs.aPos[0]);
        if (!ParseKeyHex(lArgs.aPos[1], lKey))
            throw TBadInput{"key \"" + lArgs.aPos[1] + "\" is not 1 to 30 hexadecimal digits (15 bytes)"};
        if (lArgs.oOpts.count("--card-type"))
            lCardType =
                std::uint32_t(NumberArg("--card-type", lArgs.oOpts["--card-type"], ORVR_CD_TYPE_COUNT - 1));
    } else if (lCmd == "unplug" || lCmd == "state" || lCmd == "events") {
        lArgs = ParseArgs(argc, argv, {});
        ExpectPositional(lArgs, 1, lCmd.c_str());
        PortArg(lArgs.aPos[0]);
    } else if (lCmd == "list") {
        lArgs = ParseArgs(argc, argv, {});
        ExpectPositional(lArgs, 0, "list");
    } else {
        throw TBadInput{"unknown command \"" + lCmd + "\" (orvsim --help lists them)"};
    }

    // The bus folder is made when missing, as the programs make it: whichever starts first.
    std::string lPath = BusFolder();
    if (std::int32_t r = MakeFolders(lPath); r != ORV_OK)
        return Fail(1, "cannot create the bus folder " + lPath + ": " + ResultText(r, ""));
    TBus lBus;
    if (std::int32_t r = lBus.Open(lPath); r != ORV_OK)
        return Fail(1, "cannot open the bus folder " + lPath + ": " + ResultText(r, ""));

    const std::string lPortText = lArgs.aPos.empty() ? std::string() : lArgs.aPos[0];
    if (lCmd == "plug") {
        std::int32_t r = lBus.Plug(lPlug);
        if (r == ORV_E_NAME_IN_USE)
            return Fail(1, "serial-port name " +
                               Utf16ToUtf8(lPlug.sFriendly.empty() ? lPlug.sName : lPlug.sFriendly) +
                               " is already taken by another port");
        return r == ORV_OK ? 0 : Fail(1, ResultText(r, lPortText));
    }
    if (lCmd == "unplug") {
        std::int32_t r = lBus.Unplug(PortArg(lPortText));
        return r == ORV_OK ? 0 : Fail(1, ResultText(r, lPortText));
    }
    if (lCmd == "present") {
        std::int32_t r = lBus.Present(PortArg(lPortText), lCardType, lKey);
        return r == ORV_OK ? 0 : Fail(1, ResultText(r, lPortText));
    }
    if (lCmd == "list") {
        std::vector<TPortEntry> lPorts;
        lBus.ListPorts(lPorts);
        for (const TPortEntry& e : lPorts) {
            const TBusPort& p = e.rPort;
            std::string lLine = Utf16ToUtf8(p.sName) + (p.nPortType == ORVP_PORT_COM ? " serial" : " usb");
            if (!p.sFriendly.empty())
                lLine += " friendly=" + Utf16ToUtf8(p.sFriendly);
            lLine += " model=" + std::to_string(p.nModel) + " sn=" + std::to_string(p.nSn) +
                     " version=" + VersionText(p.nVersion) + (e.fOpen ? " open" : " closed");
            std::printf("%s\n", lLine.c_str());
        }
        return 0;
    }
    TPortEntry lEntry;
    if (std::int32_t r = lBus.FindPort(ORVP_PORT_UNDEF, PortArg(lPortText), lEntry); r != ORV_OK)
        return Fail(1, ResultText(r, lPortText));
    if (lCmd == "state") {
        TBusOutputs o = lBus.ReadOutputs(lEntry.sFolder);
        auto On = [&](int i) { return o.aOn[i] ? "on" : "off"; };
        std::printf("%s green=%s red=%s beep=%s power=%s format=\"%s\"\n", lEntry.fOpen ? "open" : "closed",
                    On(boGreen), On(boRed), On(boBeep), On(boPower), Utf16ToUtf8(o.sFormat).c_str());
        return 0;
    }
    for (const std::string& l : lBus.ReadEvents(lEntry.sFolder))
        std::printf("%s\n", l.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const TBadInput& e) {
        return Fail(2, e.sText);
    } catch (const std::exception& e) {
        return Fail(1, e.what());
    }
}
