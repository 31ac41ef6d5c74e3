#pragma once
// The front desk's first start: with no data file it has nothing to bill, so it says where its data
// folder is and offers the configuration program instead of starting silently.

#include <QString>

namespace Tarvo {

struct TFirstStartFacts {
    bool m_fDataDirGiven = false;   // $TARVO_DATA_DIR names the data folder
    bool m_fDataFileExists = false; // the data folder holds Tarvo.xml
    bool m_fHandOver = false;       // started by the configuration program (/N)
};

// True when the setup is to be offered: no data file, a data folder the user did not choose, and not a
// hand-over from the configuration program (whose user has just been there).
bool ShouldOfferSetup(const TFirstStartFacts& AFacts);

// The facts of this start; AHandOver is the command line's /N. Finding the data folder creates it.
TFirstStartFacts CurrentFirstStartFacts(bool AHandOver);

// The text of the offer, naming ADataDir.
QString FirstStartText(const QString& ADataDir);

} // namespace Tarvo
