#pragma once

// Hostile and odd reply bodies, each with what reading it must give. The reader's tests run
// them through the library; the request tests send the same bodies from a raw socket peer.

#include <QByteArray>
#include <QString>

#include <ostream>
#include <vector>

namespace xmlrpctest {

enum class Outcome {
    Usable,    // a string reply; `value` is its text (UTF-8)
    Unusable,  // refused; the reader's error holds `reason`
    Fault,     // a <fault>; `faultCode` and `value` (its faultString)
};

struct BadReply {
    const char* name;  // what the row breaks
    QByteArray body;
    Outcome outcome;
    QByteArray value = {};
    const char* reason = "";
    int faultCode = 0;
};

inline void PrintTo(const BadReply& row, std::ostream* os)
{
    *os << row.name;
}

inline const QByteArray kDeclaration = "<?xml version=\"1.0\"?>";

// A methodResponse holding one value, given as its XML.
inline QByteArray responseXml(const QByteArray& valueXml, const QByteArray& declaration = kDeclaration)
{
    return declaration + "<methodResponse><params><param><value>" + valueXml +
           "</value></param></params></methodResponse>";
}

inline QByteArray stringReply(const QByteArray& text, const QByteArray& declaration = kDeclaration)
{
    return responseXml("<string>" + text + "</string>", declaration);
}

inline QByteArray faultXml(int code, const QByteArray& text)
{
    return kDeclaration +
           "<methodResponse><fault><value><struct>"
           "<member><name>faultCode</name><value><int>" +
           QByteArray::number(code) +
           "</int></value></member>"
           "<member><name>faultString</name><value><string>" +
           text + "</string></value></member></struct></value></fault></methodResponse>";
}

// `arrays` arrays, one in the other, around an int.
inline QByteArray nestedArrays(int arrays)
{
    QByteArray inner = "<int>1</int>";
    QByteArray open, close;
    for (int i = 0; i < arrays; ++i) {
        open += "<array><data><value>";
        close += "</value></data></array>";
    }
    return responseXml(open + inner + close);
}

inline QByteArray utf16(const QByteArray& utf8, bool bigEndian, bool byteOrderMark)
{
    const QString text = QString::fromUtf8(utf8);
    QByteArray out;
    if (byteOrderMark)
        out += bigEndian ? QByteArray("\xFE\xFF", 2) : QByteArray("\xFF\xFE", 2);
    for (QChar c : text) {
        const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
        out += bigEndian ? QByteArray{&high, 1} + QByteArray{&low, 1} : QByteArray{&low, 1} + QByteArray{&high, 1};
    }
    return out;
}

// The exponential-entity document: ten entities of ten references each, 10^9 "lol"s.
inline QByteArray billionLaughs()
{
    QByteArray subset = "<!ENTITY lol0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        subset += "<!ENTITY lol" + QByteArray::number(i) + " \"";
        for (int j = 0; j < 10; ++j)
            subset += "&lol" + QByteArray::number(i - 1) + ";";
        subset += "\">";
    }
    return kDeclaration + "<!DOCTYPE methodResponse [" + subset + "]>" +
           responseXml("<string>&lol9;</string>", QByteArray());
}

inline QByteArray manyAttributes(int count)
{
    QByteArray attributes;
    attributes.reserve(count * 12);
    for (int i = 0; i < count; ++i)
        attributes += " a" + QByteArray::number(i) + "=\"1\"";
    return responseXml("<string" + attributes + ">ok</string>");
}

