#include "base/uExceptions.h"
#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

// Compact form of a subtree for comparisons, independent of the writer:
// name{attr entries}'text'(children), siblings separated by one blank.
QString DumpChildren(const TMXNode& ANode);

QString DumpElement(const QString& AName, const TMXNode& ANode) {
    QString sText = AName;
    if (!ANode.Attrs().isEmpty())
        sText += u'{' + ANode.Attrs().join(u',') + u'}';
    if (ANode.ValueTextExists())
        sText += u'\'' + ANode.GetNodeText() + u'\'';
    if (ANode.ChildNodes().Count() > 0)
        sText += u'(' + DumpChildren(ANode) + u')';
    return sText;
}

QString DumpChildren(const TMXNode& ANode) {
    QStringList aParts;
    const TMXNodeList& aNodes = ANode.ChildNodes();
    for (int i = 0; i < aNodes.Count(); ++i)
        aParts += DumpElement(aNodes.Get(i), *aNodes.GetNode(i));
    return aParts.join(u' ');
}

QByteArray ReadAll(const QString& AFileName) {
    QFile oFile(AFileName);
    if (!oFile.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return oFile.readAll();
}

int TreeDepth(const TMXNode& ANode) {
    int nDepth = 0;
    const TMXNode* pNode = &ANode;
    while (pNode->ChildNodes().Count() > 0) {
        pNode = pNode->ChildNodes().GetNode(0);
        ++nDepth;
    }
    return nDepth;
}

const QString kCrLf = QStringLiteral("\r\n");

} // namespace

// ---------------------------------------------------------------------------------------------------------
// Parser

struct TParseCase {
    const char* sWhat;
    const char16_t* sInput;
    const char16_t* sTree;
    const char16_t* sDocType;
};

class MemXmlParse : public testing::TestWithParam<TParseCase> {};

TEST_P(MemXmlParse, BuildsTree) {
    const TParseCase& c = GetParam();
    TMemXml oXml{QString()};
    oXml.SetText(QString::fromUtf16(c.sInput));
    EXPECT_EQ(DumpChildren(oXml.RootNode()), QString::fromUtf16(c.sTree)) << c.sWhat;
    EXPECT_EQ(oXml.DocType(), QString::fromUtf16(c.sDocType)) << c.sWhat;
    EXPECT_TRUE(oXml.RootNode().Attrs().isEmpty()) << c.sWhat;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MemXmlParse,
    testing::Values(
        TParseCase{"nested elements", u"<a>\r\n\t<b>x</b>\r\n\t<c/>\r\n</a>", u"a(b'x' c)", u""},
        TParseCase{"end tag names are not checked", u"<a><b></a><c/></b>", u"a(b c)", u""},
        TParseCase{"an empty end tag is skipped", u"<a></><b/></a>", u"a(b)", u""},
        TParseCase{"a tag without a name makes no element", u"<a><>x</><b/></a><c/>", u"a(b) c", u""},
        TParseCase{"surplus end tags are ignored", u"</x></y><a/><b/>", u"a b", u""},
        TParseCase{"missing end tags leave elements open", u"<a><b><c>", u"a(b(c))", u""},
        TParseCase{"self-closing with attributes", u"<a x=\"1\" y=\"2\"/><b />", u"a{x=1,y=2} b", u""},
        TParseCase{"'?' closes the tag but the element stays open", u"<a?><b/>", u"a(b)", u""},
        TParseCase{"text is not trimmed", u"<a>  </a>", u"a'  '", u""},
        TParseCase{"text before a child is ignored", u"<a>x<b/></a>", u"a(b)", u""},
        TParseCase{"text after a child is ignored", u"<a><b/>x</a>", u"a(b)", u""},
        TParseCase{"text goes to the element it directly follows", u"<a>x<b>y</b></a>", u"a(b'y')", u""},
        TParseCase{"text after the last tag is ignored", u"<a/>tail", u"a", u""},
        TParseCase{"an unterminated tag ends the parse", u"<a><b x=\"1\"", u"a", u""},
        TParseCase{"one level of entity decoding", u"<a>x &amp;lt; y</a>", u"a'x &lt; y'", u""},
        TParseCase{"unknown entities stay", u"<a v=\"&nbsp;&amp &AMP;&#65;&lt;\"/>",
                   u"a{v=&nbsp;&amp &AMP;&#65;<}", u""},
        TParseCase{"one blank after '=' only", u"<a x= \"1\" y=  \"2\"/>", u"a{x=1}", u""},
        TParseCase{"an unquoted value is skipped", u"<a x=1/>", u"a", u""},
        TParseCase{"a value without closing quote is skipped", u"<a y=\"2\" x=\"1/>", u"a{y=2}", u""},
        TParseCase{"'>' in a value ends the tag", u"<a x=\"1>2\"/><b/>", u"a(b)", u""},
        TParseCase{"attribute names lose blanks and controls", u"<a x=\"1\"\r\n\ty=\"2\"/>", u"a{x=1,y=2}",
                   u""},
        TParseCase{"attributes keep order and duplicates", u"<a X=\"1\" x=\"2\"/>", u"a{X=1,x=2}", u""},
        TParseCase{"attribute values keep line breaks", u"<a v=\"1\r\n2\"/>", u"a{v=1\r\n2}", u""},
        TParseCase{"the name ends at a blank only", u"<a\tb/>", u"a\tb", u""},
        TParseCase{"doctype with an internal subset", u"<!DOCTYPE r [<!ENTITY e \"v\">]>\r\n<r/>", u"r",
                   u"<!DOCTYPE r [<!ENTITY e \"v\">]>"},
        TParseCase{"an unterminated doctype runs to the end", u"<!DOCTYPE r [<!ENTITY e \"v\"><r/>", u"",
                   u"<!DOCTYPE r [<!ENTITY e \"v\"><r/>"},
        TParseCase{"'!DOCTYPE' is case sensitive", u"<!doctype r><r/>", u"!doctype(r)", u""},
        TParseCase{"no markup at all", u"plain text", u"", u""}));

