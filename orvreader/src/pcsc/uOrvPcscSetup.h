#pragma once
// The set-up of PC/SC readers from the library's configuration (readers.ini, kind=pcsc): a reader
// listed there by its identity or its full name has that alias and number format; any other gets the
// next free NFC alias (hexadecimal UIDs), kept for its identity for the life of the process, so it
// works without the file and keeps its name when plugged out and back.

#include "orvreader/src/pcsc/uOrvPcscBackend.h"
#include "orvreader/src/uOrvReadersIni.h"

namespace Orv {

// The set-ups of AReaders in the configuration AConf. AKept holds the aliases given earlier to readers
// the file does not name (identity and alias) and receives the new ones.
std::vector<TPcscSetup> PcscSetups(const TReadersConf& AConf, const std::vector<TPcscReaderName>& AReaders,
                                   std::vector<std::pair<std::string, std::string>>& VKept);

// PcscSetups over readers.ini as it is on disk at each call, with one kept table per process.
TPcscSetupFunc PcscConfiguredSetups();

} // namespace Orv
