// Reading a reply, against two real references: xmlrpc-epi's own parse (the values must
// come out exactly as it makes them) and expat (what it refuses as XML is refused here too).
extern "C" {
#include <xml_to_xmlrpc.h>
}

#include "common/xmlrpc/Reply.h"

#include "tests/common/xmlrpc/BadReplies.h"
#include "tests/common/xmlrpc/ValueDump.h"
#include "tests/common/xmlrpc/WellFormed.h"

#include <gtest/gtest.h>

#include <expat.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace xmlrpctest;

// The bytes in a heap block of exactly their size, so that ASan sees any read past the end.
xmlrpc::Reply readExactly(const QByteArray& bytes)
{
    const auto copy = std::make_unique<char[]>(size_t(bytes.size()));
    std::memcpy(copy.get(), bytes.constData(), size_t(bytes.size()));
    return xmlrpc::Reply::Read(copy.get(), size_t(bytes.size()));
}

// xmlrpc-epi's own parse, safe only on XML that expat accepts: on anything else it prints
// and loses its partial tree.
std::string referenceDump(const QByteArray& xml)
{
    XMLRPC_REQUEST reference = XMLRPC_REQUEST_FromXML(xml.constData(), int(xml.size()), nullptr);
    std::string out = dump(XMLRPC_RequestGetData(reference));
    XMLRPC_RequestFree(reference, 1);
    return out;
}

QByteArray member(const QByteArray& name, const QByteArray& valueXml)
{
    return "<member><name>" + name + "</name><value>" + valueXml + "</value></member>";
}

QByteArray inStruct(const QByteArray& members)
{
    return responseXml("<struct>" + members + "</struct>");
}

struct GoodReply {
    const char* name;
    QByteArray xml;
    bool fault = false;
};

void PrintTo(const GoodReply& row, std::ostream* os)
{
    *os << row.name;
}

class GoodReplyTest : public ::testing::TestWithParam<GoodReply> {};

