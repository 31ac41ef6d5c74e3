#include "frontdesk/uReceipt.h"

#include "base/uKeyNum.h"
#include "base/uLocale.h"
#include "base/uMessages.h"
#include "frontdesk/uReceiptData.h"
#include "frontdesk/uTarvoDoc.h"

#include <QDate>
#include <QRegularExpression>

#include <cmath>
#include <cstdlib>

namespace Tarvo {

namespace {

void AddSegments(const TTariffSegments& ASegments, const QString& ACaption, TRcptRecDynArray& VRecs) {
    for (const TTariffSegment& lSeg : ASegments)
        VRecs.push_back(TRcptRec{ACaption, lSeg.m_dtFrom, lSeg.m_nUnits, lSeg.m_nPrice, lSeg.m_nSum});
}

// "%.2f" with the user's decimal separator.
QString Fixed2(Extended AValue) {
    QString lText = QString::number(double(AValue), 'f', 2);
    if (lText == QLatin1String("-0.00"))
        lText.remove(0, 1);
    return lText.replace(QLatin1Char('.'), DecimalSeparator());
}

// "hh:nn" of the time of day of a moment.
QString HourMinText(TDateTime AValue) {
    const std::int64_t lMs = std::llabs(std::llround(AValue * MSecsPerDay)) % 86400000;
    return QStringLiteral("%1:%2")
        .arg(lMs / 3600000, 2, 10, QLatin1Char('0'))
        .arg(lMs / 60000 % 60, 2, 10, QLatin1Char('0'));
}

QString UnitWord(TTariffication AUnit) {
    switch (AUnit) {
    case TARIF_MINUTE:
        return LoadResString(MSG_RCPT_MIN);
    case TARIF_HOUR:
        return LoadResString(MSG_UNIT_HOUR);
    default:
        return LoadResString(MSG_UNIT_SEC);
    }
}

} // namespace

Extended BuildReceiptRows(const TTarvoDoc& ADoc, const TReceiptData& AData, TRcptRecDynArray& VRecs) {
    VRecs.clear();
    const std::int32_t lLevel = AData.m_Card.m_nLevel;
    Extended lTotal = 0;
    if (!AData.m_fReserv) {
        TTariffSegments lSegments;
        lTotal += ADoc.CalcSum2(AData.m_dtTimeIn, AData.m_dtTimeOut, lLevel, &lSegments);
        AddSegments(lSegments, QString(), VRecs);
    } else if (AData.m_fRAllDay && AData.m_fRConst) {
        // Charged at the day price of its day: the sum already holds the entrance fee and minimum,
        // which must not be applied a second time.
        VRecs.push_back(TRcptRec{LoadResString(MSG_RCPT_DAY_RESERVATION), AData.m_dtRFrom, 0, AData.m_nSum,
                                 AData.m_nSum});
        return AData.m_nSum;
    } else {
        const TStayBooking lBooking{true, AData.m_dtRFrom, AData.m_dtRTo, AData.m_fRAllDay};
        TStayBill lBill;
        ADoc.CalcStayAmount(AData.m_dtTimeIn, AData.m_dtTimeOut, lLevel, lBooking, &lBill);
        if (AData.m_fRAllDay) {
            // Billed by the zones; a day price set since then does not change that visit.
            TTariffSegments lSegments;
            lTotal += ADoc.CalcSum2(lBill.m_dtFrom, lBill.m_dtTo, lLevel, &lSegments);
            AddSegments(lSegments, LoadResString(MSG_RCPT_DAY_RESERVATION), VRecs);
        } else {
            lTotal += lBill.m_nZonesSum;
            AddSegments(lBill.m_aSegments, LoadResString(MSG_RCPT_RESERVATION), VRecs);
            if (lBill.m_nOverdueUnits > 0) {
                VRecs.push_back(TRcptRec{LoadResString(MSG_RCPT_OVERDUE), AData.m_dtRTo,
                                         lBill.m_nOverdueUnits, ADoc.OverdueCost(), lBill.m_nOverdueSum});
                lTotal += lBill.m_nOverdueSum;
            }
        }
    }
    return ADoc.CalcSum3(lTotal);
}

QString ReceiptHtmlText(const QString& AText) {
    QString lResult;
    lResult.reserve(AText.size() + 16);
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar lChar = AText.at(i);
        switch (lChar.unicode()) {
        case '"':
            lResult += QLatin1String("&quot;");
            break;
        case '&':
            lResult += QLatin1String("&amp;");
            break;
        case '<':
            lResult += QLatin1String("&lt;");
            break;
        case '>':
            lResult += QLatin1String("&gt;");
            break;
        case '\r':
            if (i + 1 < AText.size() && AText.at(i + 1) == QLatin1Char('\n')) {
                lResult += QLatin1String("<br>");
                ++i;
            } else {
                lResult += lChar;
            }
            break;
        default:
            lResult += lChar;
        }
    }
    return lResult;
}

