#include "sheet/uSheetNumFmt.h"

#include "base/uMoney.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>

#include <cmath>

QString BuiltInNumFmt(int AId) {
    switch (AId) {
    case 0:
        return QStringLiteral("General");
    case 1:
        return QStringLiteral("0");
    case 2:
        return QStringLiteral("0.00");
    case 3:
        return QStringLiteral("#,##0");
    case 4:
        return QStringLiteral("#,##0.00");
    case 9:
        return QStringLiteral("0%");
    case 10:
        return QStringLiteral("0.00%");
    case 11:
        return QStringLiteral("0.00E+00");
    case 12:
        return QStringLiteral("# ?/?");
    case 13:
        return QStringLiteral("# ?\?/?\?");
    case 14:
        return QStringLiteral("mm-dd-yy");
    case 15:
        return QStringLiteral("d-mmm-yy");
    case 16:
        return QStringLiteral("d-mmm");
    case 17:
        return QStringLiteral("mmm-yy");
    case 18:
        return QStringLiteral("h:mm AM/PM");
    case 19:
        return QStringLiteral("h:mm:ss AM/PM");
    case 20:
        return QStringLiteral("h:mm");
    case 21:
        return QStringLiteral("h:mm:ss");
    case 22:
        return QStringLiteral("m/d/yy h:mm");
    case 37:
        return QStringLiteral("#,##0 ;(#,##0)");
    case 38:
        return QStringLiteral("#,##0 ;[Red](#,##0)");
    case 39:
        return QStringLiteral("#,##0.00;(#,##0.00)");
    case 40:
        return QStringLiteral("#,##0.00;[Red](#,##0.00)");
    case 45:
        return QStringLiteral("mm:ss");
    case 46:
        return QStringLiteral("[h]:mm:ss");
    case 47:
        return QStringLiteral("mmss.0");
    case 48:
        return QStringLiteral("##0.0E+0");
    case 49:
        return QStringLiteral("@");
    default:
        return QString();
    }
}