// Files that hold no comment, no processing instruction and no value in single quotes are written
// exactly as before those were read: each input with the text its parse has always been written as.
TEST(MemXml, FilesWithoutCommentsAreWrittenAsBefore) {
    struct TCase {
        const char* sWhat;
        const char16_t* sInput;
        const char16_t* sWritten;
    };
    const TCase aCases[] = {
        {"a data file as both programs leave it",
         u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n\t<Main "
         u"language=\"0419\" keyView=\"1\" "
         u"keyEditFormatId=\"2\">\r\n\t\t<StartDayTime>06:30</StartDayTime>\r\n\t\t<Log fileFormat=\"1, "
         u"csv\" filePeriod=\"2, month\"/>\r\n\t\t<NDS>18</NDS>\r\n\t\t<Printer>Desk &amp; "
         u"Co</Printer>\r\n\t</Main>\r\n\t<TimeZones>\r\n\t\t<Item1 name=\"Day\" startTime=\"08:00\" "
         u"baseCost=\"3.5\" minCost=\"1.5\"/>\r\n\t</TimeZones>\r\n\t<Cards RdMode=\"2\">\r\n\t\t<Item3 "
         u"number=\"00AB12\" name=\"Ann &quot;A&quot;\" level=\"2\">\r\n\t\t\t<Commant>vip "
         u"&lt;3&gt;</Commant>\r\n\t\t</Item3>\r\n\t\t<Item7 number=\"CD34\" "
         u"name=\"\u0411\u043E\u0440\u0438\u0441\" "
         u"level=\"0\">\r\n\t\t\t<Commant/>\r\n\t\t</Item7>\r\n\t</Cards>\r\n\t<Popup fontName=\"Calibri\" "
         u"fontSize=\"20\" max=\"10\" timeOut=\"7\"/>\r\n</Tarvo>\r\n",
         u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n\t<Main "
         u"language=\"0419\" keyView=\"1\" "
         u"keyEditFormatId=\"2\">\r\n\t\t<StartDayTime>06:30</StartDayTime>\r\n\t\t<Log fileFormat=\"1, "
         u"csv\" filePeriod=\"2, month\"/>\r\n\t\t<NDS>18</NDS>\r\n\t\t<Printer>Desk &amp; "
         u"Co</Printer>\r\n\t</Main>\r\n\t<TimeZones>\r\n\t\t<Item1 name=\"Day\" startTime=\"08:00\" "
         u"baseCost=\"3.5\" minCost=\"1.5\"/>\r\n\t</TimeZones>\r\n\t<Cards RdMode=\"2\">\r\n\t\t<Item3 "
         u"number=\"00AB12\" name=\"Ann &quot;A&quot;\" level=\"2\">\r\n\t\t\t<Commant>vip "
         u"&lt;3&gt;</Commant>\r\n\t\t</Item3>\r\n\t\t<Item7 number=\"CD34\" "
         u"name=\"\u0411\u043E\u0440\u0438\u0441\" "
         u"level=\"0\">\r\n\t\t\t<Commant/>\r\n\t\t</Item7>\r\n\t</Cards>\r\n\t<Popup fontName=\"Calibri\" "
         u"fontSize=\"20\" max=\"10\" timeOut=\"7\"/>\r\n</Tarvo>\r\n"},
        {"a hand layout: LF line ends, no indentation",
         u"<?xml version=\"1.0\"?>\n<Tarvo version=\"1.2\">\n<Cards>\n  <Item1 number=\"0A\"  "
         u"name=\"Ann\">\n    <Commant>line one\nline two</Commant>\n  </Item1>\n</Cards>\n</Tarvo>\n",
         u"<?xml version=\"1.0\"?>\r\n<Tarvo version=\"1.2\">\r\n\t<Cards>\r\n\t\t<Item1 number=\"0A\" "
         u"name=\"Ann\">\r\n\t\t\t<Commant>line one\nline "
         u"two</Commant>\r\n\t\t</Item1>\r\n\t</Cards>\r\n</Tarvo>\r\n"},
        {"apostrophes that are no quotes",
         u"<Tarvo version=\"1.2\"><Cards><Item1 number=\"0A\" "
         u"name=\"O'Brien\"><Commant>it's</Commant></Item1><Item2 x=y'z' name=\"b\"/></Cards></Tarvo>",
         u"<?xml?>\r\n<Tarvo version=\"1.2\">\r\n\t<Cards>\r\n\t\t<Item1 number=\"0A\" "
         u"name=\"O&apos;Brien\">\r\n\t\t\t<Commant>it&apos;s</Commant>\r\n\t\t</Item1>\r\n\t\t<Item2 y'z' "
         u"name=\"b\"/>\r\n\t</Cards>\r\n</Tarvo>\r\n"},
        {"values that are skipped, blanks around '='",
         u"<a  x = \"1\"   y= \"2\" z =\"3\" w=  \"4\" u=5 t=\"6/>",
         u"<?xml?>\r\n<a x=\"1\" y=\"2\" z=\"3\"/>\r\n"},
        {"'>' in a value ends the tag", u"<a v=\"x>y\"/><b/>", u"<?xml?>\r\n<a>\r\n\t<b/>\r\n</a>\r\n"},
        {"duplicate names, empty values, controls in names",
         u"<a X=\"1\" x=\"2\" e=\"\" \u0001n\u0002=\"3\"/>",
         u"<?xml?>\r\n<a X=\"1\" x=\"2\" e=\"\" n=\"3\"/>\r\n"},
        {"doctype, surplus and missing end tags, a nameless tag",
         u"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY e \"v\">]>\r\n<r><s></r></x></y><>t</><t/><u>",
         u"<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [<!ENTITY e "
         u"\"v\">]>\r\n<r>\r\n\t<s/>\r\n</r>\r\n<t/>\r\n<u/>\r\n"},
        {"entities and the text rules",
         u"<a>x &amp;lt; y &unknown; &#65;</a><b>  </b><c>x<d/>y</c><e><f/>z</e>tail",
         u"<?xml?>\r\n<a>x &amp;lt; y &amp;unknown; &amp;#65;</a>\r\n<b>  "
         u"</b>\r\n<c>\r\n\t<d/>\r\n</c>\r\n<e>\r\n\t<f/>\r\n</e>\r\n"},
        {"markup the files never hold", u"<a><![CDATA[x]]><!ELEMENT e ANY><b/></a><!doctype r>",
         u"<?xml?>\r\n<a>\r\n\t<![CDATA[x]]>\r\n\t\t<!ELEMENT>\r\n\t\t\t<b/>\r\n\t\t</"
         u"!ELEMENT>\r\n\t\t<!doctype/>\r\n\t</![CDATA[x]]>\r\n</a>\r\n"},
        {"two declarations", u"<?xml?><?xml version=\"1.0\" encoding=\"utf-8\"?><r/>",
         u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r/>\r\n"},
        {"a tab after the name, a tag closed by '?'", u"<a\tb=\"1\"><c?><d/></c></a>",
         u"<?xml?>\r\n<a\tb=\"1\">\r\n\t<c>\r\n\t\t<d/>\r\n\t</c>\r\n</a\tb=\"1\">\r\n"},
        {"ampersands and quotes in values and text", u"<a t=\"&amp &quot;q&quot;\">\"&\"</a>",
         u"<?xml?>\r\n<a t=\"&amp;amp &quot;q&quot;\">&quot;&amp;&quot;</a>\r\n"},
        {"no markup at all", u"no markup here", u"<?xml?>\r\n"},
        {"end tags of another case", u"<A><b><C>1</c></B></a><A/>",
         u"<?xml?>\r\n<A>\r\n\t<b>\r\n\t\t<C>1</C>\r\n\t</b>\r\n</A>\r\n<A/>\r\n"},
    };
    for (const TCase& c : aCases) {
        TMemXml oXml{QString()};
        oXml.SetText(QString::fromUtf16(c.sInput));
        EXPECT_EQ(oXml.GetText(), QString::fromUtf16(c.sWritten)) << c.sWhat;
    }
}

// Hand edits: comments and processing instructions anywhere are left out, values in single quotes are
// read. The tree is what the same file without them gives.
TEST(MemXml, CommentsInstructionsAndSingleQuotes) {
    struct TCase {
        const char* sWhat;
        const char16_t* sInput;
        const char16_t* sTree;
        const char16_t* sDeclaration; // the declaration's attributes, joined by ","
    };
    const TCase aCases[] = {
        {"a comment between cards",
         u"<Tarvo><Cards><Item1 number=\"01\"/>\r\n<!-- Bob left -->\r\n<Item2 "
         u"number=\"02\"/></Cards><Popup max=\"5\"/></Tarvo>",
         u"Tarvo(Cards(Item1{number=01} Item2{number=02}) Popup{max=5})", u""},
        {"comments around the root",
         u"<!-- by hand -->\r\n<?xml version=\"1.0\"?>\r\n<!-- 2024 --><Tarvo "
         u"version=\"1.2\"/>\r\n<!-- end -->\r\n",
         u"Tarvo{version=1.2}", u"version=1.0"},
        {"a commented-out card", u"<Cards><!-- <Item9 number=\"09\"/> --><Item1 number=\"01\"/></Cards>",
         u"Cards(Item1{number=01})", u""},
        {"'>' and '--' inside a comment", u"<a><!-- x > y -- z --><b/></a>", u"a(b)", u""},
        {"a comment without its end stops at the next '>'", u"<a><!-- x <b/><c/></a>", u"a(c)", u""},
        {"a comment with no '>' after it ends the parse", u"<a/><!-- x", u"a", u""},
        {"processing instructions",
         u"<?xml version=\"1.0\"?><?xml-stylesheet href=\"s.css\"?><r><?pi a>b?><s/></r>", u"r(s)",
         u"version=1.0"},
        {"an instruction without its end stops at the next '>'", u"<r><?pi a><s/></r>", u"r(s)", u""},
        {"a comment inside a text", u"<Commant>vip <!-- since May --> guest</Commant>",
         u"Commant'vip  guest'", u""},
        {"a text in pieces is decoded whole", u"<a>x &amp;<!--c-->amp; y</a>", u"a'x &amp; y'", u""},
        {"a comment that is all of the content", u"<a><!-- none --></a><b> <!--c--> </b>", u"a b'  '", u""},
        {"a comment before a child keeps the text rule", u"<a>x<!--c--><b/></a>", u"a(b)", u""},
        {"values in single quotes", u"<Item1 number='0A' name='Ann \"A\"' level=\"2\" c='&apos;x&apos;'/>",
         u"Item1{number=0A,name=Ann \"A\",level=2,c='x'}", u""},
        {"a single quote after one blank", u"<a x= '1'/>", u"a{x=1}", u""},
        {"a lone apostrophe is no quote", u"<a x='1 y=\"2\"/>", u"a{'1 y=2}", u""},
        {"single quotes in the declaration", u"<?xml version='1.0' encoding='utf-8'?><r/>", u"r",
         u"version=1.0,encoding=utf-8"},
    };
    for (const TCase& c : aCases) {
        TMemXml oXml{QString()};
        oXml.SetText(QString::fromUtf16(c.sInput));
        EXPECT_EQ(DumpChildren(oXml.RootNode()), QString::fromUtf16(c.sTree)) << c.sWhat;
        EXPECT_EQ(oXml.RootNode().Attrs().join(u','), QString::fromUtf16(c.sDeclaration)) << c.sWhat;
        EXPECT_EQ(oXml.DocType(), QString()) << c.sWhat;
    }
}

TEST(MemXml, DeclarationAttributesGoToTheRoot) {
    TMemXml oXml{QString()};
    oXml.SetText(u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<r a=\"1\"/>"_qs);
    EXPECT_EQ(oXml.RootNode().Attrs(), QStringList({u"version=1.0"_qs, u"encoding=utf-8"_qs}));
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"r{a=1}");
    // A new parse replaces the tree and the doctype but keeps the declaration and appends to it.
    oXml.SetText(u"<?xml standalone=\"yes\"?><s/>"_qs);
    EXPECT_EQ(oXml.RootNode().Attrs(),
              QStringList({u"version=1.0"_qs, u"encoding=utf-8"_qs, u"standalone=yes"_qs}));
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"s");
}