QString ReceiptRowPeriod(const TRcptRec& ARec, const TTarvoDoc& ADoc) {
    const TDateTime lFrom = TTarvoDoc::RoundToMinutes(ARec.m_dtFrom);
    const TDateTime lTo = TTarvoDoc::RoundToMinutes(
        ARec.m_dtFrom + double(ARec.m_nTUnits * TTarvoDoc::UnitMSecs(ADoc.Tariffication())) / MSecsPerDay);
    return HourMinText(lFrom) + QStringLiteral(" - ") + HourMinText(lTo);
}

QString ReceiptTableHtml(const TTarvoDoc& ADoc, const TRcptRecDynArray& ARecs, Extended ATotal) {
    const auto E = [](int AId) { return ReceiptHtmlText(LoadResString(AId)); };
    QString lHtml =
        QStringLiteral(
            "<table width=\"100%\" cellpadding=\"0\" cellspacing=\"0\" border=\"1\" id=\"Table1\">\r\n"
            "<thead><tr><th rowspan=\"2\">%1</th>\r\n<th>%2</th><th>%3</th><th>%4</th></tr>\r\n"
            "<tr><th>%5</th><th>%6</th><th>%7</th></tr></thead>\r\n")
            .arg(E(MSG_RCPT_PAID_TIME), E(MSG_RCPT_AMT), E(MSG_RCPT_PRICE), E(MSG_RCPT_SUM),
                 ReceiptHtmlText(UnitWord(ADoc.Tariffication())), E(MSG_RCPT_CURRENCY),
                 E(MSG_RCPT_CURRENCY2));
    for (const TRcptRec& lRec : ARecs) {
        QString lFirst = ReceiptHtmlText(lRec.m_sCaption);
        if (lRec.m_nTUnits != 0) {
            if (!lFirst.isEmpty())
                lFirst += QLatin1Char(' ');
            lFirst += ReceiptRowPeriod(lRec, ADoc);
        }
        const QString lUnits =
            lRec.m_nTUnits != 0 ? QString::number(lRec.m_nTUnits) : QStringLiteral("&nbsp;");
        lHtml += QStringLiteral("<tr><td>%1</td>\r\n<td>%2</td>\r\n<td>%3</td>\r\n<td>%4</td></tr>\r\n")
                     .arg(lFirst, lUnits, Fixed2(lRec.m_nPrice),
                          ReceiptHtmlText(TTarvoDoc::PriceToStr(lRec.m_nSum, ADoc.AccPrice())));
    }
    const auto lNote = [&lHtml](int AId, Extended AValue) {
        const QString lText = LoadResString(AId);
        if (AValue != 0 && !lText.isEmpty())
            lHtml += QStringLiteral("<tr><td colspan=\"3\" class=\"r\">%1&nbsp;</td>\r\n<td>%2</td></tr>")
                         .arg(ReceiptHtmlText(lText), Fixed2(AValue));
    };
    lNote(MSG_RCPT_ENTRANCE, ADoc.Entrance());
    lNote(MSG_RCPT_MIN_AMOUNT, ADoc.MinAmount());
    lHtml += QStringLiteral(
                 "<tfoot><tr><td colspan=\"3\" class=\"r\">%1&nbsp;</td>\r\n<td>%2</td></tr></tfoot></table>")
                 .arg(E(MSG_RCPT_TOTAL), ReceiptHtmlText(TTarvoDoc::PriceToStr(ATotal, ADoc.AccPrice())));
    return lHtml;
}

