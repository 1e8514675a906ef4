// Reading a reply body as the client does: the values common/xmlrpc's reader makes are
// the ones xmlrpc-epi's own parse makes, what is not a usable reply is -3 "Invalid server
// response" with nothing printed, and a fault becomes the error code and text. The reader
// itself is tested in tests/common/xmlrpc.
extern "C" {
#include <xml_to_xmlrpc.h>
}

#include "client/XmlRpcRequest.h"

#include "tests/client/service/ServiceTestSupport.h"
#include "tests/common/xmlrpc/ValueDump.h"
#include "tests/common/xmlrpc/WellFormed.h"

#include <gtest/gtest.h>

#include <expat.h>

#include <QString>

#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>

using namespace client;

namespace {

using servicetest::faultXml;
using servicetest::responseXml;

using xmlrpctest::dump;

using xmlrpctest::expatAccepts;

struct Reply {
    const char* name;
    QByteArray xml;
};

void PrintTo(const Reply& row, std::ostream* os)
{
    *os << row.name;
}

std::string RowName(const ::testing::TestParamInfo<Reply>& info)
{
    return info.param.name;
}

QByteArray inStruct(const QByteArray& members)
{
    return responseXml("<struct>" + members + "</struct>");
}

QByteArray member(const QByteArray& name, const QByteArray& valueXml)
{
    return "<member><name>" + name + "</name><value>" + valueXml + "</value></member>";
}

QByteArray utf16WithBom(const QByteArray& utf8)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray out("\xFF\xFE", 2);
    out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return out;
}

const QByteArray kDecl = "<?xml version=\"1.0\"?>";
const QByteArray kGood = responseXml("<string>ok</string>");

// The read of a reply the unusable cases share: -3, no value, and nothing printed.
void ExpectInvalidResponse(const QByteArray& xml)
{
    XmlRpcRequest request(nullptr, QStringLiteral("/"), QStringLiteral("m"), false);
    ::testing::internal::CaptureStderr();
    const bool ok = request.ReadResponse(xml.constData(), int(xml.size()));
    const std::string printed = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(ok);
    EXPECT_EQ(request.ErrorCode(), -3);
    EXPECT_EQ(request.ErrorText(), QStringLiteral("Invalid server response"));
    EXPECT_EQ(request.ResponseValue(), nullptr);
    EXPECT_EQ(request.ValueType(), xmlrpc_type_none);
    EXPECT_EQ(printed, "");
}

class WellFormedReplyTest : public ::testing::TestWithParam<Reply> {};

