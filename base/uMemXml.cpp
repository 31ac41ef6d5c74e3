#include "base/uMemXml.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "base/uSafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory_resource>

namespace {

const char* const kUnit = "uUtils";

// Larger files are refused instead of being read whole into memory; data files stay far below this.
constexpr qint64 kMaxFileSize = qint64(256) * 1024 * 1024;

const QByteArray kBomUtf8("\xEF\xBB\xBF", 3);
const QByteArray kBomUtf16LE("\xFF\xFE", 2);
const QByteArray kBomUtf16BE("\xFE\xFF", 2);

QByteArray BomOf(TXmlEncoding AEncoding) {
    switch (AEncoding) {
    case TXmlEncoding::Utf8:
        return kBomUtf8;
    case TXmlEncoding::Utf16LE:
        return kBomUtf16LE;
    case TXmlEncoding::Utf16BE:
        return kBomUtf16BE;
    default:
        return QByteArray();
    }
}

QStringConverter::Encoding ConverterOf(TXmlEncoding AEncoding) {
    switch (AEncoding) {
    case TXmlEncoding::Utf16LE:
        return QStringConverter::Utf16LE;
    case TXmlEncoding::Utf16BE:
        return QStringConverter::Utf16BE;
    default:
        return QStringConverter::Utf8;
    }
}

QString DecodeBytes(QByteArrayView ABytes, TXmlEncoding AEncoding) {
    if (AEncoding == TXmlEncoding::Ansi || AEncoding == TXmlEncoding::None)
        return FromAnsi(ABytes.toByteArray());
    // The caller has removed the one mark it expects; anything after it is content.
    QStringDecoder oDecoder(ConverterOf(AEncoding), QStringConverter::Flag::ConvertInitialBom);
    return oDecoder.decode(ABytes);
}

QByteArray EncodeText(const QString& AText, TXmlEncoding AEncoding) {
    if (AEncoding == TXmlEncoding::Ansi || AEncoding == TXmlEncoding::None)
        return ToAnsi(AText);
    // The mark and the text go into one buffer, without an intermediate copy of the text.
    QStringEncoder oEncoder(ConverterOf(AEncoding), QStringConverter::Flag::Stateless);
    const QByteArray aBom = BomOf(AEncoding);
    QByteArray aBytes(aBom.size() + oEncoder.requiredSpace(AText.size()), Qt::Uninitialized);
    char* const pStart = std::copy(aBom.cbegin(), aBom.cend(), aBytes.data());
    const char* const pEnd = oEncoder.appendToBuffer(pStart, AText);
    aBytes.truncate(pEnd - aBytes.constData());
    return aBytes;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Strings of a parse

namespace {

// First AChar in [ABegin, AEnd), or null. Most searches of the parser end within a few characters.
inline const char16_t* FindChar(const char16_t* ABegin, const char16_t* AEnd, char16_t AChar) {
    for (const char16_t* p = ABegin; p < AEnd; ++p)
        if (*p == AChar)
            return p;
    return nullptr;
}

inline const char16_t* UnitsOf(const QString& AText) {
    return reinterpret_cast<const char16_t*>(AText.constData());
}

inline QString CopyOf(const char16_t* ABegin, const char16_t* AEnd) {
    return QString(reinterpret_cast<const QChar*>(ABegin), AEnd - ABegin);
}

// [ABegin, AEnd) of the parsed text without a copy: valid as long as that text is kept.
inline QString RawOf(const char16_t* ABegin, const char16_t* AEnd) {
    if (ABegin == AEnd)
        return CopyOf(ABegin, AEnd); // the shared empty string
    return QString::fromRawData(reinterpret_cast<const QChar*>(ABegin), AEnd - ABegin);
}

// A string that does not own its characters (it points into a parsed text) is copied before it leaves
// the store; every other string is shared as usual.
inline QString Owned(const QString& AText) {
    if (AText.capacity() == 0 && !AText.isEmpty())
        return QString(AText.constData(), AText.size());
    return AText;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Name comparison without letter case
//
// Element names are equal when their upper-case forms are (the platform's full Unicode upper-casing, so
// "ß" and "SS" are one name); attribute names are compared by case folding. Pure ASCII names, which is
// every name the programs use, are compared in place; anything else takes the general path.

namespace {

// Up to this many children a lookup compares the names directly; longer lists are hashed.
constexpr int kLinearLookupMax = 8;

inline char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

inline char16_t AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

bool IsAscii(QStringView AText) {
    for (const QChar c : AText)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

inline std::uint32_t HashStep(std::uint32_t AHash, char16_t c) {
    return (AHash ^ c) * 16777619u; // FNV-1a over UTF-16 units
}

inline std::uint32_t HashFinish(std::uint32_t AHash) {
    AHash ^= AHash >> 16;
    AHash *= 0x85EBCA6Bu;
    AHash ^= AHash >> 13;
    AHash *= 0xC2B2AE35u;
    AHash ^= AHash >> 16;
    return AHash;
}

// An element name prepared for lookups: its hash is the hash of its upper-case form.
class TNameKey {
public:
    explicit TNameKey(QStringView AName) : m_sName(AName), m_fAscii(IsAscii(AName)) {
        if (!m_fAscii)
            m_sUpper = AName.toString().toUpper();
    }

    std::uint32_t Hash() const {
        std::uint32_t nHash = 2166136261u;
        if (m_fAscii) {
            for (const QChar c : m_sName)
                nHash = HashStep(nHash, AsciiUpper(c.unicode()));
        } else {
            for (const QChar c : m_sUpper)
                nHash = HashStep(nHash, c.unicode());
        }
        return HashFinish(nHash);
    }

    // AName.toUpper() == key.toUpper()
    bool Matches(QStringView AName) const {
        if (!m_fAscii)
            return AName.toString().toUpper() == m_sUpper;
        const qsizetype n = m_sName.size();
        if (AName.size() == n) {
            qsizetype i = 0;
            while (i < n) {
                const char16_t c = AName[i].unicode();
                if (c >= 0x80 || AsciiUpper(c) != AsciiUpper(m_sName[i].unicode()))
                    break;
                ++i;
            }
            if (i == n)
                return true;
            if (IsAscii(AName.sliced(i)))
                return false;
        } else if (IsAscii(AName)) {
            return false;
        }
        // A name that is not pure ASCII can still upper-case to this one ("ı" gives "I").
        return AName.toString().toUpper() == m_sName.toString().toUpper();
    }

private:
    QStringView m_sName;
    bool m_fAscii;
    QString m_sUpper; // only for a name that is not pure ASCII
};

// QStringView::compare(Qt::CaseInsensitive) == 0, in place for ASCII names.
bool SameAttrName(QStringView A, QStringView B) {
    const qsizetype n = A.size();
    if (B.size() == n) {
        qsizetype i = 0;
        while (i < n) {
            const char16_t a = A[i].unicode();
            const char16_t b = B[i].unicode();
            if ((a | b) >= 0x80 || (a != b && AsciiLower(a) != AsciiLower(b)))
                break;
            ++i;
        }
        if (i == n)
            return true;
        if (IsAscii(A.sliced(i)) && IsAscii(B.sliced(i)))
            return false;
    } else if (IsAscii(A) && IsAscii(B)) {
        return false;
    }
    return A.compare(B, Qt::CaseInsensitive) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// TMXNodeList

void TMXNodeList::TNodeDeleter::operator()(TMXNode* ANode) const {
    if (ANode->m_fPooled)
        ANode->~TMXNode(); // the pool's memory goes with the pool
    else
        delete ANode;
}

TMXNodeList::TMXNodeList(std::pmr::memory_resource* AMemory) : m_aItems(AMemory) {}

TMXNodeList::~TMXNodeList() {
    Clear();
}

TMXNode* TMXNodeList::Append(QString AName, TNodePtr ANode) {
    m_aItems.push_back({std::move(AName), std::move(ANode)});
    // An appended entry is the last of its name, so a valid index stays valid by inserting it; this
    // keeps "look up, append when missing" loops linear.
    if (FNameHashValid) {
        FNameHash->aHashes.push_back(TNameKey(m_aItems.back().sName).Hash());
        if ((FNameHash->nUsed + 1) * 2 > static_cast<qsizetype>(FNameHash->aSlots.size()))
            RebuildHash();
        else
            IndexEntry(Count() - 1);
    }
    return m_aItems.back().oNode.get();
}

TMXNode* TMXNodeList::AddNode(const QString& ANodeName) {
    return Append(ANodeName, TNodePtr(new TMXNode));
}

void TMXNodeList::IndexEntry(int AIdx) const {
    TNameIndex& index = *FNameHash;
    const std::uint32_t nHash = index.aHashes[AIdx];
    const std::size_t nMask = index.aSlots.size() - 1;
    std::size_t nSlot = nHash & nMask;
    while (index.aSlots[nSlot] >= 0) {
        const int nOther = index.aSlots[nSlot];
        // A later entry of the same name takes the slot, so lookups find the last one.
        if (index.aHashes[nOther] == nHash &&
            TNameKey(m_aItems[AIdx].sName).Matches(m_aItems[nOther].sName)) {
            index.aSlots[nSlot] = AIdx;
            return;
        }
        nSlot = (nSlot + 1) & nMask;
    }
    index.aSlots[nSlot] = AIdx;
    ++index.nUsed;
}

void TMXNodeList::RebuildHash() const {
    if (!FNameHash)
        FNameHash = std::make_unique<TNameIndex>();
    TNameIndex& index = *FNameHash;
    const int nCount = Count();
    // Hashes already known (the index grows while entries are appended) are kept.
    if (!FNameHashValid || static_cast<int>(index.aHashes.size()) != nCount) {
        index.aHashes.resize(nCount);
        for (int i = 0; i < nCount; ++i)
            index.aHashes[i] = TNameKey(m_aItems[i].sName).Hash();
    }
    std::size_t nSlots = 16;
    while (nSlots < std::size_t(nCount) * 2 + 2)
        nSlots *= 2;
    index.aSlots.assign(nSlots, -1);
    index.nUsed = 0;
    for (int i = 0; i < nCount; ++i)
        IndexEntry(i);
    FNameHashValid = true;
}

int TMXNodeList::IndexOf(QStringView S) const {
    const TNameKey key(S);
    const int nCount = Count();
    if (nCount <= kLinearLookupMax) {
        for (int i = nCount - 1; i >= 0; --i)
            if (key.Matches(m_aItems[i].sName))
                return i;
        return -1;
    }
    if (!FNameHashValid)
        RebuildHash();
    const TNameIndex& index = *FNameHash;
    const std::uint32_t nHash = key.Hash();
    const std::size_t nMask = index.aSlots.size() - 1;
    for (std::size_t nSlot = nHash & nMask; index.aSlots[nSlot] >= 0; nSlot = (nSlot + 1) & nMask) {
        const int nIdx = index.aSlots[nSlot];
        if (index.aHashes[nIdx] == nHash && key.Matches(m_aItems[nIdx].sName))
            return nIdx;
    }
    return -1;
}

TMXNode* TMXNodeList::GetNodeByName(const QString& AName) const {
    const int nIdx = IndexOf(AName);
    return nIdx < 0 ? nullptr : m_aItems[nIdx].oNode.get();
}

TMXNode* TMXNodeList::GetNode(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), kUnit);
    return m_aItems[AIdx].oNode.get();
}

QStringView TMXNodeList::NameView(int AIdx) const {
    if (AIdx < 0 || AIdx >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
    return m_aItems[AIdx].sName;
}

QString TMXNodeList::Get(int AIdx) const {
    if (AIdx < 0 || AIdx >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
    return Owned(m_aItems[AIdx].sName);
}

TMXNode* TMXNodeList::FindNode(const QString& ANodePath, bool ACreate) {
    TARVO_ASSERT(!ANodePath.isEmpty(), kUnit);
    TMXNodeList* pList = this;
    TMXNode* pNode = nullptr;
    const QStringView sPath(ANodePath);
    for (qsizetype nStart = 0; nStart <= sPath.size();) {
        qsizetype nSep = sPath.indexOf(u'\\', nStart);
        if (nSep < 0)
            nSep = sPath.size();
        const QStringView sName = sPath.sliced(nStart, nSep - nStart);
        nStart = nSep + 1;
        const int nIdx = pList->IndexOf(sName);
        if (nIdx >= 0)
            pNode = pList->GetNode(nIdx);
        else if (ACreate)
            pNode = pList->Append(sName.toString(), TNodePtr(new TMXNode));
        else
            return nullptr;
        pList = &pNode->m_aNodes;
    }
    return pNode;
}

void TMXNodeList::Delete(int AIdx) {
    if (AIdx < 0 || AIdx >= Count())
        throw EListError(QStringLiteral("List index out of bounds (%1)").arg(AIdx));
    TNodePtr oNode = std::move(m_aItems[AIdx].oNode);
    m_aItems.erase(m_aItems.begin() + AIdx);
    Changed();
    // oNode frees its subtree through Clear of its own list, which does not recurse.
}

void TMXNodeList::Clear() {
    Changed();
    FNameHash.reset();
    if (m_aItems.empty())
        return;
    // Frees the subtrees with a work list instead of recursion: a tree may be far deeper than the stack.
    std::vector<TNodePtr> aPending;
    aPending.reserve(m_aItems.size());
    for (auto& item : m_aItems)
        aPending.push_back(std::move(item.oNode));
    m_aItems.clear();
    while (!aPending.empty()) {
        TNodePtr oNode = std::move(aPending.back());
        aPending.pop_back();
        for (auto& item : oNode->m_aNodes.m_aItems)
            aPending.push_back(std::move(item.oNode));
        oNode->m_aNodes.m_aItems.clear();
    }
}

// ---------------------------------------------------------------------------------------------------------
// TMXNode

bool TMXNode::NodeExists(const QString& ANode) const {
    return m_aNodes.IndexOf(ANode) >= 0;
}

int TMXNode::AttrIndex(QStringView AAttr) const {
    for (std::size_t i = 0; i < m_aAttrs.size(); ++i) {
        if (SameAttrName(m_aAttrs[i].sName, AAttr))
            return static_cast<int>(i);
    }
    return -1;
}

QStringList TMXNode::Attrs() const {
    QStringList aResult;
    aResult.reserve(static_cast<qsizetype>(m_aAttrs.size()));
    for (const TAttr& attr : m_aAttrs)
        aResult.append(attr.sName + u'=' + attr.sValue);
    return aResult;
}

bool TMXNode::AttrExists(const QString& AAttr) const {
    return AttrIndex(AAttr) >= 0;
}

void TMXNode::EraseNode(const QString& ANode) {
    const int nIdx = m_aNodes.IndexOf(ANode);
    if (nIdx >= 0)
        m_aNodes.Delete(nIdx);
}

void TMXNode::ClearNodes() {
    m_aNodes.Clear();
}

TMXNode* TMXNode::AddNode(const QString& ANode) {
    return m_aNodes.AddNode(ANode);
}

void TMXNode::RemoveLaterAttrs(int AIdx) {
    // A hand edit can leave two attributes whose names differ only in case; the reader sees the first.
    // Once a value is set, a later one would be written back beside it and read as the same name.
    const QStringView sName(m_aAttrs[static_cast<std::size_t>(AIdx)].sName);
    for (std::size_t i = m_aAttrs.size(); i-- > static_cast<std::size_t>(AIdx) + 1;)
        if (SameAttrName(m_aAttrs[i].sName, sName))
            m_aAttrs.erase(m_aAttrs.begin() + static_cast<std::ptrdiff_t>(i));
}

void TMXNode::SetNodeAttr(const QString& AAttr, const QString& AValue) {
    const int nIdx = AttrIndex(AAttr);
    if (AValue.isEmpty()) {
        RemoveNodeAttr(AAttr);
        return;
    }
    // An entry is read as name "=" value, the name ending at its first "=": a name given with "=" in it
    // matches no attribute and keeps its tail in the value.
    const char16_t* const pName = UnitsOf(AAttr);
    const char16_t* const pEq = FindChar(pName, pName + AAttr.size(), u'=');
    if (pEq) {
        const qsizetype nEq = pEq - pName;
        m_aAttrs.push_back({AAttr.left(nEq), AAttr.mid(nEq + 1) + u'=' + AValue});
    } else if (nIdx >= 0) {
        RemoveLaterAttrs(nIdx);
        m_aAttrs[nIdx].sName = AAttr;
        m_aAttrs[nIdx].sValue = AValue;
    } else {
        m_aAttrs.push_back({AAttr, AValue});
    }
}

QString TMXNode::GetNodeAttr(const QString& AAttr) const {
    const int nIdx = AttrIndex(AAttr);
    return nIdx < 0 ? QString() : Owned(m_aAttrs[nIdx].sValue);
}

QStringView TMXNode::GetNodeAttrView(const QString& AAttr) const {
    const int nIdx = AttrIndex(AAttr);
    return nIdx < 0 ? QStringView() : QStringView(m_aAttrs[nIdx].sValue);
}

void TMXNode::RemoveNodeAttr(const QString& AAttr) {
    // Every attribute of the name goes: removing only the first would bring a later one to be read.
    const int nIdx = AttrIndex(AAttr);
    if (nIdx < 0)
        return;
    RemoveLaterAttrs(nIdx);
    m_aAttrs.erase(m_aAttrs.begin() + nIdx);
}

void TMXNode::SetNodeText(const QString& AText) {
    TARVO_ASSERT(m_aNodes.Count() == 0, kUnit);
    m_sValueText = AText;
}

QString TMXNode::GetNodeText() const {
    return Owned(m_sValueText);
}

// ---------------------------------------------------------------------------------------------------------
// TMemXml

// Memory of the nodes of one parse and of their lists: small pieces are cut from blocks of a fixed size
// and given back only with the whole pool; large ones (the lists of many children) come from the heap and
// go back when freed. Blocks stay below the size the C library maps afresh for every request.
class TMemXml::TParsePool : public std::pmr::memory_resource {
public:
    TParsePool() = default;
    TParsePool(const TParsePool&) = delete;
    TParsePool& operator=(const TParsePool&) = delete;

private:
    static constexpr std::size_t kBlockSize = 64 * 1024;
    static constexpr std::size_t kLargeSize = 4 * 1024;

    void* do_allocate(std::size_t ASize, std::size_t AAlign) override {
        if (ASize > kLargeSize || AAlign > alignof(std::max_align_t))
            return std::pmr::new_delete_resource()->allocate(ASize, AAlign);
        std::size_t nPos = (m_nUsed + AAlign - 1) & ~(AAlign - 1);
        if (m_aBlocks.empty() || nPos + ASize > kBlockSize) {
            m_aBlocks.push_back(std::make_unique_for_overwrite<std::byte[]>(kBlockSize));
            nPos = 0;
        }
        m_nUsed = nPos + ASize;
        return m_aBlocks.back().get() + nPos;
    }

    void do_deallocate(void* APtr, std::size_t ASize, std::size_t AAlign) override {
        if (ASize > kLargeSize || AAlign > alignof(std::max_align_t))
            std::pmr::new_delete_resource()->deallocate(APtr, ASize, AAlign);
    }

    bool do_is_equal(const std::pmr::memory_resource& AOther) const noexcept override {
        return this == &AOther;
    }

    std::vector<std::unique_ptr<std::byte[]>> m_aBlocks;
    std::size_t m_nUsed = 0; // in the last block
};

TMemXml::TMemXml(const QString& AFileName, TXmlEncoding AEncoding)
    : FFileName(AFileName), FEncoding(AEncoding), m_oRootNode(std::make_unique<TMXNode>()) {
    LoadFile();
}

TMemXml::~TMemXml() = default;

void TMemXml::Clear() {
    m_oRootNode->m_aNodes.Clear();
    m_sDocType.clear();
    // No node of the last parse is left to point into its text or live in its pool.
    m_oPool.reset();
    m_sParsed.clear();
}

void TMemXml::Rename(const QString& AFileName, bool AReload) {
    FFileName = AFileName;
    if (AReload)
        LoadFile();
}

void TMemXml::LoadFile() {
    if (FFileName.isEmpty() || !QFileInfo::exists(FFileName)) {
        Clear();
        return;
    }
    QFile oFile(FFileName);
    const auto fail = [this](const QString& AReason) {
        throw EInOutError(
            QStringLiteral("Cannot read file \"%1\": %2").arg(QDir::toNativeSeparators(FFileName), AReason));
    };
    if (!oFile.open(QIODevice::ReadOnly))
        fail(oFile.errorString());
    if (oFile.size() > kMaxFileSize)
        fail(QStringLiteral("the file is larger than %1 bytes").arg(kMaxFileSize));
    QByteArray aBytes = oFile.readAll();
    if (oFile.error() != QFileDevice::NoError)
        fail(oFile.errorString());
    oFile.close();

    QByteArrayView aContent(aBytes);
    if (FEncoding == TXmlEncoding::None) {
        if (aContent.startsWith(kBomUtf8))
            FEncoding = TXmlEncoding::Utf8;
        else if (aContent.startsWith(kBomUtf16LE))
            FEncoding = TXmlEncoding::Utf16LE;
        else if (aContent.startsWith(kBomUtf16BE))
            FEncoding = TXmlEncoding::Utf16BE;
        else
            FEncoding = TXmlEncoding::Ansi;
    }
    // The declaration's encoding attribute is not consulted: the given encoding or the mark decides.
    const QByteArray aBom = BomOf(FEncoding);
    if (!aBom.isEmpty() && aContent.startsWith(aBom))
        aContent = aContent.sliced(aBom.size());
    QString sText = DecodeBytes(aContent, FEncoding);
    aBytes.clear();
    Parse(std::move(sText));
}

namespace {

// Hand-edited files carry comments and processing instructions anywhere; both are skipped as if they
// were not there. When a comment or a processing instruction other than the declaration starts at the
// "<" at AOpen, returns the position after it, else null. One that lacks its end ("-->", "?>") ends at
// the next ">", so an unfinished comment hides no more than an ordinary tag would; with no ">" left
// the result is AEnd and the parse ends there, as at any unfinished tag.
const char16_t* SkipCommentOrInstruction(const char16_t* AOpen, const char16_t* AEnd) {
    const qsizetype nLeft = AEnd - AOpen;
    const char16_t* pEndMark = nullptr;
    const char16_t* pEndMarkEnd = nullptr;
    if (nLeft >= 4 && AOpen[1] == u'!' && AOpen[2] == u'-' && AOpen[3] == u'-') {
        const QStringView sRest(AOpen + 4, AEnd - (AOpen + 4));
        const qsizetype nAt = sRest.indexOf(u"-->");
        if (nAt >= 0) {
            pEndMark = AOpen + 4 + nAt;
            pEndMarkEnd = pEndMark + 3;
        }
    } else if (nLeft >= 2 && AOpen[1] == u'?') {
        // The declaration is the tag whose name (up to the first blank, as for any tag) is "?xml".
        const char16_t* const pClose = FindChar(AOpen + 1, AEnd, u'>');
        if (pClose) {
            const char16_t* pContentEnd = pClose;
            if (pContentEnd > AOpen + 1 && (pContentEnd[-1] == u'/' || pContentEnd[-1] == u'?'))
                --pContentEnd;
            const char16_t* pNameEnd = FindChar(AOpen + 1, pContentEnd, u' ');
            if (!pNameEnd)
                pNameEnd = pContentEnd;
            if (QStringView(AOpen + 1, pNameEnd - (AOpen + 1)) == u"?xml")
                return nullptr;
        }
        const QStringView sRest(AOpen + 2, AEnd - (AOpen + 2));
        const qsizetype nAt = sRest.indexOf(u"?>");
        if (nAt >= 0) {
            pEndMark = AOpen + 2 + nAt;
            pEndMarkEnd = pEndMark + 2;
        }
    } else {
        return nullptr;
    }
    if (pEndMarkEnd)
        return pEndMarkEnd;
    const char16_t* const pClose = FindChar(AOpen + 1, AEnd, u'>');
    return pClose ? pClose + 1 : AEnd;
}

} // namespace

QString TMemXml::DecodeSpan(const char16_t* ABegin, const char16_t* AEnd, bool AAttr) const {
    return DecodeXmlValue(RawOf(ABegin, AEnd), AAttr);
}

void TMemXml::ParseAttrs(std::vector<TMXNode::TAttr>& VScratch, std::pmr::vector<TMXNode::TAttr>& VAttrs,
                         QStringView ATag, bool AOwned) const {
    VScratch.clear();
    const char16_t* p = ATag.utf16();
    const char16_t* const pEnd = p + ATag.size();
    while (p < pEnd) {
        const char16_t* const pEq = FindChar(p, pEnd, u'=');
        if (!pEq)
            break;
        // The name: blanks and control characters at both ends go; other white space stays.
        const char16_t* pName = p;
        const char16_t* pNameEnd = pEq;
        while (pName < pNameEnd && *pName <= 0x20)
            ++pName;
        while (pNameEnd > pName && pNameEnd[-1] <= 0x20)
            --pNameEnd;
        const char16_t* pValue = pEq + 1;
        if (pValue < pEnd && *pValue == u' ')
            ++pValue;
        // Values stand in double quotes, as the writer puts them, or in single quotes, as a hand edit may.
        if (pValue < pEnd && (*pValue == u'"' || *pValue == u'\'')) {
            const char16_t* const pQuote = FindChar(pValue + 1, pEnd, *pValue);
            if (!pQuote) {
                // Without a closing double quote no double quote is left in the tag, so no further value
                // can be read. A lone apostrophe is no quote: the value is skipped as an unquoted one.
                if (*pValue == u'"')
                    break;
                p = pValue;
                continue;
            }
            QString sValue = DecodeSpan(pValue + 1, pQuote, true);
            if (AOwned)
                VScratch.push_back({CopyOf(pName, pNameEnd), Owned(sValue)});
            else
                VScratch.push_back({RawOf(pName, pNameEnd), std::move(sValue)});
            p = pQuote + 1;
        } else {
            // A value without quotes is skipped; the search goes on for the next "=".
            p = pValue;
        }
    }
    if (VScratch.empty())
        return;
    VAttrs.reserve(VAttrs.size() + VScratch.size());
    for (TMXNode::TAttr& attr : VScratch)
        VAttrs.push_back(std::move(attr));
}

void TMemXml::SetText(const QString& AText) {
    // The parse keeps the text; one that does not own its characters is copied first.
    Parse(Owned(AText));
}

void TMemXml::Parse(QString AText) {
    Clear();
    m_sParsed = std::move(AText);
    m_oPool = std::make_unique<TParsePool>();
    std::pmr::memory_resource* const pPool = m_oPool.get();

    const char16_t* const pText = UnitsOf(m_sParsed);
    const char16_t* const pEnd = pText + m_sParsed.size();
    TMXNode* const pRoot = m_oRootNode.get();
    std::vector<TMXNode*> aStack; // open elements above the current one
    TMXNode* pCurrent = pRoot;
    qsizetype nFlattened = 0; // start tags past the depth limit whose end tags must not pop
    const char16_t* p = pText;
    std::vector<TMXNode::TAttr> aScratch;

    for (;;) {
        const char16_t* const pOpen = FindChar(p, pEnd, u'<');
        if (!pOpen)
            break;
        if (const char16_t* const pAfter = SkipCommentOrInstruction(pOpen, pEnd)) {
            p = pAfter;
            continue;
        }
        const char16_t* const pClose = FindChar(pOpen + 1, pEnd, u'>');
        if (!pClose)
            break;
        const char16_t* const pTag = pOpen + 1; // the tag is [pTag, pClose)

        if (pTag < pClose && *pTag == u'/') {
            // End tag: the name is not checked; "</>" does nothing.
            if (pClose - pTag > 1) {
                if (nFlattened > 0) {
                    --nFlattened;
                } else if (!aStack.empty()) {
                    pCurrent = aStack.back();
                    aStack.pop_back();
                } else {
                    pCurrent = pRoot;
                }
            }
            p = pClose + 1;
            continue;
        }

        const bool fClosedBySlash = pTag < pClose && pClose[-1] == u'/';
        const bool fClosedInItself = fClosedBySlash || (pTag < pClose && pClose[-1] == u'?');
        const char16_t* const pContentEnd = fClosedInItself ? pClose - 1 : pClose;
        const char16_t* pNameEnd = FindChar(pTag, pContentEnd, u' ');
        if (!pNameEnd)
            pNameEnd = pContentEnd;
        const QStringView sName(pTag, pNameEnd - pTag);

        if (sName == u"!DOCTYPE") {
            // The internal subset holds "<" and ">" of its own: count them from after the name.
            qsizetype nLevel = 1;
            const char16_t* i = pNameEnd;
            for (; i < pEnd; ++i) {
                if (*i == u'<')
                    ++nLevel;
                else if (*i == u'>' && --nLevel == 0)
                    break;
            }
            if (i >= pEnd) {
                m_sDocType = CopyOf(pOpen, pEnd);
                break;
            }
            m_sDocType = CopyOf(pOpen, i + 1);
            p = i + 1;
            continue;
        }

        const QStringView sAttrs(pNameEnd, pContentEnd - pNameEnd);
        p = pClose + 1;
        if (sName == u"?xml") {
            // The declaration stays with the root beyond this parse: its strings are copies.
            ParseAttrs(aScratch, pRoot->m_aAttrs, sAttrs, true);
            continue;
        }

        // "<>" or "< x>" names nothing: kept as an element it would be written back as "<>...</>", whose
        // end tag is skipped on the next read, so everything after it would move inside.
        if (sName.isEmpty())
            continue;

        TMXNode* const pNode = pCurrent->m_aNodes.Append(
            RawOf(pTag, pNameEnd),
            TMXNodeList::TNodePtr(new (pPool->allocate(sizeof(TMXNode), alignof(TMXNode))) TMXNode(pPool)));
        ParseAttrs(aScratch, pNode->m_aAttrs, sAttrs, false);
        if (!fClosedBySlash) {
            if (static_cast<qsizetype>(aStack.size()) + 2 <= MaxParseDepth) {
                aStack.push_back(pCurrent);
                pCurrent = pNode;
            } else {
                ++nFlattened;
            }
        }
        if (fClosedInItself)
            continue;

        // Text counts only when an end tag follows it directly; anything before a child is layout.
        // Comments and processing instructions within the text are left out of it: the pieces around
        // them are one text.
        const char16_t* pPiece = p;
        const char16_t* pNext = FindChar(pPiece, pEnd, u'<');
        QString sPieces;
        bool fPieces = false;
        while (pNext) {
            const char16_t* const pAfter = SkipCommentOrInstruction(pNext, pEnd);
            if (!pAfter)
                break;
            sPieces.append(QStringView(pPiece, pNext - pPiece));
            fPieces = true;
            pPiece = pAfter;
            pNext = FindChar(pPiece, pEnd, u'<');
        }
        if (!pNext)
            break;
        if (pNext + 1 < pEnd && pNext[1] == u'/') {
            if (!fPieces) {
                if (pNext > p)
                    pNode->m_sValueText = DecodeSpan(p, pNext, false);
            } else {
                sPieces.append(QStringView(pPiece, pNext - pPiece));
                if (!sPieces.isEmpty())
                    pNode->m_sValueText = DecodeXmlValue(sPieces, false);
            }
        }
        p = pNext;
    }
}

// Appends to a string through a pointer into its reserved length: the writer puts down many short pieces.
class TMemXml::TTextOut {
public:
    TTextOut(QString& VText, qsizetype AReserve) : m_rText(VText) {
        m_rText.resize(std::max<qsizetype>(AReserve, 64));
        m_pNext = Begin();
    }
    TTextOut(const TTextOut&) = delete;
    TTextOut& operator=(const TTextOut&) = delete;
    // The string gets the length of what was written.
    ~TTextOut() { m_rText.truncate(m_pNext - Begin()); }

    TTextOut& operator+=(QStringView AText) {
        if (End() - m_pNext < AText.size())
            Grow(AText.size());
        m_pNext = std::copy(AText.utf16(), AText.utf16() + AText.size(), m_pNext);
        return *this;
    }
    TTextOut& operator+=(char16_t AChar) {
        if (m_pNext == End())
            Grow(1);
        *m_pNext++ = AChar;
        return *this;
    }

private:
    char16_t* Begin() { return reinterpret_cast<char16_t*>(m_rText.data()); }
    char16_t* End() { return Begin() + m_rText.size(); }
    void Grow(qsizetype AMore) {
        const qsizetype nUsed = m_pNext - Begin();
        m_rText.resize(std::max(nUsed + AMore, m_rText.size() * 2));
        m_pNext = Begin() + nUsed;
    }

    QString& m_rText;
    char16_t* m_pNext;
};

void TMemXml::AttrsToText(TTextOut& VText, const TMXNode& ANode) const {
    for (const TMXNode::TAttr& attr : ANode.m_aAttrs) {
        VText += u' ';
        VText += attr.sName;
        VText += u"=\"";
        VText += EncodeXmlValue(attr.sValue, true);
        VText += u'"';
    }
}

void TMemXml::NodeToText(TTextOut& VText, const TMXNode& ANode, const QString& AName,
                         QStringView AIndent) const {
    // Walks the subtree with an explicit stack so that deep trees cannot exhaust the call stack.
    // Indentation stops growing at MaxParseDepth tabs, which keeps the text linear in the tree size.
    static const QString sTabs(MaxParseDepth, u'\t');
    const auto indent = [&](int ALevel) {
        VText += AIndent;
        VText += QStringView(sTabs).left(std::min(ALevel, MaxParseDepth));
    };
    struct TFrame {
        const TMXNode* pNode;
        const QString* pName;
        int nLevel;
        int nNext;
    };
    std::vector<TFrame> aStack;

    // Writes the start of an element; returns true when it has children to write.
    const auto open = [&](const TMXNode& AElement, const QString& AElementName, int ALevel) {
        indent(ALevel);
        VText += u'<';
        VText += AElementName;
        AttrsToText(VText, AElement);
        if (AElement.m_aNodes.Count() > 0) {
            VText += u">\r\n";
            return true;
        }
        if (AElement.m_sValueText.isEmpty()) {
            VText += u"/>\r\n";
        } else {
            VText += u'>';
            VText += EncodeXmlValue(AElement.m_sValueText, false);
            VText += u"</";
            VText += AElementName;
            VText += u">\r\n";
        }
        return false;
    };

    if (open(ANode, AName, 0))
        aStack.push_back({&ANode, &AName, 0, 0});
    while (!aStack.empty()) {
        TFrame& top = aStack.back();
        const TMXNodeList& aChildren = top.pNode->m_aNodes;
        if (top.nNext < aChildren.Count()) {
            const TMXNodeList::TEntry& entry = aChildren.m_aItems[top.nNext++];
            const int nLevel = top.nLevel + 1;
            if (open(*entry.oNode, entry.sName, nLevel))
                aStack.push_back({entry.oNode.get(), &entry.sName, nLevel, 0}); // invalidates top
            continue;
        }
        indent(top.nLevel);
        VText += u"</";
        VText += *top.pName;
        VText += u">\r\n";
        aStack.pop_back();
    }
}

void TMemXml::GetText(QString& VText) const {
    VText.clear();
    // The text read last is about as long as the one written now.
    TTextOut out(VText, m_sParsed.size() + m_sParsed.size() / 8 + 1024);
    out += u"<?xml";
    AttrsToText(out, *m_oRootNode);
    out += u"?>\r\n";
    if (!m_sDocType.isEmpty()) {
        out += m_sDocType;
        out += u"\r\n";
    }
    for (const TMXNodeList::TEntry& entry : m_oRootNode->m_aNodes.m_aItems)
        NodeToText(out, *entry.oNode, entry.sName, QStringView());
}

QString TMemXml::GetText() const {
    QString sText;
    GetText(sText);
    return sText;
}

void TMemXml::UpdateFile() {
    if (FEncoding == TXmlEncoding::None)
        FEncoding = TXmlEncoding::Ansi;
    WriteFileAtomically(FFileName, EncodeText(GetText(), FEncoding));
}

namespace {

// The entity starting at the "&" at AText: its length and character, or 0 when it is none of the five.
inline int MatchEntity(const char16_t* AText, const char16_t* AEnd, char16_t& VChar) {
    const qsizetype n = AEnd - AText;
    const auto is = [AText, n](const char16_t* AName, qsizetype ALen) {
        return n >= ALen && std::equal(AName, AName + ALen, AText);
    };
    if (is(u"&quot;", 6)) {
        VChar = u'"';
        return 6;
    }
    if (is(u"&amp;", 5)) {
        VChar = u'&';
        return 5;
    }
    if (is(u"&apos;", 6)) {
        VChar = u'\'';
        return 6;
    }
    if (is(u"&lt;", 4)) {
        VChar = u'<';
        return 4;
    }
    if (is(u"&gt;", 4)) {
        VChar = u'>';
        return 4;
    }
    return 0;
}

} // namespace

QString TMemXml::DecodeXmlValue(const QString& AStr, bool /*AAttr*/) const {
    const char16_t* const pBegin = UnitsOf(AStr);
    const char16_t* const pEnd = pBegin + AStr.size();
    const char16_t* p = FindChar(pBegin, pEnd, u'&');
    if (!p)
        return AStr;
    // Decoding only shortens the text, so the result is written into one buffer of the input's size.
    QString sResult(AStr.size(), Qt::Uninitialized);
    char16_t* const pOut = reinterpret_cast<char16_t*>(sResult.data());
    char16_t* q = std::copy(pBegin, p, pOut);
    while (p < pEnd) {
        char16_t cChar = 0;
        const int nLen = *p == u'&' ? MatchEntity(p, pEnd, cChar) : 0;
        if (nLen > 0) {
            *q++ = cChar;
            p += nLen;
        } else {
            // An ampersand that starts none of the entities stays as it is.
            *q++ = *p++;
        }
    }
    sResult.truncate(q - pOut);
    return sResult;
}

QString TMemXml::EncodeXmlValue(const QString& AStr, bool /*AAttr*/) const {
    const char16_t* const pBegin = UnitsOf(AStr);
    const char16_t* const pEnd = pBegin + AStr.size();
    // " & ' < > as bits of one mask: most characters are told apart by one comparison.
    constexpr std::uint64_t kSpecial =
        (1ull << u'"') | (1ull << u'&') | (1ull << u'\'') | (1ull << u'<') | (1ull << u'>');
    qsizetype nExtra = 0; // characters the entities add
    for (const char16_t* p = pBegin; p < pEnd; ++p) {
        if (*p > u'>' || !((kSpecial >> *p) & 1u))
            continue;
        switch (*p) {
        case u'"':
        case u'\'':
            nExtra += 5;
            break;
        case u'&':
            nExtra += 4;
            break;
        case u'<':
        case u'>':
            nExtra += 3;
            break;
        default:
            break;
        }
    }
    if (nExtra == 0)
        return AStr;
    QString sResult(AStr.size() + nExtra, Qt::Uninitialized);
    char16_t* q = reinterpret_cast<char16_t*>(sResult.data());
    const auto put = [&q](QStringView AEntity) {
        q = std::copy(AEntity.utf16(), AEntity.utf16() + AEntity.size(), q);
    };
    for (const char16_t* p = pBegin; p < pEnd; ++p) {
        switch (*p) {
        case u'"':
            put(u"&quot;");
            break;
        case u'&':
            put(u"&amp;");
            break;
        case u'\'':
            put(u"&apos;");
            break;
        case u'<':
            put(u"&lt;");
            break;
        case u'>':
            put(u"&gt;");
            break;
        default:
            *q++ = *p;
        }
    }
    return sResult;
}
