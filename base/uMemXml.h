#pragma once
// In-memory XML store for the data file: a small tolerant parser and an indented CR LF writer.
// Names are looked up without regard to case; with duplicate names a lookup finds the last entry.
// Only elements, attributes (in double or single quotes), leaf text, the declaration and one DOCTYPE
// are supported; comments and other processing instructions are skipped wherever they stand.
// Any input parses without failing; nesting deeper than TMemXml::MaxParseDepth is flattened so that
// neither the parser, the writer nor the destructor depend on the depth of the input.
//
// A parse keeps the document's text and puts the elements it reads into one memory pool of the store:
// their names and values point into that text, and whatever a caller receives is its own copy. Elements
// added later are ordinary heap objects.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <memory_resource>
#include <vector>

class TMXNode;

// Ordered children of an element: (name as written, owned node), with a lazily built name index.
// Short lists are searched directly; longer ones get a hash index on their first lookup.
class TMXNodeList {
public:
    explicit TMXNodeList(std::pmr::memory_resource* AMemory = std::pmr::new_delete_resource());
    ~TMXNodeList();
    TMXNodeList(const TMXNodeList&) = delete;
    TMXNodeList& operator=(const TMXNodeList&) = delete;

    int Count() const { return static_cast<int>(m_aItems.size()); }
    TMXNode* AddNode(const QString& ANodeName);
    // Position of the last entry named S (case-insensitive), or -1.
    int IndexOf(const QString& S) const { return IndexOf(QStringView(S)); }
    int IndexOf(QStringView S) const;
    TMXNode* GetNodeByName(const QString& AName) const;
    TMXNode* GetNode(int AIdx) const; // 0 <= AIdx < Count(), else assertion (uUtils)
    QString Get(int AIdx) const;      // element name of an entry
    // The element name without a copy; valid while the entry is unchanged. Bad index: as Get.
    QStringView NameView(int AIdx) const;
    // "A\B\C": each name looked up in turn, missing ones appended when ACreate; null when not found.
    TMXNode* FindNode(const QString& ANodePath, bool ACreate);
    void Delete(int AIdx);
    void Clear();

private:
    friend class TMemXml;
    // Frees a node the way it was made: from the parse pool (destroyed in place) or the heap.
    struct TNodeDeleter {
        void operator()(TMXNode* ANode) const;
    };
    using TNodePtr = std::unique_ptr<TMXNode, TNodeDeleter>;
    struct TEntry {
        QString sName;
        TNodePtr oNode;
    };
    // Open addressing over the entries' positions; a slot holds the last entry of its name.
    struct TNameIndex {
        std::vector<std::uint32_t> aHashes; // per entry: hash of the upper-cased name
        std::vector<int> aSlots;            // entry position or -1; the size is a power of two
        qsizetype nUsed = 0;
    };

    void Changed() { FNameHashValid = false; }
    void RebuildHash() const;
    void IndexEntry(int AIdx) const;
    TMXNode* Append(QString AName, TNodePtr ANode);

    std::pmr::vector<TEntry> m_aItems;
    mutable std::unique_ptr<TNameIndex> FNameHash; // created by the first hashed lookup
    mutable bool FNameHashValid = false;
};

class TMXNode {
public:
    TMXNode() = default;
    TMXNode(const TMXNode&) = delete;
    TMXNode& operator=(const TMXNode&) = delete;

    TMXNodeList& ChildNodes() { return m_aNodes; }
    const TMXNodeList& ChildNodes() const { return m_aNodes; }
    // Attributes as "name=value" entries in file order (a copy).
    QStringList Attrs() const;
    int AttrCount() const { return static_cast<int>(m_aAttrs.size()); }