TEST_P(WellFormedReplyTest, GivesTheValuesXmlrpcEpiMakes)
{
    const QByteArray& xml = GetParam().xml;
    ASSERT_TRUE(expatAccepts(xml)) << "not a well-formed case";

    XMLRPC_REQUEST reference = XMLRPC_REQUEST_FromXML(xml.constData(), int(xml.size()), nullptr);
    const std::string expected = dump(XMLRPC_RequestGetData(reference));
    XMLRPC_RequestFree(reference, 1);

    XmlRpcRequest request(nullptr, QStringLiteral("/"), QStringLiteral("m"), false);
    // A second read replaces the first reply (and, under ASan, must not lose it).
    ASSERT_TRUE(request.ReadResponse(kGood.constData(), int(kGood.size())));
    request.ReadResponse(xml.constData(), int(xml.size()));
    EXPECT_EQ(dump(request.ResponseValue()), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WellFormedReplyTest,
    ::testing::Values(
        // The shapes the service sends, as CPython writes them and compact.
        Reply{"OffersWithNewlines",
              "<?xml version='1.0'?>\n<methodResponse>\n<params>\n<param>\n<value><array><data>\n<value><struct>\n"
              "<member>\n<name>id</name>\n<value><string>offer-00001</string></value>\n</member>\n<member>\n"
              "<name>endtime</name>\n<value><int>1900000000</int></value>\n</member>\n</struct></value>\n"
              "<value><struct>\n<member>\n<name>id</name>\n<value><string>offer-00002</string></value>\n"
              "</member>\n</struct></value>\n</data></array></value>\n</param>\n</params>\n</methodResponse>\n"},
        Reply{"CompactArray", responseXml("<array><data><value><string>a</string></value><value><i4>7</i4></value>"
                                          "<value>untyped</value><value/></data></array>")},
        Reply{"UntypedValue", responseXml("plain text")},
        Reply{"EmptyValue", kDecl + "<methodResponse><params><param><value/></param></params></methodResponse>"},
        Reply{"EmptyStrings", responseXml("<array><data><value><string/></value><value><string></string></value>"
                                          "<value></value></data></array>")},
        Reply{"Scalars", inStruct(member("i", "<int> 42 </int>") + member("neg", "<i4>-7</i4>") +
                                  member("t", "<boolean>1</boolean>") + member("f", "<boolean>0</boolean>") +
                                  member("d", "<double>3.25</double>") + member("e", "<double>-1e3</double>") +
                                  member("when", "<dateTime.iso8601>19980717T14:08:55</dateTime.iso8601>") +
                                  member("b", "<base64>aGVs\nbG8=</base64>"))},
        Reply{"ReferencesAndCData",
              responseXml("<string>&lt;a&gt; &amp; &quot;q&quot; &apos;s&apos; &#65;&#x42;&#x1F600;&#13; "
                          "<![CDATA[<raw & ]] text>]]></string>")},
        Reply{"LineEnds",
              "<?xml version=\"1.0\"?>\r\n<methodResponse>\r\n<params><param><value><string>a\r\nb\rc\n"
              "<![CDATA[d\r\ne]]></string></value></param></params>\r\n</methodResponse>\r\n"},
        Reply{"CommentsAndInstructions",
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?><!-- c --><?pi data?>\n<methodResponse>"
              "<!-- in --><params><?x y?><param><value><string>a<!-- mid -->b<?p?></string></value></param>"
              "</params></methodResponse><!-- after -->\n<?end it?>\n"},
        Reply{"Attributes",
              "<?xml version = '1.0' encoding = 'UTF-8'?><methodResponse xmlns:x='urn:x'><params>"
              "<param><value type=\"t\" x:y=\"&amp;&#65;\">"
              "<string lang = 'en'>v</string></value></param></params></methodResponse>"},
        Reply{"Utf8TextAfterBom",
              "\xEF\xBB\xBF" + responseXml("<string>gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80</string>")},
        Reply{"NestedVectors",
              inStruct(member("list", "<array><data><value><struct>" + member("x", "<int>1</int>") +
                                          "</struct></value><value><array><data/></array></value></data></array>") +
                       member("empty", "<struct/>") + member("", "<string>no name</string>"))},
        Reply{"NamesWithReferencesAndDuplicates",
              inStruct(member("a&amp;b", "1") + member("a&amp;b", "2") + "<member><name/><value>3</value></member>")},
        Reply{"SpaceAroundTypedValue", responseXml("\n  <int>1</int>\n")},
        Reply{"Fault", faultXml(4, "Too many requests &amp; too fast")},
        Reply{"Latin1",
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><methodResponse><params><param><value>"
              "<string>caf\xE9</string></value></param></params></methodResponse>"},
        Reply{"Utf16WithBom", utf16WithBom(responseXml("<string>gr\xC3\xBC\xC3\x9F</string>"))}),
    RowName);

// Well-formed XML that is no reply of XML-RPC's shape, or whose scalar is not what its type
// says. xmlrpc-epi would make something of each (atoi reads "12abc" as 12, an unknown type
// as a string); the client takes none of them as the service's answer.
class MisshapenReplyTest : public ::testing::TestWithParam<Reply> {};

TEST_P(MisshapenReplyTest, IsAnInvalidResponse)
{
    ASSERT_TRUE(expatAccepts(GetParam().xml)) << "not a well-formed case";
    ExpectInvalidResponse(GetParam().xml);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, MisshapenReplyTest,
    ::testing::Values(
        Reply{"IntWithJunk", inStruct(member("junk", "<int>12abc</int>"))},
        Reply{"BooleanWord", inStruct(member("word", "<boolean>true</boolean>"))},
        Reply{"Base64WithPunctuation", inStruct(member("bad", "<base64>a!G=</base64>"))},
        Reply{"MemberValueBeforeName", inStruct("<member><value>v</value><name>n</name></member>")},
        Reply{"MemberWithoutName", inStruct("<member><value>v</value></member>")},
        Reply{"TwoParams", kDecl + "<methodResponse><params><param><value>a</value></param><param><value><int>2</int>"
                                   "</value></param></params></methodResponse>"},
        Reply{"ArrayWithoutData", responseXml("<array/>")}, Reply{"EmptyMethodResponse", kDecl + "<methodResponse/>"},
        Reply{"EmptyParams", kDecl + "<methodResponse><params/></methodResponse>"},
        Reply{"UnknownElementInStruct", inStruct(member("a", "1") + "<extra/>")},
        Reply{"ElementInsideString", responseXml("<string>a<b>x</b>c</string>")},
        Reply{"TwoTypedChildren", responseXml("<int>1</int><string>x</string>")},
        Reply{"I8", responseXml("<i8>12345678901</i8>")}, Reply{"Nil", responseXml("<nil/>")},
        Reply{"FaultNotAStruct", kDecl + "<methodResponse><fault><value><string>x</string></value></fault>"
                                         "</methodResponse>"},
        Reply{"FaultWithEmptyValue", kDecl + "<methodResponse><fault><value></value></fault></methodResponse>"},
        Reply{"ParamsAndFault", kDecl + "<methodResponse><params/><fault><value><struct/></value></fault>"
                                        "</methodResponse>"},
        Reply{"DocumentTypeWithEntity",
              kDecl + "<!DOCTYPE methodResponse [<!ENTITY who \"world\">]><methodResponse><params><param><value>"
                      "<string>hello &who;</string></value></param></params></methodResponse>"},
        Reply{"NonAsciiElementName", inStruct(member("x",
                                                     "<\xC3\xBC"
                                                     "ber>1</\xC3\xBC"
                                                     "ber>"))},
        Reply{"HtmlPage", "<html><body><p>Site maintenance</p></body></html>"}),
    RowName);

class MalformedReplyTest : public ::testing::TestWithParam<Reply> {};

// What expat refuses as XML.
TEST_P(MalformedReplyTest, IsAnInvalidResponse)
{
    ASSERT_FALSE(expatAccepts(GetParam().xml)) << "expat reads this case";
    ExpectInvalidResponse(GetParam().xml);
}

QByteArray inString(const QByteArray& text)
{
    return responseXml("<string>" + text + "</string>");
}

INSTANTIATE_TEST_SUITE_P(
    Replies, MalformedReplyTest,
    ::testing::Values(
        Reply{"Empty", ""}, Reply{"OnlySpace", " \r\n\t"},
        Reply{"HtmlPage", "<!DOCTYPE html><html><body><p>Site maintenance<br></body></html>"},
        Reply{"HtmlPageInMethodResponse", "<!DOCTYPE html><methodResponse><p>maintenance<br></methodResponse>"},
        Reply{"Binary", "\x01\x02\x03\xfe\xff binary junk \x7f"}, Reply{"Truncated", kGood.left(kGood.size() - 5)},
        Reply{"TruncatedInAStartTag", kGood.left(kGood.indexOf("<string") + 4)},
        Reply{"EndTagOnly", "</methodResponse>"},
        Reply{"MismatchedEndTag", kDecl + "<methodResponse><params></param></methodResponse>"},
        Reply{"UndefinedEntity", inString("a&nbsp;b")}, Reply{"NulReference", inString("&#0;")},
        Reply{"SurrogateReference", inString("&#xD800;")}, Reply{"ReferenceBeyondUnicode", inString("&#x110000;")},
        Reply{"ReferenceWithoutDigits", inString("&#;")}, Reply{"UppercaseHexReference", inString("&#X41;")},
        Reply{"UnterminatedReference", inString("a &amp b")}, Reply{"ControlCharacter", inString("a\x01z")},
        Reply{"NulByte", inString(QByteArray("a\0b", 3))}, Reply{"BadUtf8", inString("\xC3\x28")},
        Reply{"OverlongUtf8", inString("\xC0\xAF")}, Reply{"OverlongThreeByteUtf8", inString("\xE0\x80\xAF")},
        Reply{"EncodedSurrogate", inString("\xED\xA0\x80")}, Reply{"EncodedFffe", inString("\xEF\xBF\xBE")},
        Reply{"BeyondUnicodeUtf8", inString("\xF4\x90\x80\x80")}, Reply{"CutUtf8", inString("\xE2\x82")},
        Reply{"CDataEndInText", inString("a ]]> b")}, Reply{"UnclosedCData", inString("<![CDATA[abc")},
        Reply{"DoubleHyphenInComment", inString("<!-- a -- b -->")},
        Reply{"DuplicateAttribute", responseXml("<string a='1' a=\"2\">x</string>")},
        Reply{"UnquotedAttribute", responseXml("<string a=1>x</string>")},
        Reply{"AttributesWithoutSpace", responseXml("<string a='1'b='2'>x</string>")},
        Reply{"LessThanInAttribute", responseXml("<string a='<'>x</string>")},
        Reply{"UndefinedEntityInAttribute", responseXml("<string a='&x;'>x</string>")},
        Reply{"TwoRoots", kGood + "<methodResponse/>"}, Reply{"TextAfterRoot", kGood + "junk"},
        Reply{"DeclarationNotFirst", " " + kGood}, Reply{"DeclarationInContent", inString("<?xml version='1.0'?>")},
        Reply{"ReservedTarget", "<?XML x?>" + kGood}, Reply{"DeclarationWithoutVersion", "<?xml encoding='UTF-8'?>"},
        Reply{"DeclarationWithoutSpace", "<?xml version='1.0'encoding='UTF-8'?><methodResponse/>"},
        Reply{"UnknownEncoding", "<?xml version='1.0' encoding='klingon'?><methodResponse/>"},
        Reply{"BadStandalone", "<?xml version='1.0' standalone='maybe'?><methodResponse/>"},
        Reply{"SpaceAfterLessThan", responseXml("< string>x</string>")},
        Reply{"CDataOutsideRoot", "<![CDATA[x]]><methodResponse/>"},
        Reply{"DocumentTypeAfterRoot", kGood + "<!DOCTYPE methodResponse>"},
        Reply{"BadLatin1Document", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><methodResponse><params>"}),
    RowName);

// ---- Faults ----------------------------------------------------------------------

struct FaultRow {
    const char* name;
    QByteArray xml;
    bool ok;  // not a fault after all
    int code;
    const char* text;
};

void PrintTo(const FaultRow& row, std::ostream* os)
{
    *os << row.name;
}

QByteArray faultDocument(const QByteArray& members)
{
    return kDecl + "<methodResponse><fault><value><struct>" + members + "</struct></value></fault></methodResponse>";
}

class FaultReplyTest : public ::testing::TestWithParam<FaultRow> {};

// A fault is a <fault>, or a result struct with a member named "faultCode" or
// "faultString"; servers send either.
TEST_P(FaultReplyTest, GivesTheFaultsCodeAndText)
{
    const FaultRow& row = GetParam();
    XmlRpcRequest request(nullptr, QStringLiteral("/"), QStringLiteral("m"), false);
    EXPECT_EQ(request.ReadResponse(row.xml.constData(), int(row.xml.size())), row.ok);
    EXPECT_EQ(request.ErrorCode(), row.code);
    EXPECT_EQ(request.ErrorText().toStdString(), row.text);
    EXPECT_EQ(request.ValueType(), xmlrpc_type_struct);
}

const QByteArray kCode = member("faultCode", "<int>3</int>");
const QByteArray kText = member("faultString", "<string>Closed &amp; locked</string>");

INSTANTIATE_TEST_SUITE_P(
    Replies, FaultReplyTest,
    ::testing::Values(
        FaultRow{"FaultDocument", faultXml(4, "Too many requests &amp; too fast"), false, 4,
                 "Too many requests & too fast"},
        FaultRow{"FaultDocumentInAnyOrderWithMoreMembers",
                 faultDocument(kText + member("extra", "<boolean>1</boolean>") + kCode), false, 3, "Closed & locked"},
        // What peers may rely on: a <fault> that says nothing is no answer either.
        FaultRow{"FaultDocumentWithNeitherMember", faultDocument(member("reason", "x")), false, -3,
                 "Invalid server response"},
        FaultRow{"FaultDocumentWithAnEmptyStruct", faultDocument(""), false, -3, "Invalid server response"},
        FaultRow{"FaultMembersInAResult", inStruct(kCode + kText), false, 3, "Closed & locked"},
        FaultRow{"FaultMembersAmongOthersInAResult", inStruct(member("name", "news") + kText + kCode), false, 3,
                 "Closed & locked"},
        // A fault never reads as code 0, nor without a reason.
        FaultRow{"OnlyFaultCodeInAResult", inStruct(kCode), false, 3, "Invalid server response"},
        FaultRow{"OnlyFaultStringInAResult", inStruct(kText), false, -3, "Closed & locked"},
        FaultRow{"FaultCodeNotAnInt", inStruct(member("faultCode", "<string>3</string>") + kText), false, -3,
                 "Closed & locked"},
        FaultRow{"TheLastOfTwoCodesCounts", inStruct(kCode + member("faultCode", "<int>9</int>")), false, 9,
                 "Invalid server response"},
        FaultRow{"NamesCompareExactly",
                 inStruct(member("faultcode", "<int>3</int>") + member("FaultString", "x") + member("faultCode ", "1")),
                 true, 0, ""},
        FaultRow{"PlainResultStruct", inStruct(member("name", "news")), true, 0, ""}),
    [](const ::testing::TestParamInfo<FaultRow>& info) { return std::string(info.param.name); });

// The service's replies are arrays of structs; a member of one of them is not the reply's.
TEST(FaultMemberTest, InsideAnArrayIsNoFault)
{
    const QByteArray xml =
        responseXml("<array><data><value><struct>" + kCode + kText + "</struct></value></data></array>");
    XmlRpcRequest request(nullptr, QStringLiteral("/"), QStringLiteral("m"), false);
    EXPECT_TRUE(request.ReadResponse(xml.constData(), int(xml.size())));
    EXPECT_EQ(request.ErrorCode(), 0);
    EXPECT_EQ(request.ValueType(), xmlrpc_type_array);
}

// ---- The length -------------------------------------------------------------------

// Only `length` bytes are read, from a block of exactly that size (ASan sees a read past
// it) or from a longer buffer whose rest is not the reply's.
TEST(ReplyLengthTest, ReadsExactlyTheLengthGiven)
{
    const auto exact = std::make_unique<char[]>(size_t(kGood.size()));
    std::memcpy(exact.get(), kGood.constData(), size_t(kGood.size()));
    XmlRpcRequest request(nullptr, QStringLiteral("/"), QStringLiteral("m"), false);
    EXPECT_TRUE(request.ReadResponse(exact.get(), int(kGood.size())));
    EXPECT_EQ(request.StringResult(), QStringLiteral("ok"));

    const QByteArray buffer = kGood + "<junk>";
    EXPECT_TRUE(request.ReadResponse(buffer.constData(), int(kGood.size())));
    EXPECT_FALSE(request.ReadResponse(buffer.constData(), int(buffer.size())));
    EXPECT_EQ(request.ErrorCode(), -3);
    EXPECT_FALSE(request.ReadResponse(buffer.constData(), int(kGood.size()) - 1));
    EXPECT_FALSE(request.ReadResponse(buffer.constData(), -1));
    EXPECT_EQ(request.ErrorText(), QStringLiteral("Invalid server response"));
    EXPECT_EQ(request.ResponseValue(), nullptr);
}

// xmlrpc-epi converts and frees values recursively: a reply nested tens of thousands deep
// would overflow the stack, so deep replies are refused before it sees them.
QByteArray nested(int arrays, const QByteArray& prefix = kDecl)
{
    QByteArray xml = prefix + "<methodResponse><params><param><value>";
    for (int i = 0; i < arrays; ++i)
        xml += "<array><data><value>";
    xml += "<int>1</int>";
    for (int i = 0; i < arrays; ++i)
        xml += "</value></data></array>";
    return xml + "</value></param></params></methodResponse>";
}

TEST(DeepReplyTest, NestingIsLimited)
{
    const struct {
        const char* name;
        QByteArray xml;
        bool ok;
    } rows[] = {
        {"within the limit (998 elements deep)", nested(331), true},
        {"one level more", nested(332), false},
        {"far beyond", nested(50000), false},
        {"far beyond, with a document type", nested(50000, kDecl + "<!DOCTYPE methodResponse>"), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        XmlRpcRequest request(nullptr, QStringLiteral("/"), QStringLiteral("m"), false);
        EXPECT_EQ(request.ReadResponse(row.xml.constData(), int(row.xml.size())), row.ok);
        if (!row.ok) {
            EXPECT_EQ(request.ErrorCode(), -3);
            EXPECT_EQ(request.ErrorText(), QStringLiteral("Invalid server response"));
            continue;
        }
        int depth = 0;
        for (XMLRPC_VALUE v = request.ResponseValue(); XMLRPC_GetValueTypeEasy(v) == xmlrpc_type_array;
             v = XMLRPC_VectorRewind(v))
            ++depth;
        EXPECT_EQ(depth, 331);
    }
}

}  // namespace