inline std::vector<BadReply> badReplies()
{
    const QByteArray euro = stringReply("\xE2\x82\xAC");
    const QByteArray good = stringReply("ok");
    const QByteArray utf16Reply =
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?><methodResponse><params><param>"
        "<value><string>gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80</string></value></param>"
        "</params></methodResponse>";
    QByteArray oversized = good;
    oversized.append(qsizetype((64 << 20) + 1) - good.size(), ' ');  // white space after the root is well-formed

    using enum Outcome;
    return {
        {"PredefinedEntities", stringReply("&lt;a&gt; &amp; &quot;q&quot; &apos;s&apos;"), Usable, "<a> & \"q\" 's'"},
        {"DecimalCharacterReferences", stringReply("&#65;&#252;&#8364;"), Usable, "A\xC3\xBC\xE2\x82\xAC"},
        {"HexCharacterReferences", stringReply("&#x42;&#xfc;&#x1F600;"), Usable, "B\xC3\xBC\xF0\x9F\x98\x80"},
        {"UndeclaredEntity", stringReply("a&nbsp;b"), Unusable, {}, "undefined entity"},
        {"CDataSection", stringReply("a<![CDATA[<b>&amp;</b>]]>z"), Usable, "a<b>&amp;</b>z"},
        {"CommentsAndInstructionsBetweenElements",
         "<?xml version=\"1.0\"?><!-- before --><?pi x?><methodResponse><!-- c --><params><?p q?><param>"
         "<value><!-- in --><string>a<!-- mid -->b</string></value></param></params></methodResponse>"
         "<!-- after --><?end?>",
         Usable, "ab"},
        {"Utf16LittleEndianWithByteOrderMark", utf16(utf16Reply, false, true), Usable,
         "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"},
        {"Utf16BigEndianWithoutByteOrderMark", utf16(utf16Reply, true, false), Usable,
         "gr\xC3\xBC\xC3\x9F \xF0\x9F\x98\x80"},
        {"Latin1Declared", stringReply("caf\xE9 \xBD", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"), Usable,
         "caf\xC3\xA9 \xC2\xBD"},
        {"UnknownEncoding",
         responseXml("<string>x</string>", "<?xml version=\"1.0\" encoding=\"KOI8-R\"?>"),
         Unusable,
         {},
         "unknown encoding"},
        {"BillionLaughs", billionLaughs(), Unusable, {}, "document type declaration"},
        {"DocumentTypeWithoutSubset",
         kDeclaration + "<!DOCTYPE methodResponse>" + responseXml("x", {}),
         Unusable,
         {},
         "document type declaration"},
        {"ThousandAndOneNestedArrays", nestedArrays(1001), Unusable, {}, "nested more than 1000 deep"},
        {"Truncated", good.left(good.size() - 5), Unusable, {}, "unclosed token"},
        {"TruncatedAfterATag", good.left(good.indexOf("</param>")), Unusable, {}, "no element found"},
        {"TwoRoots", good + "<methodResponse/>", Unusable, {}, "junk after document element"},
        {"BytesAfterRoot", good + "junk", Unusable, {}, "junk after document element"},
        {"NulByteInString", stringReply(QByteArray("a\0b", 3)), Unusable, {}, "not well-formed"},
        {"ValueWithTextAndElement", responseXml("text<string>x</string>"), Unusable, {}, "both text and <string>"},
        {"ValueWithElementAndText", responseXml("<string>x</string>text"), Unusable, {}, "text \"text\" in <value>"},
        {"I4NotANumber", responseXml("<i4>12abc</i4>"), Unusable, {}, "\"12abc\" is not a whole number"},
        {"I4TwoToThe31", responseXml("<i4>2147483648</i4>"), Unusable, {}, "is not a whole number"},
        {"BooleanTwo", responseXml("<boolean>2</boolean>"), Unusable, {}, "neither 0 nor 1"},
        {"MemberWithoutName",
         responseXml("<struct><member><value>v</value></member></struct>"),
         Unusable,
         {},
         "<member> without a <name>"},
        {"SixtyFourMiBAndOneByte", oversized, Unusable, {}, "more than the 67108864 allowed"},
        {"EndsInsideUtf8Sequence", euro.left(euro.indexOf("\xE2\x82\xAC") + 2), Unusable, {}, "partial character"},
        {"UsAsciiWithByteOver127",
         stringReply("caf\xC3\xA9", "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>"),
         Unusable,
         {},
         "not well-formed"},
        {"HundredThousandAttributes", manyAttributes(100000), Usable, "ok"},
        {"AttributeNameWithByteOrderMark",
         responseXml("<string \xEF\xBB\xBF"
                     "a=\"1\">ok</string>"),
         Unusable,
         {},
         "not well-formed"},
        {"FaultWithReferences", faultXml(4, "Too many &lt;requests&gt; &amp; &#x263A;"), Fault,
         "Too many <requests> & \xE2\x98\xBA", "", 4},
    };
}

}  // namespace xmlrpctest