TEST(MemXml, DeepNestingIsFlattenedBelowTheDepthLimit) {
    const int nDepth = 100000;
    QString sText;
    sText.reserve(nDepth * 7 + 8);
    for (int i = 0; i < nDepth; ++i)
        sText += u"<a>";
    sText += u"x";
    for (int i = 0; i < nDepth; ++i)
        sText += u"</a>";
    sText += u"<z/>";

    TMemXml oXml{QString()};
    oXml.SetText(sText);
    const TMXNodeList& aTop = oXml.RootNode().ChildNodes();
    // The end tags of flattened elements do not close the open ones: z is still a top-level element.
    ASSERT_EQ(aTop.Count(), 2);
    EXPECT_EQ(aTop.Get(1), u"z");
    EXPECT_EQ(TreeDepth(*aTop.GetNode(0)) + 1, TMemXml::MaxParseDepth);

    const TMXNode* pDeepest = aTop.GetNode(0);
    while (pDeepest->ChildNodes().GetNode(0)->ChildNodes().Count() > 0)
        pDeepest = pDeepest->ChildNodes().GetNode(0);
    EXPECT_EQ(pDeepest->ChildNodes().Count(), nDepth - TMemXml::MaxParseDepth + 1);
    EXPECT_EQ(pDeepest->ChildNodes().GetNode(pDeepest->ChildNodes().Count() - 1)->GetNodeText(), u"x");

    // What the writer makes of it reads back to the same text.
    const QString sWritten = oXml.GetText();
    TMemXml oAgain{QString()};
    oAgain.SetText(sWritten);
    EXPECT_EQ(oAgain.GetText(), sWritten);
}