    bool NodeExists(const QString& ANode) const;
    bool AttrExists(const QString& AAttr) const;
    bool ValueTextExists() const { return !m_sValueText.isEmpty(); }
    void EraseNode(const QString& ANode);
    void ClearNodes();
    TMXNode* AddNode(const QString& ANode);
    // Sets the first attribute of that name (appends when missing); an empty value removes it. Later
    // attributes of the same name (case aside) are removed, so the value set is the one read back.
    void SetNodeAttr(const QString& AAttr, const QString& AValue);
    QString GetNodeAttr(const QString& AAttr) const;
    // The value GetNodeAttr gives, without a copy; valid while the attributes are unchanged.
    QStringView GetNodeAttrView(const QString& AAttr) const;
    void RemoveNodeAttr(const QString& AAttr); // every attribute of that name
    void SetNodeText(const QString& AText);    // the node must have no children (assertion, uUtils)
    QString GetNodeText() const;

private:
    friend class TMemXml;
    friend class TMXNodeList;
    // A node of a parse: its lists take their memory from the parse pool.
    explicit TMXNode(std::pmr::memory_resource* AMemory)
        : m_aNodes(AMemory), m_aAttrs(AMemory), m_fPooled(true) {}

    // Name and value of one attribute; the name never holds "=".
    struct TAttr {
        QString sName;
        QString sValue;
    };
    int AttrIndex(QStringView AAttr) const;
    // Removes the attributes after position AIdx whose name is that of the attribute at AIdx.
    void RemoveLaterAttrs(int AIdx);

    TMXNodeList m_aNodes;
    std::pmr::vector<TAttr> m_aAttrs{std::pmr::new_delete_resource()};
    QString m_sValueText;
    bool m_fPooled = false;
};

enum class TXmlEncoding { None, Ansi, Utf8, Utf16LE, Utf16BE };

class TMemXml {
public:
    // Elements are opened by the parser down to this depth below the root; deeper start tags are added
    // as children of the deepest open element. The writer indents at most this many tabs.
    static constexpr int MaxParseDepth = 256;

    // Stores the name and encoding and reads the file (a missing file or empty name gives an empty store).
    // A file that cannot be read raises EInOutError.
    explicit TMemXml(const QString& AFileName, TXmlEncoding AEncoding = TXmlEncoding::None);
    virtual ~TMemXml();
    TMemXml(const TMemXml&) = delete;
    TMemXml& operator=(const TMemXml&) = delete;

    const QString& FileName() const { return FFileName; }
    TXmlEncoding Encoding() const { return FEncoding; }
    TMXNode& RootNode() { return *m_oRootNode; }
    const TMXNode& RootNode() const { return *m_oRootNode; }
    QString DocType() const { return m_sDocType; }

    void Clear();
    void SetText(const QString& AText);
    void GetText(QString& VText) const;
    QString GetText() const;
    // Writes the document to FileName in its encoding (BOM first when it has one). The new content goes
    // to a temporary file in the same folder, is flushed to disk and renamed over the old file, so the
    // file on disk is always either the old or the new complete document. Raises EInOutError.
    void UpdateFile();
    void Rename(const QString& AFileName, bool AReload);

    virtual QString DecodeXmlValue(const QString& AStr, bool AAttr) const;
    virtual QString EncodeXmlValue(const QString& AStr, bool AAttr) const;

private:
    void LoadFile();
    void Parse(QString AText);
    // DecodeXmlValue of the text [ABegin, AEnd) of the document being parsed.
    QString DecodeSpan(const char16_t* ABegin, const char16_t* AEnd, bool AAttr) const;
    // Appends the attributes of a tag's text after its name to VAttrs; AOwned: as copies of their own.
    void ParseAttrs(std::vector<TMXNode::TAttr>& VScratch, std::pmr::vector<TMXNode::TAttr>& VAttrs,
                    QStringView ATag, bool AOwned) const;
    class TTextOut;
    void AttrsToText(TTextOut& VText, const TMXNode& ANode) const;
    void NodeToText(TTextOut& VText, const TMXNode& ANode, const QString& AName, QStringView AIndent) const;

    QString FFileName;
    TXmlEncoding FEncoding = TXmlEncoding::None;
    class TParsePool;
    // The text of the last parse and the pool of its nodes; both outlive the tree (declared before it).
    QString m_sParsed;
    std::unique_ptr<TParsePool> m_oPool;
    std::unique_ptr<TMXNode> m_oRootNode;
    QString m_sDocType;
};
