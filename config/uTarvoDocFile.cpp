// The configuration program's part of "Tarvo.xml": it reads what it edits and, on saving, rewrites only
// its own items in the file as it is on disk, so the front desk's sections survive.

#include "config/uTarvoDoc.h"

#include "base/uDataFile.h"
#include "base/uMemXml.h"

#include <climits>
#include <exception>

namespace ConfigTarvo {

namespace {

const QString S_MAIN = QStringLiteral("Main");
const QString S_READER = QStringLiteral("Reader");
const QString S_KORVEL = QStringLiteral("Korvel");
const QString S_TIMEZONES = QStringLiteral("TimeZones");
const QString S_CARDS = QStringLiteral("Cards");
const QString S_STARTDAY = QStringLiteral("StartDayTime");
const QString S_COMMENT = QStringLiteral("Commant"); // spelled so in the file

QString MessageOf(std::exception_ptr AError) {
    try {
        std::rethrow_exception(AError);
    } catch (const Exception& E) {
        return E.Message();
    } catch (const std::exception& E) {
        return QString::fromUtf8(E.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

// Identifiers are never reused in a run: when the generator already ran and the file reloaded holds
// larger identifiers, the next one handed out must still be above them all.
template <class TList> void KeepNextIdAbove(TList& AList) {
    if (AList.m_nNextId <= 0)
        return;
    for (int i = 0; i < AList.Count(); ++i) {
        const std::int32_t lId = AList.Get(i)->m_nId;
        if (lId >= AList.m_nNextId)
            AList.m_nNextId = lId == INT32_MAX ? -1 : lId + 1;
        if (AList.m_nNextId <= 0)
            return;
    }
}

void SetElementText(TMXNode& ANode, const QString& AText) {
    // An element we keep a text in holds no children; a hand-edited file could give it some.
    if (ANode.ChildNodes().Count() > 0)
        ANode.ClearNodes();
    ANode.SetNodeText(AText);
}

// Rewrites the "Item<id>" children of AParent from AList: each item goes to the child of its name
// (appended when missing), and every child that was there before and received no item is deleted -
// items deleted in the program, children that were never loaded, stray elements.
template <class TList, class TWriteItem>
void RewriteItems(TMXNode& AParent, const TList& AList, TWriteItem AWriteItem) {
    TMXNodeList& lChildren = AParent.ChildNodes();
    const int lOldCount = lChildren.Count();
    std::vector<bool> lUsed(static_cast<size_t>(lOldCount), false);
    for (int i = 0; i < AList.Count(); ++i) {
        const auto& lItem = *AList.Get(i);
        const QString lName = ItemNameOfId(lItem.m_nId);
        const int lIdx = lChildren.IndexOf(lName);
        TMXNode* lNode = nullptr;
        if (lIdx >= 0 && lIdx < lOldCount && !lUsed[static_cast<size_t>(lIdx)]) {
            lNode = lChildren.GetNode(lIdx);
            lUsed[static_cast<size_t>(lIdx)] = true;
        } else {
            // A second item with an identifier already written this time (a file may repeat one) gets a
            // child of its own instead of overwriting the first one's.
            lNode = lChildren.AddNode(lName);
            lUsed.push_back(true);
        }
        AWriteItem(*lNode, lItem);
    }
    for (int i = lOldCount - 1; i >= 0; --i)
        if (!lUsed[static_cast<size_t>(i)])
            lChildren.Delete(i);
}

} // namespace

void TTarvoDoc::LoadFromFile(const QString& AFileName) {
    std::unique_ptr<TMemXml> lXml;
    try {
        lXml = OpenDataXml(AFileName);
    } catch (...) {
        m_fLoadFailed = true;
        m_sLoadError = MessageOf(std::current_exception());
        throw;
    }
    LoadFromXml(*lXml);
}

void TTarvoDoc::LoadFromXml(TMemXml& AXml) {
    m_fLoadFailed = false;
    m_sLoadError.clear();
    try {
        try {
            LoadFromXmlUnguarded(AXml);
        } catch (const EConvertError& E) {
            // A value stopped the reading: the message names the file as well as the item and value.
            throw EConvertError(
                DataLoadErrorText(AXml.FileName().isEmpty() ? m_sFileName : AXml.FileName(), E.Message()));
        }
    } catch (...) {
        m_fLoadFailed = true;
        m_sLoadError = MessageOf(std::current_exception());
        KeepNextIdAbove(m_oTZs);
        KeepNextIdAbove(m_oCards);
        throw;
    }
    KeepNextIdAbove(m_oTZs);
    KeepNextIdAbove(m_oCards);
}

void TTarvoDoc::LoadFromXmlUnguarded(TMemXml& AXml) {
    SetDefaults();
    std::int32_t lMinor = 0;
    TMXNode* lRoot = FindRootForLoad(AXml, lMinor);
    if (!lRoot)
        return;
    const TMXNodeList& lSections = lRoot->ChildNodes();
    std::int32_t lInt = 0;

    if (const TMXNode* lMain = lSections.GetNodeByName(S_MAIN)) {
        std::uint32_t lLang = 0;
        m_nLanguage =
            XmlToLangId(lMain->GetNodeAttr(QStringLiteral("language")), lLang) ? lLang : LANG_NONE_CHOSEN;
        m_nKeyView = XmlToInt(lMain->GetNodeAttr(QStringLiteral("keyView")), lInt) ? lInt : 0;
        m_nKeyEditFormat = XmlToInt(lMain->GetNodeAttr(QStringLiteral("keyEditFormatId")), lInt) ? lInt : 0;
        if (const TMXNode* lStart = lMain->ChildNodes().GetNodeByName(S_STARTDAY)) {
            const QString lText = lStart->GetNodeText();
            ReadDataValue(QStringLiteral("Main/StartDayTime"), "text", lText,
                          [&] { return XmlToHourMin(lText, m_tStartDay); });
        }
    }

    if (const TMXNode* lReader = lSections.GetNodeByName(S_READER)) {
        m_nReaderSn = XmlToInt(lReader->GetNodeAttr(QStringLiteral("sn")), lInt) ? lInt : 0;
        m_sReaderPort = lReader->GetNodeAttr(QStringLiteral("port"));
        if (lMinor > 1)
            if (const TMXNode* lKorvel = lReader->ChildNodes().GetNodeByName(S_KORVEL)) {
                bool lWiegand = false;
                m_fKorvelWiegand =
                    XmlToBool(lKorvel->GetNodeAttr(QStringLiteral("wiegand")), lWiegand) && lWiegand;
            }
    }

    if (const TMXNode* lZones = lSections.GetNodeByName(S_TIMEZONES))
        LoadZonesFromXml(*lZones, m_oTZs, AXml.FileName());

    if (const TMXNode* lCards = lSections.GetNodeByName(S_CARDS)) {
        if (XmlToInt(lCards->GetNodeAttr(QStringLiteral("RdMode")), lInt) && lInt >= crm_Inactive &&
            lInt <= crm_Delete)
            m_nCardRdMode = static_cast<TCardRdMode>(lInt);
        // A card without a number is kept and listed, so that the owner can give it one.
        LoadCardsFromXml(*lCards, m_oCards, true);
    }
}

void TTarvoDoc::SaveToFile(const QString& AFileName) {
    // Starts from the file as it is now, so what the front desk wrote since our load survives.
    std::unique_ptr<TMemXml> lXml = OpenDataXml(AFileName);
    SaveToXml(*lXml);
    lXml->UpdateFile();
}

void TTarvoDoc::SaveToXml(TMemXml& AXml) const {
    TMXNode& lRoot = PrepareRootForSave(AXml);
    TMXNodeList& lSections = lRoot.ChildNodes();

    TMXNode& lMain = *lSections.FindNode(S_MAIN, true);
    lMain.SetNodeAttr(QStringLiteral("language"), LangIdToXml(m_nLanguage));
    lMain.SetNodeAttr(QStringLiteral("keyView"), IntToXml(m_nKeyView));
    lMain.SetNodeAttr(QStringLiteral("keyEditFormatId"), IntToXml(m_nKeyEditFormat));
    SetElementText(*lMain.ChildNodes().FindNode(S_STARTDAY, true), HourMinToXml(m_tStartDay));

    TMXNode& lReader = *lSections.FindNode(S_READER, true);
    lReader.SetNodeAttr(QStringLiteral("sn"), IntToXml(m_nReaderSn));
    lReader.SetNodeAttr(QStringLiteral("port"), m_sReaderPort);
    lReader.ChildNodes()
        .FindNode(S_KORVEL, true)
        ->SetNodeAttr(QStringLiteral("wiegand"), BoolToXml(m_fKorvelWiegand));

    RewriteItems(*lSections.FindNode(S_TIMEZONES, true), m_oTZs,
                 [](TMXNode& ANode, const TTarvoTimeZone& AZone) {
                     ANode.SetNodeAttr(QStringLiteral("name"), AZone.m_sName);
                     ANode.SetNodeAttr(QStringLiteral("startTime"), HourMinToXml(AZone.m_tStartTime));
                     ANode.SetNodeAttr(QStringLiteral("baseCost"), PointFloatToXml(AZone.m_nBaseCost));
                     ANode.SetNodeAttr(QStringLiteral("minCost"), PointFloatToXml(AZone.m_nMinCost));
                 });

    TMXNode& lCards = *lSections.FindNode(S_CARDS, true);
    lCards.SetNodeAttr(QStringLiteral("RdMode"), IntToXml(m_nCardRdMode));
    RewriteItems(lCards, m_oCards, [](TMXNode& ANode, const TCard& ACard) {
        // A card still without a number keeps its number attribute as the file has it (empty or
        // missing), so that saving changes nothing of it.
        if (ACard.m_Number[0] != 0 || !ANode.GetNodeAttrView(QStringLiteral("number")).isEmpty())
            ANode.SetNodeAttr(QStringLiteral("number"), KeyNumToStr(ACard.m_Number, KEYVIEW_HEX));
        ANode.SetNodeAttr(QStringLiteral("name"), ACard.m_sUserName);
        ANode.SetNodeAttr(QStringLiteral("level"), IntToXml(ACard.m_nLevel));
        SetElementText(*ANode.ChildNodes().FindNode(S_COMMENT, true), ACard.m_sComment);
    });
}

} // namespace ConfigTarvo