TEST(MemXml, HugeAttributeValuesAndTexts) {
    const QString sValue = QString(2000000, u'v') + u"&<>\"'"_qs + QString(1000000, u'&');
    TMemXml oXml{QString()};
    TMXNode* pNode = oXml.RootNode().AddNode(u"a"_qs);
    pNode->SetNodeAttr(u"v"_qs, sValue);
    pNode->SetNodeText(sValue);
    TMemXml oAgain{QString()};
    oAgain.SetText(oXml.GetText());
    const TMXNode* pRead = oAgain.RootNode().ChildNodes().GetNodeByName(u"a"_qs);
    ASSERT_NE(pRead, nullptr);
    EXPECT_TRUE(pRead->GetNodeAttr(u"v"_qs) == sValue);
    EXPECT_TRUE(pRead->GetNodeText() == sValue);
}

// ---------------------------------------------------------------------------------------------------------
// Entities

TEST(MemXml, EntityRules) {
    const TMemXml oXml{QString()};
    const struct {
        const char16_t* sRaw;
        const char16_t* sEncoded;
    } aCases[] = {
        {u"\"&'<>", u"&quot;&amp;&apos;&lt;&gt;"},
        {u"line\r\nbreak\ttab äö €", u"line\r\nbreak\ttab äö €"},
        {u"x &lt; y", u"x &amp;lt; y"},
        {u"", u""},
    };
    for (const auto& c : aCases) {
        const QString sRaw = QString::fromUtf16(c.sRaw);
        const QString sEncoded = QString::fromUtf16(c.sEncoded);
        for (const bool fAttr : {false, true}) {
            EXPECT_EQ(oXml.EncodeXmlValue(sRaw, fAttr), sEncoded);
            EXPECT_EQ(oXml.DecodeXmlValue(sEncoded, fAttr), sRaw);
        }
    }
    const struct {
        const char16_t* sIn;
        const char16_t* sOut;
    } aDecode[] = {
        {u"&AMP;&Lt;&amp", u"&AMP;&Lt;&amp"}, {u"&&amp;&", u"&&&"},
        {u"&#60;&#x3C;", u"&#60;&#x3C;"},     {u"&amp;amp;", u"&amp;"},
        {u"&quot&quot;", u"&quot\""},         {u"a&b", u"a&b"},
    };
    for (const auto& c : aDecode)
        EXPECT_EQ(oXml.DecodeXmlValue(QString::fromUtf16(c.sIn), false), QString::fromUtf16(c.sOut));
}

// ---------------------------------------------------------------------------------------------------------
// Writer

