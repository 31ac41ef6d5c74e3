#include "orvreader/src/pcsc/uOrvPcscSetup.h"

#include "orvreader/src/uOrvBusFormat.h"

#include <algorithm>
#include <mutex>

namespace Orv {

std::vector<TPcscSetup> PcscSetups(const TReadersConf& AConf, const std::vector<TPcscReaderName>& AReaders,
                                   std::vector<std::pair<std::string, std::string>>& VKept) {
    std::vector<TPcscSetup> lSetups(AReaders.size());
    std::vector<std::string> lTaken; // aliases given in this call
    std::vector<bool> lDone(AReaders.size(), false);
    // Readers of the file first: their aliases are theirs whatever else is plugged.
    for (std::size_t i = 0; i < AReaders.size(); ++i) {
        for (const TReaderConf& c : AConf.aReaders) {
            if (c.nKind != TReaderKind::Pcsc || !ValidAlias(c.sAlias, TReaderKind::Pcsc))
                continue;
            if (c.sDevice != AReaders[i].sIdentity && c.sDevice != AReaders[i].sReader)
                continue;
            if (std::find(lTaken.begin(), lTaken.end(), c.sAlias) != lTaken.end())
                continue; // two equal readers under one entry: the second is a reader the file does not name
            Utf8ToUtf16(c.sAlias, lSetups[i].sAlias);
            lSetups[i].nFormat = c.nFormat;
            lTaken.push_back(c.sAlias);
            lDone[i] = true;
            break;
        }
    }
    auto lFree = [&](const std::string& AAlias) {
        const TReaderConf* c = AConf.Find(AAlias);
        return !c && std::find(lTaken.begin(), lTaken.end(), AAlias) == lTaken.end();
    };
    for (std::size_t i = 0; i < AReaders.size(); ++i) {
        if (lDone[i])
            continue;
        auto it = std::find_if(VKept.begin(), VKept.end(),
                               [&](const auto& k) { return k.first == AReaders[i].sIdentity; });
        std::string lAlias;
        if (it != VKept.end() && lFree(it->second)) {
            lAlias = it->second;
        } else {
            for (unsigned n = 1; lAlias.empty(); ++n) {
                std::string a = "NFC" + std::to_string(n);
                const bool lKeptByOther = std::any_of(VKept.begin(), VKept.end(), [&](const auto& k) {
                    return k.second == a && k.first != AReaders[i].sIdentity;
                });
                if (lFree(a) && !lKeptByOther)
                    lAlias = a;
            }
            if (it != VKept.end())
                it->second = lAlias;
            else
                VKept.emplace_back(AReaders[i].sIdentity, lAlias);
        }
        Utf8ToUtf16(lAlias, lSetups[i].sAlias);
        lTaken.push_back(lAlias);
    }
    return lSetups;
}

TPcscSetupFunc PcscConfiguredSetups() {
    struct TKept {
        std::mutex oLock;
        std::vector<std::pair<std::string, std::string>> aKept;
    };
    static TKept* s_pKept = new TKept; // shared by every start of the library in the process
    return [](const std::vector<TPcscReaderName>& AReaders) {
        TReadersConf lConf;
        const std::string lPath = ReadersIniPath();
        if (!lPath.empty())
            LoadReadersIni(lPath, lConf); // an unreadable file names no reader
        std::lock_guard<std::mutex> g(s_pKept->oLock);
        return PcscSetups(lConf, AReaders, s_pKept->aKept);
    };
}

} // namespace Orv
