#include "frontdesk/uFirstStart.h"

#include "base/uMessages.h"
#include "base/uPaths.h"

#include <QFileInfo>

namespace Tarvo {

bool ShouldOfferSetup(const TFirstStartFacts& AFacts) {
    return !AFacts.m_fDataFileExists && !AFacts.m_fDataDirGiven && !AFacts.m_fHandOver;
}

TFirstStartFacts CurrentFirstStartFacts(bool AHandOver) {
    TFirstStartFacts lFacts;
    lFacts.m_fDataDirGiven = !qEnvironmentVariable("TARVO_DATA_DIR").trimmed().isEmpty();
    // A data file that is there but unreadable is not a first start: the start-up reports it.
    lFacts.m_fDataFileExists = QFileInfo::exists(DataFilePath());
    lFacts.m_fHandOver = AHandOver;
    return lFacts;
}

QString FirstStartText(const QString& ADataDir) {
    return FormatResString(MSG_FIRST_START, {ADataDir});
}

} // namespace Tarvo