TEST(MemXml, WriterLayout) {
    TMemXml oXml{QString()};
    oXml.SetText(u"<!DOCTYPE Tarvo [<!ELEMENT Tarvo ANY>]>"_qs);
    oXml.RootNode().SetNodeAttr(u"version"_qs, u"1.0"_qs);
    oXml.RootNode().SetNodeAttr(u"encoding"_qs, u"utf-8"_qs);
    TMXNode* pRoot = oXml.RootNode().AddNode(u"Tarvo"_qs);
    pRoot->SetNodeAttr(u"Note"_qs, u"a & \"b\"\r\nc"_qs);
    TMXNode* pMain = pRoot->ChildNodes().FindNode(u"Main\\Log"_qs, true);
    pMain->SetNodeAttr(u"Days"_qs, u"7"_qs);
    pRoot->ChildNodes().GetNodeByName(u"Main"_qs)->AddNode(u"Name"_qs)->SetNodeText(u"<b> 'x' "_qs);
    pRoot->AddNode(u"Empty"_qs);
    // Text of an element with children is not written.
    TMXNode* pMixed = pRoot->AddNode(u"Mixed"_qs);
    pMixed->SetNodeText(u"lost"_qs);
    pMixed->AddNode(u"Child"_qs);
    oXml.RootNode().AddNode(u"Second"_qs);

    const QString sExpected = u"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                              u"<!DOCTYPE Tarvo [<!ELEMENT Tarvo ANY>]>\r\n"
                              u"<Tarvo Note=\"a &amp; &quot;b&quot;\r\nc\">\r\n"
                              u"\t<Main>\r\n"
                              u"\t\t<Log Days=\"7\"/>\r\n"
                              u"\t\t<Name>&lt;b&gt; &apos;x&apos; </Name>\r\n"
                              u"\t</Main>\r\n"
                              u"\t<Empty/>\r\n"
                              u"\t<Mixed>\r\n"
                              u"\t\t<Child/>\r\n"
                              u"\t</Mixed>\r\n"
                              u"</Tarvo>\r\n"
                              u"<Second/>\r\n"_qs;
    EXPECT_EQ(oXml.GetText(), sExpected);
    QString sViaOut = u"previous content"_qs;
    oXml.GetText(sViaOut);
    EXPECT_EQ(sViaOut, sExpected);

    // Reading the text back gives the same tree and the same text (the mixed text is gone).
    TMemXml oAgain{QString()};
    oAgain.SetText(sExpected);
    EXPECT_EQ(oAgain.GetText(), sExpected);
    EXPECT_EQ(oAgain.RootNode().ChildNodes().FindNode(u"Tarvo\\Mixed"_qs, false)->GetNodeText(), u"");
    EXPECT_EQ(oAgain.RootNode().ChildNodes().GetNode(0)->GetNodeAttr(u"note"_qs), u"a & \"b\"\r\nc");
}

TEST(MemXml, WriterWithoutDeclarationOrElements) {
    TMemXml oXml{QString()};
    EXPECT_EQ(oXml.GetText(), u"<?xml?>\r\n");
    oXml.RootNode().AddNode(u"r"_qs);
    EXPECT_EQ(oXml.GetText(), u"<?xml?>\r\n<r/>\r\n");
}

TEST(MemXml, WriterHandlesTreesDeeperThanTheStack) {
    // Trees built in code have no depth limit; writing and freeing them must not recurse.
    const int nDepth = 100000;
    QString sText;
    {
        TMemXml oXml{QString()};
        TMXNode* pNode = &oXml.RootNode();
        for (int i = 0; i < nDepth; ++i)
            pNode = pNode->AddNode(u"d"_qs);
        pNode->SetNodeText(u"end"_qs);
        oXml.GetText(sText);
    }
    const QStringList aLines = sText.split(kCrLf);
    ASSERT_EQ(aLines.size(), 2 * nDepth + 1); // declaration, start tags, leaf line, end tags, ""
    EXPECT_EQ(aLines[3], u"\t\t<d>");
    const QString sCapped = QString(TMemXml::MaxParseDepth, u'\t');
    EXPECT_EQ(aLines[nDepth], sCapped + u"<d>end</d>"_qs);
    EXPECT_EQ(aLines[nDepth + 1], sCapped + u"</d>"_qs);
    EXPECT_EQ(aLines[2 * nDepth - 1], u"</d>");
}

TEST(MemXml, FreesVeryDeepTrees) {
    // Freeing a subtree must not recurse once per level either.
    const int nDepth = 300000;
    const auto chain = [nDepth](TMXNode* ANode) {
        for (int i = 0; i < nDepth; ++i)
            ANode = ANode->AddNode(u"d"_qs);
    };
    auto oXml = std::make_unique<TMemXml>(QString());
    chain(&oXml->RootNode());
    TMXNode* pMiddle = oXml->RootNode().ChildNodes().FindNode(u"d\\d\\d"_qs, false);
    ASSERT_NE(pMiddle, nullptr);
    pMiddle->EraseNode(u"D"_qs);
    EXPECT_EQ(pMiddle->ChildNodes().Count(), 0);
    chain(pMiddle);
    oXml->Clear();
    EXPECT_EQ(oXml->RootNode().ChildNodes().Count(), 0);
    chain(&oXml->RootNode());
    oXml.reset();
}

// ---------------------------------------------------------------------------------------------------------
// Lookups and editing

