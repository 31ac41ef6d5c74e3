#pragma once
// The photo archive: JPEG files in the "Photo" folder beside the data file, each named by the moment
// it was taken to the millisecond ("ddmmyyyy-hhnnss.<ms>.jpg", see TTarvoDoc::GetArchFotoPath). What
// the archive viewer and the photo-taking code need without a window lives here: reading the names
// back, choosing the photo nearest to a moment, the viewer's caption and scroll range, loading a photo
// with its size checked first, and deleting photos older than the days to keep.

#include "base/uDateTime.h"

#include <QImage>
#include <QString>

#include <cstddef>
#include <vector>

namespace Tarvo {

// Photos larger than this many pixels are not decoded (a damaged or hostile file must not take
// gigabytes of memory); no webcam delivers more than a few megapixels.
inline constexpr qint64 ARCH_FOTO_MAX_PIXELS = 16LL * 1024 * 1024;
// The archive listing holds at most this many moments (years of a busy desk).
inline constexpr std::size_t ARCH_FOTO_MAX_LISTED = 2000000;

// The moment of an archive file's name without its extension: at least 17 characters; characters 1-2
// day, 3-4 month, 5-8 year, 10-11 hours, 12-13 minutes, 14-15 seconds, from 17 to the end one to three
// digits of milliseconds, all forming a valid date and time. False for any other name.
bool ArchFotoNameToTime(const QString& ABaseName, TDateTime& VTime);

// The moments of the "*.jpg" files of ADir whose names follow the pattern, ascending. Folders and
// other names are skipped; a missing folder (or a file in its place) gives none.
std::vector<TDateTime> ListArchFotos(const QString& ADir);

// Which photo the viewer shows for a moment (file mode). m_nIndex is the scroll position (0 without
// photos); m_fHasFile tells whether a file is to be looked for at all, m_dtFile is its moment: the
// photo at the position when it is the moment itself or lies within the moment's second, otherwise
// the moment itself (whose file usually does not exist).
struct TArchFotoChoice {
    int m_nIndex = 0;
    bool m_fHasFile = false;
    TDateTime m_dtFile = 0;
};
TArchFotoChoice ChooseArchFoto(const std::vector<TDateTime>& AFotos, TDateTime AValue);

// The viewer's caption: AFirst + " [<check-in> / <check-out>]". An unknown (0) moment is "-"; both
// known on the same date: "dd.mm.yyyy hh:nn:ss" and "hh:nn:ss"; otherwise each with its date.
QString ArchFotoCaption(const QString& AFirst, TDateTime ATimeIn, TDateTime ATimeOut);
// "dd.mm.yyyy hh:nn:ss.zzz", the moment shown under the photo.
QString ArchFotoTimeText(TDateTime ATime);

// Scroll bar of the viewer: over the archive's photos in file mode (hidden without any), one minute to
// each side of the first moment in steps of AStepMs milliseconds in server mode (a step of 0 or less
// counts as 100).
struct TArchScrollRange {
    bool m_fVisible = false;
    int m_nMin = 0;
    int m_nMax = 0;
};
TArchScrollRange ArchFileScrollRange(std::size_t ACount);
TArchScrollRange ArchServerScrollRange(int AStepMs);
int ArchServerStep(int AStepMs);

// Loads a photo; a null image (VError, when given, says why) when the file is missing, empty, not an
// image, damaged beyond reading, or larger than ARCH_FOTO_MAX_PIXELS by its header.
QImage LoadArchFoto(const QString& APath, QString* VError = nullptr);

// Deletes the archive photos of ADir whose moments lie more than AKeepDays days before ANow; 0 or less
// keeps everything. Files with other names are left alone.
struct TArchPruneResult {
    int m_nDeleted = 0;
    int m_nFailed = 0;
};
TArchPruneResult PruneArchFotos(const QString& ADir, int AKeepDays, TDateTime ANow);

// Creates the archive folder ADir with its parents when missing; the folder itself readable by its
// owner only (the photos show the guests). False with VError when it cannot be made or a file is in
// its place.
bool ForceArchFotoDir(const QString& ADir, QString* VError = nullptr);

} // namespace Tarvo
