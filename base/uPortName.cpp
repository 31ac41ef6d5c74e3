#include "base/uPortName.h"

#include <limits>

namespace {

// An optional sign and decimal digits within the 32-bit range, nothing else.
bool IsInteger(QStringView AText) {
    qsizetype i = 0;
    if (i < AText.size() && (AText[i] == QLatin1Char('+') || AText[i] == QLatin1Char('-')))
        ++i;
    if (i == AText.size())
        return false;
    qint64 value = 0;
    for (; i < AText.size(); ++i) {
        if (AText[i] < QLatin1Char('0') || AText[i] > QLatin1Char('9'))
            return false;
        value = value * 10 + (AText[i].unicode() - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return false;
    }
    return AText[0] == QLatin1Char('-') || value <= std::numeric_limits<qint32>::max();
}

} // namespace

TPortKind PortTypeOfName(const QString& AName) {
    if (AName.size() >= 4 && AName.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) &&
        IsInteger(QStringView(AName).mid(3)))
        return TPortKind::Com;
    return TPortKind::Ft;
}