TEST(MemXml, NodeLookupIsCaseInsensitiveAndFindsTheLast) {
    TMemXml oXml{QString()};
    oXml.SetText(u"<r><B n=\"1\"/><b n=\"2\"/><Äpfel/><c/></r>"_qs);
    TMXNode* pRoot = oXml.RootNode().ChildNodes().GetNodeByName(u"R"_qs);
    ASSERT_NE(pRoot, nullptr);
    TMXNodeList& aNodes = pRoot->ChildNodes();
    EXPECT_EQ(aNodes.IndexOf(u"B"_qs), 1);
    EXPECT_EQ(aNodes.GetNodeByName(u"b"_qs)->GetNodeAttr(u"n"_qs), u"2");
    EXPECT_EQ(aNodes.IndexOf(u"äPFEL"_qs), 2);
    EXPECT_EQ(aNodes.IndexOf(u"missing"_qs), -1);
    EXPECT_EQ(aNodes.GetNodeByName(u"missing"_qs), nullptr);
    EXPECT_TRUE(pRoot->NodeExists(u"C"_qs));

    // Appending keeps the index right: the new entry is now the last "B".
    aNodes.AddNode(u"b"_qs)->SetNodeAttr(u"n"_qs, u"3"_qs);
    EXPECT_EQ(aNodes.IndexOf(u"B"_qs), 4);
    // Erasing shifts the positions; the index follows.
    pRoot->EraseNode(u"b"_qs);
    EXPECT_EQ(aNodes.IndexOf(u"b"_qs), 1);
    EXPECT_EQ(aNodes.IndexOf(u"c"_qs), 3);
    aNodes.Delete(0);
    EXPECT_EQ(aNodes.IndexOf(u"b"_qs), 0);
    EXPECT_EQ(aNodes.IndexOf(u"c"_qs), 2);
    pRoot->EraseNode(u"nothing"_qs);
    EXPECT_EQ(aNodes.Count(), 3);
    pRoot->ClearNodes();
    EXPECT_EQ(aNodes.IndexOf(u"b"_qs), -1);
    EXPECT_THROW(aNodes.Delete(0), EListError);
}

TEST(MemXml, ManyItemsAreFoundByName) {
    const int nCount = 20000;
    TMemXml oXml{QString()};
    TMXNodeList& aItems = oXml.RootNode().ChildNodes().FindNode(u"Tarvo\\Cards"_qs, true)->ChildNodes();
    for (int i = 0; i < nCount; ++i)
        aItems.FindNode(u"Item"_qs + QString::number(i), true)->SetNodeAttr(u"N"_qs, QString::number(i));
    ASSERT_EQ(aItems.Count(), nCount);
    for (int i = 0; i < nCount; ++i) {
        const int nIdx = aItems.IndexOf(u"ITEM"_qs + QString::number(i));
        ASSERT_EQ(nIdx, i);
        ASSERT_EQ(aItems.GetNode(nIdx)->GetNodeAttr(u"n"_qs), QString::number(i));
    }
}

TEST(MemXml, FindNodeWalksAndCreates) {
    TMemXml oXml{QString()};
    TMXNodeList& aTop = oXml.RootNode().ChildNodes();
    EXPECT_EQ(aTop.FindNode(u"Main\\Log"_qs, false), nullptr);
    EXPECT_EQ(aTop.Count(), 0);
    TMXNode* pLog = aTop.FindNode(u"Main\\Log"_qs, true);
    ASSERT_NE(pLog, nullptr);
    EXPECT_EQ(aTop.FindNode(u"MAIN\\log"_qs, false), pLog);
    EXPECT_EQ(aTop.FindNode(u"Main\\Log"_qs, true), pLog);
    EXPECT_EQ(aTop.FindNode(u"Main"_qs, false)->ChildNodes().Count(), 1);
    EXPECT_EQ(aTop.FindNode(u"Main\\Other\\Deep"_qs, false), nullptr);
    EXPECT_FALSE(aTop.FindNode(u"Main"_qs, false)->NodeExists(u"Other"_qs));
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"Main(Log)");
}

TEST(MemXml, AttributeRules) {
    TMemXml oXml{QString()};
    oXml.SetText(u"<a X=\"1\" x=\"2\" e=\"\"/>"_qs);
    TMXNode& a = *oXml.RootNode().ChildNodes().GetNode(0);
    EXPECT_EQ(a.GetNodeAttr(u"x"_qs), u"1");
    EXPECT_TRUE(a.AttrExists(u"E"_qs));
    EXPECT_FALSE(a.AttrExists(u"y"_qs));
    EXPECT_EQ(a.GetNodeAttr(u"y"_qs), u"");

    a.SetNodeAttr(u"y"_qs, u""_qs); // empty value on a missing attribute adds nothing
    EXPECT_EQ(a.Attrs().size(), 3);
    a.SetNodeAttr(u"new"_qs, u"a=b"_qs);
    EXPECT_EQ(a.GetNodeAttr(u"NEW"_qs), u"a=b");
    a.RemoveNodeAttr(u"e"_qs);
    a.RemoveNodeAttr(u"absent"_qs);
    EXPECT_EQ(a.Attrs(), QStringList({u"X=1"_qs, u"x=2"_qs, u"new=a=b"_qs}));
    EXPECT_EQ(oXml.GetText(), u"<?xml?>\r\n<a X=\"1\" x=\"2\" new=\"a=b\"/>\r\n");
}

// Two attributes whose names differ only in case are one name to the reader, which sees the first.
// Whatever a program sets or removes, the file must not keep a second one that would be read instead.
TEST(MemXml, SettingANameLeavesNoSecondAttributeOfIt) {
    struct TCase {
        const char* sWhat;
        const char16_t* sName;
        const char16_t* sValue; // null: RemoveNodeAttr
        const char16_t* sWritten;
    };
    const TCase aCases[] = {
        {"set replaces the first and drops the later ones", u"language", u"0409",
         u"<Main language=\"0409\" keyView=\"1\"/>"},
        {"set by another case", u"LANGUAGE", u"0C0A", u"<Main LANGUAGE=\"0C0A\" keyView=\"1\"/>"},
        {"an empty value removes them all", u"language", u"", u"<Main keyView=\"1\"/>"},
        {"remove takes them all", u"Language", nullptr, u"<Main keyView=\"1\"/>"},
        {"another name leaves them", u"keyView", u"0",
         u"<Main Language=\"0419\" keyView=\"0\" language=\"0409\" "
         u"LANGUAGE=\"0407\"/>"},
    };
    for (const TCase& c : aCases) {
        TMemXml oXml{QString()};
        oXml.SetText(u"<Main Language=\"0419\" keyView=\"1\" language=\"0409\" LANGUAGE=\"0407\"/>"_qs);
        TMXNode& oMain = *oXml.RootNode().ChildNodes().GetNode(0);
        ASSERT_EQ(oMain.GetNodeAttr(u"language"_qs), u"0419") << c.sWhat;
        if (c.sValue)
            oMain.SetNodeAttr(QString::fromUtf16(c.sName), QString::fromUtf16(c.sValue));
        else
            oMain.RemoveNodeAttr(QString::fromUtf16(c.sName));
        const QString sWritten = oXml.GetText();
        EXPECT_EQ(sWritten, u"<?xml?>\r\n"_qs + QString::fromUtf16(c.sWritten) + kCrLf) << c.sWhat;
        // Read again, the name gives what was set.
        TMemXml oBack{QString()};
        oBack.SetText(sWritten);
        const QString sRead =
            oBack.RootNode().ChildNodes().GetNode(0)->GetNodeAttr(QString::fromUtf16(c.sName));
        EXPECT_EQ(sRead, c.sValue ? QString::fromUtf16(c.sValue) : QString()) << c.sWhat;
    }
}