TEST_P(GoodReplyTest, GivesTheValuesXmlrpcEpiMakes)
{
    const GoodReply& row = GetParam();
    ASSERT_TRUE(expatAccepts(row.xml)) << "not a well-formed case";
    const xmlrpc::Reply reply = readExactly(row.xml);
    ASSERT_TRUE(reply.usable) << reply.error.toStdString();
    EXPECT_EQ(reply.error, QString());
    EXPECT_EQ(reply.fault, row.fault);
    EXPECT_EQ(dump(reply.value.get()), referenceDump(row.xml));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, GoodReplyTest,
    ::testing::Values(
        GoodReply{"OffersAsCPythonWritesThem",
                  "<?xml version='1.0'?>\n<methodResponse>\n<params>\n<param>\n<value><array><data>\n<value><struct>\n"
                  "<member>\n<name>id</name>\n<value><string>offer-00001</string></value>\n</member>\n<member>\n"
                  "<name>endtime</name>\n<value><int>1900000000</int></value>\n</member>\n</struct></value>\n"
                  "<value><struct>\n<member>\n<name>id</name>\n<value><string>offer-00002</string></value>\n"
                  "</member>\n</struct></value>\n</data></array></value>\n</param>\n</params>\n</methodResponse>\n"},
        GoodReply{"EveryScalar",
                  inStruct(member("int", "<int>42</int>") + member("i4", "<i4>-7</i4>") +
                           member("spaced", "<int> 12 </int>") + member("signed", "<int>+3</int>") +
                           member("max", "<i4>2147483647</i4>") + member("min", "<i4>-2147483648</i4>") +
                           member("true", "<boolean>1</boolean>") + member("false", "<boolean>0</boolean>") +
                           member("double", "<double>3.25</double>") + member("exp", "<double>-1e3</double>") +
                           member("small", "<double>1.5e-07</double>") +
                           member("when", "<dateTime.iso8601>19980717T14:08:55</dateTime.iso8601>") +
                           member("dashed", "<dateTime.iso8601>1998-07-17T14:08:55</dateTime.iso8601>") +
                           member("bytes", "<base64>aGVs\nbG8=</base64>") + member("nobytes", "<base64/>") +
                           member("string", "<string>text</string>") + member("implicit", "bare text") +
                           member("emptystring", "<string/>") + member("emptyvalue", ""))},
        GoodReply{"UntypedValue", responseXml("plain text")},
        GoodReply{"EmptyValue", kDeclaration + "<methodResponse><params><param><value/></param></params>"
                                               "</methodResponse>"},
        GoodReply{"SpaceAroundTypedValue", responseXml("\n  <int>1</int>\n")},
        GoodReply{"NestedVectors",
                  inStruct(member("list", "<array><data><value><struct>" + member("x", "<int>1</int>") +
                                              "</struct></value><value><array><data/></array></value>"
                                              "<value>s</value></data></array>") +
                           member("empty", "<struct/>") + member("", "<string>no name</string>") + member("dup", "1") +
                           member("dup", "2") + member("a&amp;b", "3"))},
        GoodReply{"LineEnds",
                  "<?xml version=\"1.0\"?>\r\n<methodResponse>\r\n<params><param><value><string>a\r\nb\rc\n"
                  "<![CDATA[d\r\ne]]></string></value></param></params>\r\n</methodResponse>\r\n"},
        GoodReply{"AttributesIgnored",
                  "<?xml version = '1.0' encoding = 'UTF-8'?><methodResponse xmlns:x='urn:x'><params>"
                  "<param><value type=\"t\" x:y=\"&amp;&#65;\"><string lang = 'en'>v</string></value></param>"
                  "</params></methodResponse>"},
        GoodReply{"Utf8AfterByteOrderMark",
                  "\xEF\xBB\xBF" + stringReply("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80")},
        GoodReply{"Latin1", stringReply("caf\xE9", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>")},
        GoodReply{"Utf16",
                  utf16(stringReply("gr\xC3\xBC\xC3\x9F", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>"), false, true)},
        GoodReply{"Fault", faultXml(4, "Too many requests"), true},
        GoodReply{"FaultWithMoreMembers",
                  kDeclaration + "<methodResponse>\n<fault>\n<value><struct>" +
                      member("faultString", "<string>x</string>") + member("faultCode", "<int>-32601</int>") +
                      member("extra", "<boolean>1</boolean>") + "</struct></value>\n</fault>\n</methodResponse>",
                  true},
        // Whether such a struct is a fault is the caller's to say; it is no <fault>.
        GoodReply{"FaultMembersOutsideAFault",
                  inStruct(member("faultCode", "<int>3</int>") + member("faultString", "<string>f</string>"))}));

class BadReplyTest : public ::testing::TestWithParam<BadReply> {};

TEST_P(BadReplyTest, EndsAsTheRowSays)
{
    const BadReply& row = GetParam();
    const xmlrpc::Reply reply = readExactly(row.body);
    switch (row.outcome) {
    case Outcome::Usable:
        ASSERT_TRUE(reply.usable) << reply.error.toStdString();
        EXPECT_FALSE(reply.fault);
        ASSERT_EQ(XMLRPC_GetValueTypeEasy(reply.value.get()), xmlrpc_type_string);
        EXPECT_EQ(QByteArray(XMLRPC_GetValueString(reply.value.get()), XMLRPC_GetValueStringLen(reply.value.get())),
                  row.value);
        break;
    case Outcome::Fault: {
        ASSERT_TRUE(reply.usable) << reply.error.toStdString();
        EXPECT_TRUE(reply.fault);
        XMLRPC_VALUE fault = reply.value.get();
        EXPECT_EQ(XMLRPC_VectorGetIntWithID(fault, "faultCode"), row.faultCode);
        EXPECT_EQ(QByteArray(XMLRPC_VectorGetStringWithID(fault, "faultString")), row.value);
        break;
    }
    case Outcome::Unusable:
        EXPECT_FALSE(reply.usable);
        EXPECT_FALSE(reply.fault);
        EXPECT_EQ(reply.value.get(), nullptr);
        EXPECT_TRUE(reply.error.contains(QLatin1String(row.reason))) << reply.error.toStdString();
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Replies, BadReplyTest, ::testing::ValuesIn(badReplies()),
                         [](const auto& info) { return std::string(info.param.name); });

struct Misshapen {
    const char* name;
    QByteArray xml;
    const char* reason;
};

void PrintTo(const Misshapen& row, std::ostream* os)
{
    *os << row.name;
}

class MisshapenReplyTest : public ::testing::TestWithParam<Misshapen> {};

// Well-formed XML, but not a reply of XML-RPC's shape: refused, and said why.
TEST_P(MisshapenReplyTest, IsRefusedWithItsReason)
{
    const Misshapen& row = GetParam();
    ASSERT_TRUE(expatAccepts(row.xml)) << "not a well-formed case";
    const xmlrpc::Reply reply = readExactly(row.xml);
    EXPECT_FALSE(reply.usable);
    EXPECT_EQ(reply.value.get(), nullptr);
    EXPECT_TRUE(reply.error.contains(QLatin1String(row.reason))) << reply.error.toStdString();
}

const QByteArray kMember = member("a", "1");

INSTANTIATE_TEST_SUITE_P(
    Replies, MisshapenReplyTest,
    ::testing::Values(
        Misshapen{"MethodCall", kDeclaration + "<methodCall><methodName>m</methodName></methodCall>",
                  "<methodCall> where <methodResponse> should be"},
        Misshapen{"RootIsAValue", "<value>x</value>", "<value> where <methodResponse> should be"},
        Misshapen{"HtmlPage", "<html><body><p>Site maintenance</p></body></html>",
                  "<html> where <methodResponse> should be"},
        Misshapen{"EmptyMethodResponse", "<methodResponse/>", "holding neither <params> nor <fault>"},
        Misshapen{"EmptyParams", "<methodResponse><params/></methodResponse>", "<params> without a <param>"},
        Misshapen{"ParamWithoutValue", "<methodResponse><params><param/></params></methodResponse>",
                  "<param> without a <value>"},
        Misshapen{"TwoParams",
                  "<methodResponse><params><param><value>a</value></param><param><value>b</value>"
                  "</param></params></methodResponse>",
                  "<param> in the wrong place in <params>"},
        Misshapen{"TwoValuesInAParam",
                  "<methodResponse><params><param><value>a</value><value>b</value></param>"
                  "</params></methodResponse>",
                  "<value> in the wrong place in <param>"},
        Misshapen{"ParamsAndFault",
                  "<methodResponse><params><param><value>a</value></param></params><fault>"
                  "<value><struct/></value></fault></methodResponse>",
                  "<fault> in the wrong place in <methodResponse>"},
        Misshapen{"ValueDirectlyInMethodResponse", "<methodResponse><value>a</value></methodResponse>",
                  "<value> in the wrong place in <methodResponse>"},
        Misshapen{"FaultNotAStruct",
                  "<methodResponse><fault><value><string>x</string></value></fault></methodResponse>",
                  "<fault> whose value is not a <struct>"},
        Misshapen{"FaultWithEmptyValue", "<methodResponse><fault><value/></fault></methodResponse>",
                  "<fault> whose value is not a <struct>"},
        Misshapen{"FaultWithoutValue", "<methodResponse><fault/></methodResponse>", "<fault> without a <value>"},
        Misshapen{"UnknownElementInStruct", inStruct(kMember + "<extra/>"), "<extra>, which XML-RPC does not know"},
        Misshapen{"StringInString", responseXml("<string>a<string>x</string></string>"),
                  "<string> in the wrong place in <string>"},
        Misshapen{"TwoTypedChildren", responseXml("<int>1</int><string>x</string>"),
                  "<string> in the wrong place in <value>"},
        Misshapen{"I8", responseXml("<i8>12345678901</i8>"), "<i8>, which XML-RPC does not know"},
        Misshapen{"Nil", responseXml("<nil/>"), "<nil>, which XML-RPC does not know"},
        Misshapen{"PrefixedRoot", "<x:methodResponse xmlns:x='urn:x'/>",
                  "<x:methodResponse> where <methodResponse> should be"},
        Misshapen{"ArrayWithoutData", responseXml("<array/>"), "<array> without a <data>"},
        Misshapen{"ArrayWithTwoData", responseXml("<array><data/><data/></array>"),
                  "<data> in the wrong place in <array>"},
        Misshapen{"DataWithoutArray", responseXml("<data/>"), "<data> in the wrong place in <value>"},
        Misshapen{"MemberOutsideStruct", responseXml("<array><data>" + kMember + "</data></array>"),
                  "<member> in the wrong place in <data>"},
        Misshapen{"MemberValueBeforeName", inStruct("<member><value>v</value><name>n</name></member>"),
                  "<member> without a <name>"},
        Misshapen{"MemberWithoutAnything", inStruct("<member/>"), "<member> without a <name>"},
        Misshapen{"MemberWithoutValue", inStruct("<member><name>n</name></member>"), "<member> without a <value>"},
        Misshapen{"MemberWithTwoNames", inStruct("<member><name>n</name><name>m</name><value/></member>"),
                  "<name> in the wrong place in <member>"},
        Misshapen{"TextInStruct", inStruct("junk" + kMember), "text \"junk\" in <struct>"},
        Misshapen{"TextInData", responseXml("<array><data><value>1</value> , </data></array>"), "text \",\" in <data>"},
        Misshapen{"TextInParams", "<methodResponse><params>x<param><value>a</value></param></params></methodResponse>",
                  "text \"x\" in <params>"},
        Misshapen{"EmptyInt", responseXml("<int></int>"), "<int> \"\" is not a whole number"},
        Misshapen{"SpaceInsideInt", responseXml("<int>1 2</int>"), "is not a whole number"},
        Misshapen{"IntBelowRange", responseXml("<int>-2147483649</int>"), "is not a whole number"},
        Misshapen{"HugeInt", responseXml("<int>99999999999999999999999999</int>"), "is not a whole number"},
        Misshapen{"BooleanWord", responseXml("<boolean>true</boolean>"), "neither 0 nor 1"},
        Misshapen{"EmptyBoolean", responseXml("<boolean/>"), "neither 0 nor 1"},
        Misshapen{"DoubleWithJunk", responseXml("<double>3.2x</double>"), "<double> \"3.2x\" is not a number"},
        Misshapen{"DoubleOutOfRange", responseXml("<double>1e999</double>"), "is not a number"},
        Misshapen{"ShortDateTime", responseXml("<dateTime.iso8601>1998-07</dateTime.iso8601>"),
                  "is not a date and time"},
        Misshapen{"DateTimeWithoutTime", responseXml("<dateTime.iso8601>19980717</dateTime.iso8601>"),
                  "is not a date and time"},
        Misshapen{"Base64WithByteOver127", responseXml("<base64>AAF\xC3\xA9iaW5h</base64>"),
                  "holds what is not base64"},
        Misshapen{"Base64WithPunctuation", responseXml("<base64>aGk*</base64>"), "holds what is not base64"},
        Misshapen{"LongNameCutInTheError", responseXml("<" + QByteArray(5000, 'x') + "/>"),
                  "<xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...>, which XML-RPC does not know"}),
    [](const auto& info) { return std::string(info.param.name); });

// 332 arrays put the innermost <value> 1,000 elements deep.
QByteArray arraysAround(const QByteArray& inner)
{
    QByteArray open, close;
    for (int i = 0; i < 332; ++i) {
        open += "<array><data><value>";
        close += "</value></data></array>";
    }
    return responseXml(open + inner + close);
}

TEST(ReplyDepthTest, AThousandElementsAreReadAndOneMoreIsNot)
{
    const QByteArray deepest = arraysAround("1");
    const xmlrpc::Reply reply = readExactly(deepest);
    ASSERT_TRUE(reply.usable) << reply.error.toStdString();
    EXPECT_EQ(dump(reply.value.get()), referenceDump(deepest));

    const xmlrpc::Reply deeper = readExactly(arraysAround("<int>1</int>"));
    EXPECT_FALSE(deeper.usable);
    EXPECT_TRUE(deeper.error.contains("nested more than 1000 deep")) << deeper.error.toStdString();
}

// An array of n empty values, and the array's own value: n + 1 values in all.
QByteArray arrayOfEmptyValues(size_t n)
{
    QByteArray values;
    values.reserve(qsizetype(n * 8));
    for (size_t i = 0; i < n; ++i)
        values += "<value/>";
    return responseXml("<array><data>" + values + "</data></array>");
}

// A few bytes of reply make a value of a few hundred bytes of heap: the count is what
// bounds the memory a reply can take, well below the byte limit.
TEST(ReplyCountTest, AMillionValuesAreReadAndOneMoreIsNot)
{
    const xmlrpc::Reply atLimit = readExactly(arrayOfEmptyValues(xmlrpc::Reply::kMaxValues - 1));
    ASSERT_TRUE(atLimit.usable) << atLimit.error.toStdString();
    EXPECT_EQ(XMLRPC_VectorSize(atLimit.value.get()), int(xmlrpc::Reply::kMaxValues - 1));

    const xmlrpc::Reply over = readExactly(arrayOfEmptyValues(xmlrpc::Reply::kMaxValues));
    EXPECT_FALSE(over.usable);
    EXPECT_TRUE(over.error.contains("more than 1000000 values")) << over.error.toStdString();
}

// The caller's buffer holds more than the reply, and no terminator: only `length` counts.
TEST(ReplyLengthTest, ReadsOnlyTheLengthGiven)
{
    const QByteArray good = stringReply("ok");
    const QByteArray buffer = good + "<junk>";
    EXPECT_TRUE(xmlrpc::Reply::Read(buffer.constData(), size_t(good.size())).usable);
    EXPECT_FALSE(xmlrpc::Reply::Read(buffer.constData(), size_t(buffer.size())).usable);
    EXPECT_FALSE(xmlrpc::Reply::Read(buffer.constData(), size_t(good.size() - 1)).usable);
    EXPECT_FALSE(xmlrpc::Reply::Read(nullptr, 0).usable);
    EXPECT_EQ(xmlrpc::Reply::Read(nullptr, 0).error, QStringLiteral("Line 1, column 1: no element found"));
}

TEST(ReplyLengthTest, TheLimitIsSixtyFourMiB)
{
    QByteArray atLimit = stringReply("ok");
    atLimit.append(qsizetype(xmlrpc::Reply::kMaxBytes) - atLimit.size(), '\n');
    EXPECT_TRUE(xmlrpc::Reply::Read(atLimit.constData(), size_t(atLimit.size())).usable);
    atLimit.append('\n');
    const xmlrpc::Reply over = xmlrpc::Reply::Read(atLimit.constData(), size_t(atLimit.size()));
    EXPECT_FALSE(over.usable);
    EXPECT_EQ(over.error, QStringLiteral("The reply has 67108865 bytes, more than the 67108864 allowed"));
}

// Replies damaged at random, a fixed sequence of them: what expat refuses is refused, and
// what is read gives the values xmlrpc-epi makes of it.
TEST(MutatedReplyTest, AgreesWithExpatAndXmlrpcEpi)
{
    const QByteArray seeds[] = {
        "<?xml version='1.0'?>\n<methodResponse>\n<params>\n<param>\n<value><array><data>\n<value><struct>\n"
        "<member>\n<name>id</name>\n<value><string>o\xC3\xA9 &amp; &#65;</string></value>\n</member>\n</struct>"
        "</value>\n<value><base64>aGk=</base64></value><value><double>1.5</double></value><value>t</value>"
        "<value><dateTime.iso8601>19980717T14:08:55</dateTime.iso8601></value></data></array></value>\n</param>\n"
        "</params>\n</methodResponse>\n",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?><!--c--><methodResponse a='1'><params><param><value><struct>" +
            member("n", "<int>1</int>") + member("b", "<boolean>1</boolean>") +
            member("s", "<string>x<![CDATA[y]]></string>") +
            "</struct></value></param></params></methodResponse><?p q?>",
        faultXml(3, "f&lt;"),
    };
    const char alphabet[] = "<>&;/!?-[]\"'= \r\n\t#x0aZ:T\x80\xC3\xA9\xE2\xBF\xEF\xFF\xED\xF0";
    std::mt19937 random(12345);
    int failures = 0;
    int read = 0;
    for (int i = 0; i < 20000 && failures < 5; ++i) {
        QByteArray xml = seeds[random() % std::size(seeds)];
        for (int edits = 1 + int(random() % 3); edits > 0; --edits) {
            const int at = xml.isEmpty() ? 0 : int(random() % xml.size());
            switch (random() % 4) {
            case 0: xml.remove(at, 1 + int(random() % 3)); break;
            case 1: xml.insert(at, alphabet[random() % (sizeof alphabet - 1)]); break;
            case 2: xml.truncate(at); break;
            default:
                if (!xml.isEmpty())
                    xml.insert(at, xml.mid(int(random() % xml.size()), int(random() % 12)));
            }
        }
        const xmlrpc::Reply reply = readExactly(xml);
        read += reply.usable;
        const bool wellFormed = expatAccepts(xml);
        const std::string ours = dump(reply.value.get());
        const bool consistent = reply.usable == reply.error.isEmpty() && reply.usable == bool(reply.value);
        if (!consistent || (reply.usable && (!wellFormed || ours != referenceDump(xml)))) {
            ++failures;
            ADD_FAILURE() << "reply: " << xml.toStdString() << "\nours: " << ours << " " << reply.error.toStdString()
                          << "\nxmlrpc-epi: " << (wellFormed ? referenceDump(xml) : "(not well-formed)");
        }
    }
    EXPECT_GT(read, 100);  // the damage left enough replies whole to compare
}

}  // namespace
