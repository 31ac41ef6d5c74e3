// The photo archive's names, choice of photo, captions, loading and pruning.

#include "frontdesk/uPhotoArchive.h"

#include "base/uMessages.h"
#include "frontdesk/uTarvoDoc.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>

#include <sys/stat.h>

namespace Tarvo {

namespace {

// The integer of ALen characters of AName from the 0-based position APos; all must be ASCII digits.
bool DigitsAt(const QString& AName, int APos, int ALen, int& VValue) {
    if (APos + ALen > AName.size() || ALen <= 0)
        return false;
    int lValue = 0;
    for (int i = APos; i < APos + ALen; ++i) {
        const QChar c = AName.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        lValue = lValue * 10 + (c.unicode() - '0');
    }
    VValue = lValue;
    return true;
}

std::int64_t WholeMs(TDateTime AValue) {
    return std::llround(AValue * MSecsPerDay);
}

QString DateTimeText(TDateTime ATime, bool AWithDate) {
    int lYear = 0, lMonth = 0, lDay = 0, lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeDate(ATime, lYear, lMonth, lDay);
    DecodeTime(ATime, lHour, lMin, lSec, lMSec);
    if (!AWithDate)
        return QString::asprintf("%.2d:%.2d:%.2d", lHour, lMin, lSec);
    return QString::asprintf("%.2d.%.2d.%.4d %.2d:%.2d:%.2d", lDay, lMonth, lYear, lHour, lMin, lSec);
}

// Moments outside the calendar cannot be decoded; they never come from a file name.
bool InCalendar(TDateTime ATime) {
    return std::isfinite(ATime) && ATime > -693593.0 && ATime < 2958466.0;
}

} // namespace

bool ArchFotoNameToTime(const QString& ABaseName, TDateTime& VTime) {
    if (ABaseName.size() < 17 || ABaseName.size() > 19)
        return false;
    int lDay = 0, lMonth = 0, lYear = 0, lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    if (!DigitsAt(ABaseName, 0, 2, lDay) || !DigitsAt(ABaseName, 2, 2, lMonth) ||
        !DigitsAt(ABaseName, 4, 4, lYear) || !DigitsAt(ABaseName, 9, 2, lHour) ||
        !DigitsAt(ABaseName, 11, 2, lMin) || !DigitsAt(ABaseName, 13, 2, lSec) ||
        !DigitsAt(ABaseName, 16, static_cast<int>(ABaseName.size()) - 16, lMSec))
        return false;
    TDateTime lDate = 0, lTime = 0;
    if (!TryEncodeDate(lYear, lMonth, lDay, lDate) || !TryEncodeTime(lHour, lMin, lSec, lMSec, lTime))
        return false;
    VTime = lDate + (lDate < 0 ? -lTime : lTime);
    return true;
}

std::vector<TDateTime> ListArchFotos(const QString& ADir) {
    std::vector<TDateTime> lFotos;
    if (ADir.isEmpty() || !QFileInfo(ADir).isDir())
        return lFotos;
    QDirIterator lIt(ADir, {QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden | QDir::System);
    while (lIt.hasNext() && lFotos.size() < ARCH_FOTO_MAX_LISTED) {
        lIt.next();
        const QFileInfo lInfo = lIt.fileInfo();
        if (lInfo.isDir())
            continue;
        QString lName = lInfo.fileName();
        lName.chop(4); // ".jpg"
        TDateTime lTime = 0;
        if (ArchFotoNameToTime(lName, lTime))
            lFotos.push_back(lTime);
    }
    std::sort(lFotos.begin(), lFotos.end());
    return lFotos;
}

TArchFotoChoice ChooseArchFoto(const std::vector<TDateTime>& AFotos, TDateTime AValue) {
    TArchFotoChoice lChoice;
    if (AFotos.empty())
        return lChoice;
    const auto lExact = std::find(AFotos.begin(), AFotos.end(), AValue);
    if (lExact != AFotos.end()) {
        lChoice.m_nIndex = static_cast<int>(lExact - AFotos.begin());
        lChoice.m_fHasFile = true;
        lChoice.m_dtFile = AValue;
        return lChoice;
    }
    std::size_t i =
        static_cast<std::size_t>(std::upper_bound(AFotos.begin(), AFotos.end(), AValue) - AFotos.begin());
    if (i > 0 && (i >= AFotos.size() || std::llabs(WholeMs(AValue) - WholeMs(AFotos[i - 1])) <
                                            std::llabs(WholeMs(AFotos[i]) - WholeMs(AValue))))
        --i;
    lChoice.m_nIndex = static_cast<int>(i);
    lChoice.m_fHasFile = true;
    // A photo counts only within the moment's own second: the moments of the lists are often whole
    // seconds, the photo names carry milliseconds.
    lChoice.m_dtFile = SameDateTimeMs(TTarvoDoc::RoundToSeconds(AFotos[i]), AValue) ? AFotos[i] : AValue;
    return lChoice;
}

QString ArchFotoCaption(const QString& AFirst, TDateTime ATimeIn, TDateTime ATimeOut) {
    QString lIn = QStringLiteral("-");
    QString lOut = QStringLiteral("-");
    const bool lInKnown = ATimeIn != 0 && InCalendar(ATimeIn);
    const bool lOutKnown = ATimeOut != 0 && InCalendar(ATimeOut);
    if (lInKnown && lOutKnown && DateOf(ATimeIn) == DateOf(ATimeOut)) {
        lIn = DateTimeText(ATimeIn, true);
        lOut = DateTimeText(ATimeOut, false);
    } else {
        if (lInKnown)
            lIn = DateTimeText(ATimeIn, true);
        if (lOutKnown)
            lOut = DateTimeText(ATimeOut, true);
    }
    return AFirst + QStringLiteral(" [%1 / %2]").arg(lIn, lOut);
}

QString ArchFotoTimeText(TDateTime ATime) {
    if (!InCalendar(ATime))
        return QString();
    int lMSec = 0, lHour = 0, lMin = 0, lSec = 0;
    DecodeTime(ATime, lHour, lMin, lSec, lMSec);
    return DateTimeText(ATime, true) + QString::asprintf(".%.3d", lMSec);
}

TArchScrollRange ArchFileScrollRange(std::size_t ACount) {
    TArchScrollRange lRange;
    if (ACount == 0)
        return lRange;
    lRange.m_fVisible = true;
    lRange.m_nMax = static_cast<int>(std::min<std::size_t>(ACount, ARCH_FOTO_MAX_LISTED) - 1);
    return lRange;
}

int ArchServerStep(int AStepMs) {
    return AStepMs <= 0 ? 100 : AStepMs;
}

TArchScrollRange ArchServerScrollRange(int AStepMs) {
    const int lStep = ArchServerStep(AStepMs);
    const int lHalf = static_cast<int>(120000 / (2 * static_cast<std::int64_t>(lStep)));
    return TArchScrollRange{true, -lHalf, lHalf};
}

QImage LoadArchFoto(const QString& APath, QString* VError) {
    const auto lFail = [VError](const QString& AWhy) {
        if (VError)
            *VError = AWhy;
        return QImage();
    };
    const QFileInfo lInfo(APath);
    if (!lInfo.isFile())
        return lFail(LoadResString(MSG_FOTO_NO_FILE));
    if (lInfo.size() == 0)
        return lFail(LoadResString(MSG_FOTO_EMPTY));
    QImageReader lReader(APath);
    lReader.setDecideFormatFromContent(true);
    const QSize lSize = lReader.size(); // from the header, nothing decoded yet
    if (!lSize.isValid() || lSize.isEmpty())
        return lFail(FormatResString(MSG_FOTO_UNREADABLE, {lReader.errorString()}));
    if (static_cast<qint64>(lSize.width()) * lSize.height() > ARCH_FOTO_MAX_PIXELS)
        return lFail(
            FormatResString(MSG_FOTO_TOO_LARGE, {std::int64_t(lSize.width()), std::int64_t(lSize.height())}));
    QImage lImage = lReader.read();
    if (lImage.isNull())
        return lFail(FormatResString(MSG_FOTO_UNDECODABLE, {lReader.errorString()}));
    return lImage;
}

TArchPruneResult PruneArchFotos(const QString& ADir, int AKeepDays, TDateTime ANow) {
    TArchPruneResult lResult;
    if (AKeepDays <= 0 || ADir.isEmpty() || !QFileInfo(ADir).isDir())
        return lResult;
    const TDateTime lLimit = ANow - AKeepDays;
    QDirIterator lIt(ADir, {QStringLiteral("*.jpg")}, QDir::Files | QDir::Hidden | QDir::System);
    while (lIt.hasNext()) {
        lIt.next();
        const QFileInfo lInfo = lIt.fileInfo();
        QString lName = lInfo.fileName();
        lName.chop(4);
        TDateTime lTime = 0;
        if (lInfo.isDir() || !ArchFotoNameToTime(lName, lTime) || lTime >= lLimit)
            continue;
        if (QFile::remove(lInfo.filePath()))
            ++lResult.m_nDeleted;
        else
            ++lResult.m_nFailed;
    }
    return lResult;
}

bool ForceArchFotoDir(const QString& ADir, QString* VError) {
    const QFileInfo lInfo(ADir);
    if (lInfo.isDir())
        return true;
    const auto lFail = [&](const QString& AWhy) {
        if (VError)
            *VError = FormatResString(MSG_CANNOT_MAKE_FOLDER_WHY, {ADir, AWhy});
        return false;
    };
    if (lInfo.exists())
        return lFail(LoadResString(MSG_FOTO_DIR_BLOCKED));
    const QString lParent = lInfo.absolutePath();
    if (!QDir().mkpath(lParent))
        return lFail(LoadResString(MSG_FOTO_DIR_NO_PARENT));
    // Made with the owner's rights only, not widened afterwards, so the folder is never readable by
    // others even for a moment.
    if (::mkdir(QFile::encodeName(ADir).constData(), S_IRWXU) != 0 && !QFileInfo(ADir).isDir())
        return lFail(QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

} // namespace Tarvo