namespace {

QString General(double AValue) {
    if (std::isnan(AValue) || std::isinf(AValue))
        return QString::number(AValue);
    if (AValue == std::trunc(AValue) && std::fabs(AValue) < 1e15)
        return QString::number(qint64(AValue));
    QString lText = QString::number(AValue, 'g', 15);
    if (lText.contains(QLatin1Char('e')))
        lText = lText.toUpper();
    return lText;
}

// The section of the code for the value's sign, without what only looks changes: [Red], [$-409],
// conditions; [h], [m] and [s] stay. AUsedNegative: the negative section was chosen (its sign is part
// of its text, so none is added).
QString SectionFor(const QString& ACode, double AValue, bool& VNegativeSection) {
    QStringList lSections;
    QString lCurrent;
    bool lQuoted = false;
    for (qsizetype i = 0; i < ACode.size(); ++i) {
        const QChar c = ACode.at(i);
        if (c == QLatin1Char('"'))
            lQuoted = !lQuoted;
        if (c == QLatin1Char(';') && !lQuoted) {
            lSections << lCurrent;
            lCurrent.clear();
            continue;
        }
        lCurrent += c;
    }
    lSections << lCurrent;
    VNegativeSection = AValue < 0 && lSections.size() >= 2;
    QString lSection = VNegativeSection ? lSections.at(1) : lSections.at(0);
    if (AValue == 0 && lSections.size() >= 3)
        lSection = lSections.at(2);
    QString lClean;
    for (qsizetype i = 0; i < lSection.size(); ++i) {
        if (lSection.at(i) == QLatin1Char('[')) {
            const qsizetype lEnd = lSection.indexOf(QLatin1Char(']'), i);
            if (lEnd < 0)
                break;
            const QString lTag = lSection.mid(i + 1, lEnd - i - 1).toLower();
            if (lTag == QLatin1String("h") || lTag == QLatin1String("hh") || lTag == QLatin1String("m") ||
                lTag == QLatin1String("mm") || lTag == QLatin1String("s") || lTag == QLatin1String("ss"))
                lClean += QLatin1Char('[') + lTag + QLatin1Char(']');
            i = lEnd;
            continue;
        }
        lClean += lSection.at(i);
    }
    return lClean;
}

bool IsDateCode(const QString& ACode) {
    bool lQuoted = false;
    for (const QChar c : ACode) {
        if (c == QLatin1Char('"'))
            lQuoted = !lQuoted;
        else if (!lQuoted && QStringLiteral("yYdDhHsS").contains(c))
            return true;
        else if (!lQuoted && (c == QLatin1Char('m') || c == QLatin1Char('M')) &&
                 !ACode.contains(QLatin1Char('0')))
            return true;
    }
    return false;
}

bool IsScientific(const QString& ACode) {
    bool lQuoted = false;
    for (qsizetype i = 0; i + 1 < ACode.size(); ++i) {
        if (ACode.at(i) == QLatin1Char('"'))
            lQuoted = !lQuoted;
        else if (!lQuoted && ACode.at(i).toUpper() == QLatin1Char('E') &&
                 (ACode.at(i + 1) == QLatin1Char('+') || ACode.at(i + 1) == QLatin1Char('-')))
            return true;
    }
    return false;
}

QString FormatDate(double AValue, const QString& ACode) {
    const double lDays = std::floor(AValue);
    qint64 lMs = std::llround((AValue - lDays) * 86400000.0);
    qint64 lDayNum = qint64(lDays);
    if (lMs >= 86400000) {
        lMs -= 86400000;
        ++lDayNum;
    }
    const QDate lDate = QDate(1899, 12, 30).addDays(lDayNum);
    const QTime lTime = QTime(0, 0).addMSecs(int(lMs));
    const bool lAmPm = ACode.contains(QLatin1String("AM/PM"), Qt::CaseInsensitive);
    static const char* const cMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    QString lOut;
    bool lAfterHour = false;
    for (qsizetype i = 0; i < ACode.size();) {
        const QChar c = ACode.at(i);
        qsizetype n = 1;
        while (i + n < ACode.size() && ACode.at(i + n).toLower() == c.toLower())
            ++n;
        const QChar l = c.toLower();
        if (c == QLatin1Char('"')) {
            const qsizetype lEnd = ACode.indexOf(QLatin1Char('"'), i + 1);
            lOut += ACode.mid(i + 1, (lEnd < 0 ? ACode.size() : lEnd) - i - 1);
            i = lEnd < 0 ? ACode.size() : lEnd + 1;
            continue;
        }
        if (c == QLatin1Char('\\') && i + 1 < ACode.size()) {
            lOut += ACode.at(i + 1);
            i += 2;
            continue;
        }
        if (ACode.mid(i, 5).compare(QLatin1String("AM/PM"), Qt::CaseInsensitive) == 0) {
            lOut += lTime.hour() < 12 ? QStringLiteral("AM") : QStringLiteral("PM");
            i += 5;
            continue;
        }
        if (c == QLatin1Char('[')) {
            const qsizetype lEnd = ACode.indexOf(QLatin1Char(']'), i);
            const QString lTag = ACode.mid(i + 1, lEnd - i - 1);
            const qint64 lTotalMin = lDayNum * 1440 + lMs / 60000;
            if (lTag.startsWith(QLatin1Char('h')))
                lOut += QString::number(lDayNum * 24 + lTime.hour());
            else if (lTag.startsWith(QLatin1Char('m')))
                lOut += QString::number(lTotalMin);
            else
                lOut += QString::number(lTotalMin * 60 + lTime.second());
            lAfterHour = lTag.startsWith(QLatin1Char('h'));
            i = lEnd < 0 ? ACode.size() : lEnd + 1;
            continue;
        }
        const auto lPad = [&](int AValue2) {
            return n >= 2 ? QStringLiteral("%1").arg(AValue2, 2, 10, QLatin1Char('0'))
                          : QString::number(AValue2);
        };
        if (l == QLatin1Char('y')) {
            lOut += n <= 2 ? QStringLiteral("%1").arg(lDate.year() % 100, 2, 10, QLatin1Char('0'))
                           : QString::number(lDate.year());
        } else if (l == QLatin1Char('d')) {
            if (n <= 2)
                lOut += lPad(lDate.day());
            else
                lOut += QLocale::c().dayName(lDate.dayOfWeek(),
                                             n == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
        } else if (l == QLatin1Char('m')) {
            // Minutes right after hours or right before seconds, else the month.
            qsizetype j = i + n;
            while (j < ACode.size() && !ACode.at(j).isLetter())
                ++j;
            const bool lMinute =
                lAfterHour || (j < ACode.size() && ACode.at(j).toLower() == QLatin1Char('s'));
            if (lMinute)
                lOut += lPad(lTime.minute());
            else if (n <= 2)
                lOut += lPad(lDate.month());
            else
                lOut += n == 3 ? QString::fromLatin1(cMonths[lDate.month() - 1]).left(3)
                               : QString::fromLatin1(cMonths[lDate.month() - 1]);
        } else if (l == QLatin1Char('h')) {
            int lHour = lTime.hour();
            if (lAmPm) {
                lHour %= 12;
                if (lHour == 0)
                    lHour = 12;
            }
            lOut += lPad(lHour);
            lAfterHour = true;
            i += n;
            continue;
        } else if (l == QLatin1Char('s')) {
            lOut += lPad(lTime.second());
        } else if (c == QLatin1Char('.') && i + 1 < ACode.size() && ACode.at(i + 1) == QLatin1Char('0')) {
            qsizetype z = 1;
            while (i + z < ACode.size() && ACode.at(i + z) == QLatin1Char('0'))
                ++z;
            lOut += QLatin1Char('.') +
                    QStringLiteral("%1").arg(lTime.msec(), 3, 10, QLatin1Char('0')).left(int(z - 1));
            i += z;
            continue;
        } else {
            lOut += ACode.mid(i, n);
        }
        if (l.isLetter())
            lAfterHour = false;
        i += n;
    }
    return lOut;
}

QString FormatFixed(double AValue, const QString& ACode, bool ANegativeSection) {
    // The digits part: from the first digit placeholder to the last.
    const qsizetype lFirst = ACode.indexOf(QRegularExpression(QStringLiteral("[0#?]")));
    qsizetype lLast = -1;
    for (qsizetype i = ACode.size() - 1; i >= 0; --i)
        if (QStringLiteral("0#?").contains(ACode.at(i))) {
            lLast = i;
            break;
        }
    if (lFirst < 0)
        return General(AValue);
    const QString lDigits = ACode.mid(lFirst, lLast - lFirst + 1);
    const bool lPercent = ACode.contains(QLatin1Char('%'));
    const bool lGroup = lDigits.contains(QLatin1Char(','));
    const qsizetype lPoint = lDigits.indexOf(QLatin1Char('.'));
    const int lDecimals = lPoint < 0 ? 0 : int(lDigits.size() - lPoint - 1);
    double lValue = lPercent ? AValue * 100 : AValue;
    if (ANegativeSection)
        lValue = std::fabs(lValue);
    const long double lRounded = RoundHalfAwayFromZero(static_cast<long double>(lValue), -lDecimals);
    QString lNumber = QString::number(double(std::fabs(lRounded)), 'f', lDecimals);
    // "0000": at least as many integer digits as the code has zeros before its point.
    const int lMinInt = int((lPoint < 0 ? lDigits : lDigits.left(lPoint)).count(QLatin1Char('0')));
    const qsizetype lIntDigits =
        lNumber.indexOf(QLatin1Char('.')) < 0 ? lNumber.size() : lNumber.indexOf(QLatin1Char('.'));
    if (lIntDigits < lMinInt)
        lNumber.prepend(QString(lMinInt - lIntDigits, QLatin1Char('0')));
    else if (lMinInt == 0 && lNumber.startsWith(QLatin1String("0.")))
        lNumber.remove(0, 1); // "#.00" shows ".50"
    if (lGroup) {
        const qsizetype lIntEnd =
            lNumber.indexOf(QLatin1Char('.')) < 0 ? lNumber.size() : lNumber.indexOf(QLatin1Char('.'));
        for (qsizetype i = lIntEnd - 3; i > 0; i -= 3)
            lNumber.insert(i, QLatin1Char(','));
    }
    const bool lMinus = lRounded < 0 && !ANegativeSection;
    QString lPrefix = ACode.left(lFirst), lSuffix = ACode.mid(lLast + 1);
    lPrefix.remove(QLatin1Char('"'));
    lSuffix.remove(QLatin1Char('"'));
    lPrefix.remove(QLatin1Char('\\'));
    lSuffix.remove(QLatin1Char('\\'));
    lSuffix.replace(QLatin1Char('_'), QLatin1Char(' ')); // "_)" keeps room for a bracket: a blank here
    return (lMinus ? QStringLiteral("-") : QString()) + lPrefix + lNumber + lSuffix;
}

} // namespace

QString FormatSheetNumber(double AValue, const QString& AFormatCode) {
    if (AFormatCode.isEmpty() || AFormatCode.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0 ||
        AFormatCode == QLatin1String("@"))
        return General(AValue);
    bool lNegativeSection = false;
    const QString lCode = SectionFor(AFormatCode, AValue, lNegativeSection);
    if (lCode.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
        return General(AValue);
    if (IsScientific(lCode))
        return General(AValue); // beyond the common formats
    if (IsDateCode(lCode))
        return AValue < 0 || AValue > 2958465 ? General(AValue) : FormatDate(AValue, lCode);
    return FormatFixed(AValue, lCode, lNegativeSection);
}