QString ReceiptTaxNote(const QString& AText, Extended ANDS, Extended ATotal) {
    // A rate of -100 % would divide by zero; no tax is contained then.
    const Extended lDivisor = ANDS + 100;
    const Extended lTax = lDivisor != 0 ? ANDS * ATotal / lDivisor : 0;
    QString lResult;
    lResult.reserve(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar lChar = AText.at(i);
        if (lChar != QLatin1Char('%') || i + 1 >= AText.size()) {
            lResult += lChar; // a "%" at the very end has nothing to mark and stays
            continue;
        }
        const QChar lNext = AText.at(++i);
        if (lNext == QLatin1Char('1'))
            lResult += FloatToStr(ANDS);
        else if (lNext == QLatin1Char('2'))
            lResult += Fixed2(lTax);
        else
            lResult += lNext; // "%%" and any other marker: the character itself
    }
    return lResult;
}

bool SetElementContent(QString& VHtml, const QString& AId, const QString& AInnerHtml) {
    const QRegularExpression lOpen(
        QStringLiteral("<([A-Za-z][A-Za-z0-9]*)\\b[^>]*?\\sid\\s*=\\s*([\"']?)%1\\2(?=[\\s/>])[^>]*>")
            .arg(QRegularExpression::escape(AId)));
    const QRegularExpressionMatch lMatch = lOpen.match(VHtml);
    if (!lMatch.hasMatch() || lMatch.captured(0).endsWith(QLatin1String("/>")))
        return false;
    const QString lTag = lMatch.captured(1);
    const qsizetype lStart = lMatch.capturedEnd(0);
    // The matching close tag: same-named elements nested inside are skipped.
    const QRegularExpression lTags(QStringLiteral("<(/?)%1\\b[^>]*>").arg(lTag),
                                   QRegularExpression::CaseInsensitiveOption);
    int lDepth = 1;
    auto lIt = lTags.globalMatch(VHtml, lStart);
    while (lIt.hasNext()) {
        const QRegularExpressionMatch lTagMatch = lIt.next();
        if (lTagMatch.captured(1).isEmpty()) {
            if (!lTagMatch.captured(0).endsWith(QLatin1String("/>")))
                ++lDepth;
        } else if (--lDepth == 0) {
            VHtml.replace(lStart, lTagMatch.capturedStart(0) - lStart, AInnerHtml);
            return true;
        }
    }
    return false;
}

QString FillReceiptPage(const QString& ATemplate, const TTarvoDoc& ADoc, const TReceiptData& AData,
                        const TRcptRecDynArray& ARecs, Extended ATotal) {
    QString lHtml = ATemplate;
    const auto lSet = [&lHtml](const char* AId, const QString& AInner) {
        SetElementContent(lHtml, QLatin1String(AId), AInner);
    };
    lSet(RCPT_ID_HEAD, ReceiptHtmlText(LoadResString(MSG_RCPT_HEADER)));
    lSet(RCPT_ID_DATE,
         ReceiptHtmlText(UserLocale().toString(ToQDateTime(ADoc.ReportDate()).date(), QLocale::ShortFormat)));
    lSet(RCPT_ID_TITLE, ReceiptHtmlText(FormatResString(MSG_RCPT_NO, {std::int64_t(AData.m_nReceiptN) + 1})));
    lSet(RCPT_ID_USER,
         ReceiptHtmlText(UserOrKeyText(AData.m_Card.m_sUserName, AData.m_Card.m_Number, ADoc.KeyView())));
    lSet(RCPT_ID_TABLE, ReceiptTableHtml(ADoc, ARecs, ATotal));
    lSet(RCPT_ID_FOOT, ReceiptHtmlText(ReceiptTaxNote(LoadResString(MSG_RCPT_NO_VAT), ADoc.NDS(), ATotal)));
    return lHtml;
}

QString ChooseReceiptPrinter(const QString& AConfigured, const QStringList& AInstalled,
                             const QString& ADefault) {
    if (!AConfigured.isEmpty() && AInstalled.contains(AConfigured))
        return AConfigured;
    return ADefault;
}

QString ReceiptPdfFileName(const TReceiptData& AData) {
    const QDateTime lOut = ToQDateTime(AData.m_dtTimeOut);
    return QStringLiteral("Receipt-%1-%2.pdf")
        .arg(lOut.toString(QStringLiteral("yyyyMMdd-HHmmss")))
        .arg(AData.m_nReceiptN + 1);
}

} // namespace Tarvo