TEST(MemXml, ContractViolationsNameTheUnit) {
    TMemXml oXml{QString()};
    TMXNode* pParent = oXml.RootNode().AddNode(u"p"_qs);
    pParent->AddNode(u"c"_qs);
    const auto expectAssert = [](const std::function<void()>& ACall, const char* AWhat) {
        try {
            ACall();
            ADD_FAILURE() << AWhat << ": no assertion";
        } catch (const EAssertionFailed& e) {
            EXPECT_TRUE(e.Message().contains(u"uUtils")) << AWhat << ": " << e.what();
        }
    };
    expectAssert([&] { pParent->ChildNodes().GetNode(-1); }, "GetNode(-1)");
    expectAssert([&] { pParent->ChildNodes().GetNode(1); }, "GetNode(Count)");
    expectAssert([&] { pParent->ChildNodes().FindNode(QString(), true); }, "FindNode empty path");
    expectAssert([&] { pParent->SetNodeText(u"x"_qs); }, "SetNodeText with children");
    EXPECT_EQ(pParent->GetNodeText(), u"");
    EXPECT_EQ(pParent->ChildNodes().Count(), 1);
}

// ---------------------------------------------------------------------------------------------------------
// Files

struct TEncodingCase {
    const char* sWhat;
    QByteArray aBytes;
    TXmlEncoding eGiven;
    TXmlEncoding eFound;
    const char16_t* sTree;
};

class MemXmlEncoding : public testing::TestWithParam<TEncodingCase> {};

TEST_P(MemXmlEncoding, ReadsFile) {
    const TEncodingCase& c = GetParam();
    const TLocaleOverride oLocale(QLatin1Char('.'), 1033, u"CP1252"_qs);
    const TTempDir oDir;
    const QString sFile = oDir.WriteFile(u"Tarvo.xml"_qs, c.aBytes);
    const TMemXml oXml(sFile, c.eGiven);
    EXPECT_EQ(oXml.Encoding(), c.eFound) << c.sWhat;
    EXPECT_EQ(DumpChildren(oXml.RootNode()), QString::fromUtf16(c.sTree)) << c.sWhat;
}

namespace {
QByteArray Utf16(const char16_t* AText, bool ABigEndian) {
    QByteArray aBytes;
    for (const char16_t* p = AText; *p; ++p) {
        const char cHi = char(*p >> 8);
        const char cLo = char(*p & 0xFF);
        aBytes += ABigEndian ? cHi : cLo;
        aBytes += ABigEndian ? cLo : cHi;
    }
    return aBytes;
}
const QByteArray kUtf8Doc("<?xml encoding=\"utf-8\"?><a>\xC3\xA4\xE2\x82\xAC</a>");
} // namespace

INSTANTIATE_TEST_SUITE_P(
    Cases, MemXmlEncoding,
    testing::Values(TEncodingCase{"UTF-8 given, with mark", "\xEF\xBB\xBF" + kUtf8Doc, TXmlEncoding::Utf8,
                                  TXmlEncoding::Utf8, u"a'ä€'"},
                    TEncodingCase{"UTF-8 given, without mark", kUtf8Doc, TXmlEncoding::Utf8,
                                  TXmlEncoding::Utf8, u"a'ä€'"},
                    TEncodingCase{"UTF-8 given, only one mark is skipped", "\xEF\xBB\xBF\xEF\xBB\xBF<a>x</a>",
                                  TXmlEncoding::Utf8, TXmlEncoding::Utf8, u"a'x'"},
                    TEncodingCase{"none given, UTF-8 mark", "\xEF\xBB\xBF" + kUtf8Doc, TXmlEncoding::None,
                                  TXmlEncoding::Utf8, u"a'ä€'"},
                    TEncodingCase{"none given, UTF-16 LE mark", "\xFF\xFE" + Utf16(u"<a>ä€</a>", false),
                                  TXmlEncoding::None, TXmlEncoding::Utf16LE, u"a'ä€'"},
                    TEncodingCase{"none given, UTF-16 BE mark", "\xFE\xFF" + Utf16(u"<a>ä€</a>", true),
                                  TXmlEncoding::None, TXmlEncoding::Utf16BE, u"a'ä€'"},
                    TEncodingCase{"none given, no mark: code page", "<a>\xE4\x80</a>", TXmlEncoding::None,
                                  TXmlEncoding::Ansi, u"a'ä€'"},
                    TEncodingCase{"UTF-16 LE given, mark skipped", "\xFF\xFE" + Utf16(u"<a>€</a>", false),
                                  TXmlEncoding::Utf16LE, TXmlEncoding::Utf16LE, u"a'€'"},
                    TEncodingCase{"UTF-16 BE given, no mark", Utf16(u"<a>€</a>", true), TXmlEncoding::Utf16BE,
                                  TXmlEncoding::Utf16BE, u"a'€'"},
                    TEncodingCase{"empty file", QByteArray(), TXmlEncoding::Utf8, TXmlEncoding::Utf8, u""},
                    TEncodingCase{"invalid UTF-8 does not fail", "<a>\xFF\xC3</a><b/>", TXmlEncoding::Utf8,
                                  TXmlEncoding::Utf8, u"a'\xFFFD\xFFFD' b"}));

TEST(MemXmlFile, RoundTripThroughTheFile) {
    const TTempDir oDir;
    const QString sFile = oDir.FilePath(u"Tarvo.xml"_qs);
    {
        TMemXml oXml(sFile, TXmlEncoding::Utf8); // missing file: empty store, no error
        EXPECT_EQ(oXml.RootNode().ChildNodes().Count(), 0);
        oXml.RootNode().SetNodeAttr(u"version"_qs, u"1.0"_qs);
        oXml.RootNode().SetNodeAttr(u"encoding"_qs, u"utf-8"_qs);
        TMXNode* pCard = oXml.RootNode().ChildNodes().FindNode(u"Tarvo\\Cards\\Item0"_qs, true);
        pCard->SetNodeAttr(u"User"_qs, u"Jörg & \"Ann\"\r\nline 2"_qs);
        pCard->SetNodeText(u"  x &lt; y  "_qs);
        oXml.UpdateFile();
    }
    const QByteArray aExpected = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                 "<Tarvo>\r\n"
                                 "\t<Cards>\r\n"
                                 "\t\t<Item0 User=\"J\xC3\xB6rg &amp; &quot;Ann&quot;\r\nline 2\">"
                                 "  x &amp;lt; y  </Item0>\r\n"
                                 "\t</Cards>\r\n"
                                 "</Tarvo>\r\n";
    EXPECT_EQ(ReadAll(sFile), aExpected);

    TMemXml oRead(sFile, TXmlEncoding::Utf8);
    EXPECT_EQ(oRead.RootNode().GetNodeAttr(u"version"_qs), u"1.0");
    EXPECT_EQ(oRead.RootNode().GetNodeAttr(u"encoding"_qs), u"utf-8");
    const TMXNode* pCard = oRead.RootNode().ChildNodes().FindNode(u"tarvo\\cards\\item0"_qs, false);
    ASSERT_NE(pCard, nullptr);
    EXPECT_EQ(pCard->GetNodeAttr(u"user"_qs), u"Jörg & \"Ann\"\r\nline 2");
    EXPECT_EQ(pCard->GetNodeText(), u"  x &lt; y  ");
    oRead.UpdateFile();
    EXPECT_EQ(ReadAll(sFile), aExpected);
}

TEST(MemXmlFile, EncodingsWrittenWithTheirMark) {
    const TLocaleOverride oLocale(QLatin1Char('.'), 1033, u"CP1252"_qs);
    const TTempDir oDir;
    const QString sFile = oDir.FilePath(u"doc.xml"_qs);
    const struct {
        TXmlEncoding eEncoding;
        QByteArray aBytes;
    } aCases[] = {
        {TXmlEncoding::Utf8, "\xEF\xBB\xBF<?xml?>\r\n<a>\xE2\x82\xAC</a>\r\n"},
        {TXmlEncoding::Utf16LE, "\xFF\xFE" + Utf16(u"<?xml?>\r\n<a>€</a>\r\n", false)},
        {TXmlEncoding::Utf16BE, "\xFE\xFF" + Utf16(u"<?xml?>\r\n<a>€</a>\r\n", true)},
        {TXmlEncoding::Ansi, "<?xml?>\r\n<a>\x80</a>\r\n"},
        {TXmlEncoding::None, "<?xml?>\r\n<a>\x80</a>\r\n"},
    };
    for (const auto& c : aCases) {
        QFile::remove(sFile);
        TMemXml oXml(sFile, c.eEncoding);
        oXml.RootNode().AddNode(u"a"_qs)->SetNodeText(u"€"_qs);
        oXml.UpdateFile();
        EXPECT_EQ(ReadAll(sFile), c.aBytes) << int(c.eEncoding);
        // Writing without an encoding settles on the code page.
        EXPECT_EQ(oXml.Encoding(), c.eEncoding == TXmlEncoding::None ? TXmlEncoding::Ansi : c.eEncoding);
        TMemXml oRead(sFile);
        EXPECT_EQ(oRead.RootNode().ChildNodes().FindNode(u"a"_qs, false)->GetNodeText(), u"€");
    }
}

TEST(MemXmlFile, RenameAndReload) {
    const TTempDir oDir;
    const QString sFirst = oDir.WriteFile(u"first.xml"_qs, "<a/>");
    const QString sSecond = oDir.WriteFile(u"second.xml"_qs, "<b/>");
    TMemXml oXml(sFirst, TXmlEncoding::Utf8);
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"a");
    oXml.Rename(sSecond, false);
    EXPECT_EQ(oXml.FileName(), sSecond);
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"a");
    oXml.Rename(sSecond, true);
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"b");
    oXml.Rename(oDir.FilePath(u"missing.xml"_qs), true);
    EXPECT_EQ(DumpChildren(oXml.RootNode()), u"");
}

TEST(MemXmlFile, UnreadableFileRaisesInOutError) {
    const TTempDir oDir;
    const QString sFolder = oDir.FilePath(u"folder.xml"_qs);
    ASSERT_TRUE(QDir().mkpath(sFolder));
    try {
        TMemXml oXml(sFolder, TXmlEncoding::Utf8);
        ADD_FAILURE() << "a folder was read as a file";
    } catch (const EInOutError& e) {
        EXPECT_TRUE(e.Message().contains(u"folder.xml")) << e.what();
    }
}
