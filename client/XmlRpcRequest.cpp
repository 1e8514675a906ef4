// Some headers of xmlrpc-epi do not declare C linkage themselves, and <xmlrpc.h> pulls the
// queue one in, so they come first.
extern "C" {
#include <base64.h>
#include <queue.h>
#include <xml_to_xmlrpc.h>
}

#include "client/XmlRpcRequest.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QXmlStreamReader>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace client {

namespace {

// Filled by the status callback. It lives on Send's stack and its address is the
// request's context, so the callback never outlives it: Send closes the request, after
// which the layer reports nothing more, before it returns.
struct WaitRecord {
    OvexInetHandle* handleSlot = nullptr;
    unsigned char handleCreated = 0;
    unsigned char requestComplete = 0;
    uintptr_t result = 0;
    uint32_t error = 0;
};

// One callback for every request; it only writes the wait record.
void StatusCallback(OvexInetHandle, uintptr_t context, uint32_t status, const void* info, uint32_t infoLength)
{
    auto* wait = reinterpret_cast<WaitRecord*>(context);
    if (wait == nullptr)
        return;
    if (status == OVEX_INET_STATUS_HANDLE_CREATED) {
        if (wait->handleSlot != nullptr && info != nullptr && infoLength >= sizeof(OvexInetHandle))
            std::memcpy(wait->handleSlot, info, sizeof(OvexInetHandle));
        wait->handleCreated = 1;
    } else if (status == OVEX_INET_STATUS_REQUEST_COMPLETE) {
        wait->requestComplete = 1;
        if (info != nullptr && infoLength >= sizeof(OvexInetAsyncResult)) {
            OvexInetAsyncResult outcome;
            std::memcpy(&outcome, info, sizeof outcome);
            wait->result = outcome.result;
            wait->error = outcome.error;
        }
    }
}

// The interface stays alive while the call waits, and a quit met meanwhile is posted
// again for after it. No limit here: the layer's connect and idle time-outs end every
// transfer that stalls, and that completes the wait.
void PumpMessagesWhileWaiting(const unsigned char& flag)
{
    platform::pumpUntil([&flag] { return flag != 0; });
}

QString TextOf(XMLRPC_VALUE value)
{
    const char* s = XMLRPC_GetValueString(value);
    return s ? QString::fromUtf8(s, XMLRPC_GetValueStringLen(value)) : QString();
}

// True when the document is a methodResponse whose content is a <fault>. xmlrpc-epi
// parses a fault and a plain struct reply alike, so this is the only place that can tell
// a fault from a result that happens to have a member called "faultCode".
bool IsFaultResponse(xml_element* root)
{
    if (root == nullptr || root->name == nullptr || std::strcmp(root->name, "methodResponse") != 0)
        return false;
    const auto* first = static_cast<const xml_element*>(Q_Head(&root->children));
    return first != nullptr && first->name != nullptr && std::strcmp(first->name, "fault") == 0;
}

// ---- Reading a reply --------------------------------------------------------------
//
// xmlrpc-epi's own parse builds a tree of elements, several allocations each, converts it
// into values and frees it again; for a reply of thousands of offers that costs a few times
// what reading the XML does. So a reply is read here in one pass that checks it is
// well-formed XML and, for the plain shapes a service sends, makes the values with
// xmlrpc-epi's own setters, called as its conversion calls them. Any other shape still goes
// to xmlrpc-epi, but only once the reply is known to be well-formed: on malformed XML
// xml_elem_parse_buf drops its partial tree unfreed (and prints to stderr).

// Replies nested deeper than this many elements are refused: xmlrpc-epi converts and frees
// values recursively, and tens of thousands of nested arrays overflow the stack. The
// service's replies nest fewer than ten.
constexpr size_t kMaxDepth = 1000;

enum class Scan {
    Built,      // a methodResponse of a plain shape; its value is made
    Library,    // well-formed, of a shape left to xmlrpc-epi's conversion
    Unusable,   // not well-formed, nested too deep, or not a methodResponse
    Unchecked,  // a document type or an encoding other than UTF-8: not checked here
};

// Byte classes for the scanner.
enum : quint8 { kNameStart = 1, kNameChar = 2, kPlainText = 4 };

constexpr std::array<quint8, 256> MakeClasses()
{
    std::array<quint8, 256> t{};
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (letter || c == '_' || c == ':')
            t[c] |= kNameStart | kNameChar;
        if ((c >= '0' && c <= '9') || c == '.' || c == '-')
            t[c] |= kNameChar;
        // Character data that needs no attention: printable ASCII but markup, references,
        // "]]>" and carriage returns, which are made line feeds.
        if ((c >= 0x20 && c < 0x80 && c != '<' && c != '&' && c != ']') || c == '\t' || c == '\n')
            t[c] |= kPlainText;
    }
    return t;
}
constexpr std::array<quint8, 256> kClasses = MakeClasses();

bool IsSpace(uchar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool IsXmlChar(quint32 c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
           (c >= 0x10000 && c <= 0x10FFFF);
}

void AppendUtf8(std::string* out, quint32 c)
{
    if (c < 0x80) {
        *out += char(c);
    } else if (c < 0x800) {
        *out += char(0xC0 | (c >> 6));
        *out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *out += char(0xE0 | (c >> 12));
        *out += char(0x80 | ((c >> 6) & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    } else {
        *out += char(0xF0 | (c >> 18));
        *out += char(0x80 | ((c >> 12) & 0x3F));
        *out += char(0x80 | ((c >> 6) & 0x3F));
        *out += char(0x80 | (c & 0x3F));
    }
}

bool EqualsAscii(const uchar* s, size_t length, std::string_view word)
{
    return word == std::string_view(reinterpret_cast<const char*>(s), length);
}

bool EqualsIgnoringCase(const std::string& s, const char* word)
{
    if (s.size() != std::strlen(word))
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        // ASCII only: the C library's tolower follows the locale (a Turkish one lowers 'I'
        // to a dotless i).
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(s[i]) != lower(word[i]))
            return false;
    }
    return true;
}

// One pass over a reply: the checks of a non-validating XML parser for documents without a
// document type, in UTF-8, with ASCII names, and the values of a plain methodResponse.
// Whatever it does not check itself it reports as Unchecked.
class ReplyReader {
public:
    ReplyReader(const char* data, int length)
        : p_(reinterpret_cast<const uchar*>(data)), end_(p_ + (length > 0 ? length : 0))
    {
        text_.reserve(256);
    }
    ~ReplyReader() { Discard(); }
    ReplyReader(const ReplyReader&) = delete;
    ReplyReader& operator=(const ReplyReader&) = delete;

    Scan Read();
    // After Built: the reply's value, which the caller then owns.
    XMLRPC_VALUE TakeValue()
    {
        XMLRPC_VALUE value = root_;
        root_ = nullptr;
        return value;
    }
    bool IsFault() const { return fault_; }

private:
    // The scalar kinds, kString to kBase64, stay last and together.
    enum Kind : quint8 {
        kOther, kMethodResponse, kParams, kParam, kFault, kValue, kArray, kData, kStruct, kMember, kName,
        kString, kInt, kBoolean, kDouble, kDateTime, kBase64,
    };
    struct Frame {
        const uchar* name;
        size_t nameLength;
        Kind kind;
        bool owns;        // value is not yet in its vector and is freed with the reader
        bool faultValue;  // the <value> of a <fault>, whose struct is the reply itself
        int children;
        XMLRPC_VALUE value;
    };

    bool Stop(Scan why = Scan::Unusable)
    {
        stop_ = why;
        return false;
    }
    bool Starts(const char* s) const
    {
        const size_t n = std::strlen(s);
        return size_t(end_ - p_) >= n && std::memcmp(p_, s, n) == 0;
    }
    bool SkipSpace()
    {
        const uchar* s = p_;
        while (p_ < end_ && IsSpace(*p_))
            ++p_;
        return p_ != s;
    }
    int Utf8Length() const;
    bool Char();
    bool Name(const uchar** name, size_t* length);
    bool Reference(std::string* out);
    bool CharData();
    bool AttributeValue();
    bool Comment();
    bool ProcessingInstruction();
    bool CData();
    bool Declaration();
    bool PseudoAttribute(std::string* name, std::string* value);
    bool Misc(bool* done);
    bool Content();
    bool StartTag();
    bool EndTag();
    bool Enter(const uchar* name, size_t length);
    bool Leave();

    static Kind KindOf(const uchar* name, size_t length);
    void Map(Frame& frame);
    void Finish(Frame& frame);
    void Bail();
    void Discard();

    const uchar* p_;
    const uchar* const end_;
    Scan stop_ = Scan::Unusable;
    std::vector<Frame> stack_;
    std::vector<std::pair<const uchar*, size_t>> attributes_;
    std::string text_;  // the character data of the innermost element since its last child
    XMLRPC_VALUE root_ = nullptr;
    bool fault_ = false;
    bool bailed_ = false;  // the shape is left to xmlrpc-epi; only the XML is still checked
};

// The length of the UTF-8 character at p_ as expat accepts it (no overlong forms,
// surrogates, U+FFFE or U+FFFF), or 0.
int ReplyReader::Utf8Length() const
{
    const ptrdiff_t left = end_ - p_;
    const uchar c = p_[0];
    auto follows = [&](ptrdiff_t i) { return i < left && (p_[i] & 0xC0) == 0x80; };
    if (c < 0xC2)
        return 0;
    if (c < 0xE0)
        return follows(1) ? 2 : 0;
    if (c < 0xF0) {
        if (!follows(1) || !follows(2))
            return 0;
        if ((c == 0xE0 && p_[1] < 0xA0) || (c == 0xED && p_[1] > 0x9F) || (c == 0xEF && p_[1] == 0xBF && p_[2] > 0xBD))
            return 0;
        return 3;
    }
    if (c < 0xF5) {
        if (!follows(1) || !follows(2) || !follows(3))
            return 0;
        if ((c == 0xF0 && p_[1] < 0x90) || (c == 0xF4 && p_[1] > 0x8F))
            return 0;
        return 4;
    }
    return 0;
}

// Steps over one character that XML allows.
bool ReplyReader::Char()
{
    const uchar c = *p_;
    if (c < 0x80) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return Stop();
        ++p_;
        return true;
    }
    const int n = Utf8Length();
    if (n == 0)
        return Stop();
    p_ += n;
    return true;
}

bool ReplyReader::Name(const uchar** name, size_t* length)
{
    const uchar* s = p_;
    if (p_ == end_ || (kClasses[*p_] & kNameStart) == 0)
        return Stop(p_ < end_ && *p_ >= 0x80 ? Scan::Unchecked : Scan::Unusable);
    while (p_ < end_ && (kClasses[*p_] & kNameChar) != 0)
        ++p_;
    if (p_ < end_ && *p_ >= 0x80)
        return Stop(Scan::Unchecked);  // a name with other letters
    *name = s;
    *length = size_t(p_ - s);
    return true;
}

// A reference at '&', its character added to `out` (when given). Without a document type
// only the five predefined entities exist.
bool ReplyReader::Reference(std::string* out)
{
    ++p_;
    if (p_ < end_ && *p_ == '#') {
        ++p_;
        const bool hex = p_ < end_ && *p_ == 'x';
        if (hex)
            ++p_;
        quint32 code = 0;
        int digits = 0;
        for (; p_ < end_; ++p_, ++digits) {
            const uchar c = *p_;
            quint32 digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (hex && (c | 0x20) >= 'a' && (c | 0x20) <= 'f')
                digit = (c | 0x20) - 'a' + 10;
            else
                break;
            code = code * (hex ? 16 : 10) + digit;
            if (code > 0x10FFFF)
                return Stop();
        }
        if (digits == 0 || p_ == end_ || *p_ != ';' || !IsXmlChar(code))
            return Stop();
        ++p_;
        if (out != nullptr)
            AppendUtf8(out, code);
        return true;
    }
    const uchar* s = p_;
    while (p_ < end_ && (kClasses[*p_] & kNameChar) != 0)
        ++p_;
    if (p_ == end_ || *p_ != ';')
        return Stop();
    const size_t n = size_t(p_ - s);
    ++p_;
    char c;
    if (EqualsAscii(s, n, "lt"))
        c = '<';
    else if (EqualsAscii(s, n, "gt"))
        c = '>';
    else if (EqualsAscii(s, n, "amp"))
        c = '&';
    else if (EqualsAscii(s, n, "apos"))
        c = '\'';
    else if (EqualsAscii(s, n, "quot"))
        c = '"';
    else
        return Stop();
    if (out != nullptr)
        *out += c;
    return true;
}

// Character data up to the next markup, added to text_ as expat reports it: references
// replaced, line ends made "\n".
bool ReplyReader::CharData()
{
    for (;;) {
        const uchar* s = p_;
        while (p_ < end_ && (kClasses[*p_] & kPlainText) != 0)
            ++p_;
        if (p_ != s)
            text_.append(reinterpret_cast<const char*>(s), size_t(p_ - s));
        if (p_ == end_)
            return Stop();  // the document ends inside an element
        switch (*p_) {
        case '<':
            return true;
        case '&':
            if (!Reference(&text_))
                return false;
            break;
        case ']':
            if (Starts("]]>"))
                return Stop();
            text_ += ']';
            ++p_;
            break;
        case '\r':
            text_ += '\n';
            ++p_;
            if (p_ < end_ && *p_ == '\n')
                ++p_;
            break;
        default: {
            s = p_;
            if (!Char())
                return false;
            text_.append(reinterpret_cast<const char*>(s), size_t(p_ - s));
            break;
        }
        }
    }
}

bool ReplyReader::AttributeValue()
{
    if (p_ == end_ || (*p_ != '"' && *p_ != '\''))
        return Stop();
    const uchar quote = *p_++;
    for (;;) {
        if (p_ == end_ || *p_ == '<')
            return Stop();
        if (*p_ == quote) {
            ++p_;
            return true;
        }
        if (*p_ == '&') {
            if (!Reference(nullptr))
                return false;
        } else if (!Char()) {
            return false;
        }
    }
}

bool ReplyReader::Comment()
{
    p_ += 4;  // "<!--"
    for (;;) {
        if (p_ == end_)
            return Stop();
        if (Starts("--")) {
            if (!Starts("-->"))
                return Stop();
            p_ += 3;
            return true;
        }
        if (!Char())
            return false;
    }
}

bool ReplyReader::ProcessingInstruction()
{
    p_ += 2;  // "<?"
    const uchar* target;
    size_t length;
    if (!Name(&target, &length))
        return false;
    // "xml" in any case is reserved, and the declaration is allowed only first.
    if (length == 3 && (target[0] | 0x20) == 'x' && (target[1] | 0x20) == 'm' && (target[2] | 0x20) == 'l')
        return Stop();
    if (!SkipSpace() && !Starts("?>"))
        return Stop();
    for (;;) {
        if (p_ == end_)
            return Stop();
        if (Starts("?>")) {
            p_ += 2;
            return true;
        }
        if (!Char())
            return false;
    }
}

bool ReplyReader::CData()
{
    p_ += 9;  // "<![CDATA["
    for (;;) {
        if (p_ == end_)
            return Stop();
        if (Starts("]]>")) {
            p_ += 3;
            return true;
        }
        if (*p_ == '\r') {
            text_ += '\n';
            ++p_;
            if (p_ < end_ && *p_ == '\n')
                ++p_;
            continue;
        }
        const uchar* s = p_;
        if (!Char())
            return false;
        text_.append(reinterpret_cast<const char*>(s), size_t(p_ - s));
    }
}

// name S? '=' S? quoted value; values as expat allows them in the declaration.
bool ReplyReader::PseudoAttribute(std::string* name, std::string* value)
{
    name->clear();
    value->clear();
    while (p_ < end_ && ((*p_ | 0x20) >= 'a' && (*p_ | 0x20) <= 'z'))
        *name += char(*p_++);
    SkipSpace();
    if (name->empty() || p_ == end_ || *p_ != '=')
        return Stop();
    ++p_;
    SkipSpace();
    if (p_ == end_ || (*p_ != '"' && *p_ != '\''))
        return Stop();
    const uchar quote = *p_++;
    for (; p_ < end_ && *p_ != quote; ++p_) {
        const uchar c = *p_;
        if (!((c | 0x20) >= 'a' && (c | 0x20) <= 'z') && !(c >= '0' && c <= '9') && c != '.' && c != '-' && c != '_')
            return Stop();
        *value += char(c);
    }
    if (p_ == end_)
        return Stop();
    ++p_;
    return true;
}

// The XML declaration, at "<?xml" and a space.
bool ReplyReader::Declaration()
{
    p_ += 5;
    SkipSpace();
    std::string name, value;
    if (!PseudoAttribute(&name, &value) || name != "version")
        return Stop();
    bool spaced = SkipSpace();
    if (spaced && Starts("encoding")) {
        if (!PseudoAttribute(&name, &value) || name != "encoding" || value.empty() ||
            !((value[0] | 0x20) >= 'a' && (value[0] | 0x20) <= 'z'))
            return Stop();
        if (!EqualsIgnoringCase(value, "UTF-8")) {
            // The others expat knows are read by a full parser; any more it refuses.
            for (const char* known : {"US-ASCII", "ISO-8859-1", "UTF-16", "UTF-16BE", "UTF-16LE"}) {
                if (EqualsIgnoringCase(value, known))
                    return Stop(Scan::Unchecked);
            }
            return Stop();
        }
        spaced = SkipSpace();
    }
    if (spaced && Starts("standalone")) {
        if (!PseudoAttribute(&name, &value) || name != "standalone" || (value != "yes" && value != "no"))
            return Stop();
        SkipSpace();
    }
    if (!Starts("?>"))
        return Stop();
    p_ += 2;
    return true;
}

// A comment or processing instruction outside the root element; `done` at the end of input.
bool ReplyReader::Misc(bool* done)
{
    SkipSpace();
    *done = p_ == end_;
    if (*done)
        return true;
    if (Starts("<!--"))
        return Comment();
    if (Starts("<?"))
        return ProcessingInstruction();
    return Stop();
}

Scan ReplyReader::Read()
{
    if (Starts("\xEF\xBB\xBF")) {
        p_ += 3;
    } else if (end_ - p_ >= 2 && (p_[0] == 0 || p_[1] == 0 || (p_[0] == 0xFE && p_[1] == 0xFF) ||
                                  (p_[0] == 0xFF && p_[1] == 0xFE))) {
        return Scan::Unchecked;  // UTF-16, which expat detects by itself
    }
    if (Starts("<?xml") && end_ - p_ > 5 && IsSpace(p_[5]) && !Declaration())
        return stop_;
    for (;;) {
        SkipSpace();
        if (Starts("<!DOCTYPE"))
            return Scan::Unchecked;
        if (!Starts("<!--") && !Starts("<?"))
            break;
        bool done;
        if (!Misc(&done))
            return stop_;
    }
    if (p_ == end_ || *p_ != '<' || !Content())
        return stop_;
    for (bool done = false; !done;) {
        if (!Misc(&done))
            return stop_;
    }
    return bailed_ ? Scan::Library : Scan::Built;
}

// The root element and everything in it, from its start tag.
bool ReplyReader::Content()
{
    if (Starts("</") || Starts("<!"))
        return Stop();
    if (!StartTag())
        return false;
    while (!stack_.empty()) {
        if (!CharData())
            return false;
        bool read;
        if (Starts("</"))
            read = EndTag();
        else if (Starts("<!--"))
            read = Comment();
        else if (Starts("<![CDATA["))
            read = CData();
        else if (Starts("<?"))
            read = ProcessingInstruction();
        else if (Starts("<!"))
            read = Stop();
        else
            read = StartTag();
        if (!read)
            return false;
    }
    return true;
}

bool ReplyReader::StartTag()
{
    ++p_;  // '<'
    const uchar* name;
    size_t length;
    if (!Name(&name, &length))
        return false;
    attributes_.clear();
    for (;;) {
        const bool spaced = SkipSpace();
        if (p_ == end_)
            return Stop();
        if (*p_ == '>') {
            ++p_;
            return Enter(name, length);
        }
        if (*p_ == '/') {
            if (!Starts("/>"))
                return Stop();
            p_ += 2;
            return Enter(name, length) && Leave();
        }
        // Attributes mean nothing to XML-RPC, but they must be well-formed.
        const uchar* attribute;
        size_t attributeLength;
        if (!spaced || !Name(&attribute, &attributeLength))
            return spaced ? false : Stop();
        for (const auto& [seen, seenLength] : attributes_) {
            if (seenLength == attributeLength && std::memcmp(seen, attribute, seenLength) == 0)
                return Stop();
        }
        attributes_.emplace_back(attribute, attributeLength);
        SkipSpace();
        if (p_ == end_ || *p_ != '=')
            return Stop();
        ++p_;
        SkipSpace();
        if (!AttributeValue())
            return false;
    }
}

bool ReplyReader::EndTag()
{
    p_ += 2;  // "</"
    const uchar* name;
    size_t length;
    if (!Name(&name, &length))
        return false;
    SkipSpace();
    if (p_ == end_ || *p_ != '>')
        return Stop();
    ++p_;
    const Frame& open = stack_.back();
    if (open.nameLength != length || std::memcmp(open.name, name, length) != 0)
        return Stop();
    return Leave();
}

bool ReplyReader::Enter(const uchar* name, size_t length)
{
    if (stack_.size() >= kMaxDepth)
        return Stop();
    Frame frame{name, length, KindOf(name, length), false, false, 0, nullptr};
    // Anything but a methodResponse holds no value for us, however it goes on.
    if (stack_.empty() && frame.kind != kMethodResponse)
        return Stop();
    if (!bailed_)
        Map(frame);
    stack_.push_back(frame);
    text_.clear();
    return true;
}

bool ReplyReader::Leave()
{
    if (!bailed_)
        Finish(stack_.back());
    stack_.pop_back();
    text_.clear();
    return true;
}

ReplyReader::Kind ReplyReader::KindOf(const uchar* name, size_t length)
{
    static constexpr std::pair<std::string_view, Kind> kNames[] = {
        {"methodResponse", kMethodResponse}, {"params", kParams}, {"param", kParam}, {"fault", kFault},
        {"value", kValue}, {"array", kArray}, {"data", kData}, {"struct", kStruct}, {"member", kMember},
        {"name", kName}, {"string", kString}, {"int", kInt}, {"i4", kInt}, {"boolean", kBoolean},
        {"double", kDouble}, {"dateTime.iso8601", kDateTime}, {"base64", kBase64},
    };
    const std::string_view word(reinterpret_cast<const char*>(name), length);
    for (const auto& [known, kind] : kNames) {
        if (known == word)
            return kind;
    }
    return kOther;
}

// A new element: where the plain shape allows it, the value it stands for, as xmlrpc-epi's
// conversion would make it; anything else leaves the whole reply to that conversion.
void ReplyReader::Map(Frame& frame)
{
    if (stack_.empty()) {
        root_ = XMLRPC_CreateValueEmpty();
        return;
    }
    Frame& parent = stack_.back();
    ++parent.children;
    const Kind kind = frame.kind;
    switch (parent.kind) {
    case kMethodResponse:
        if (parent.children != 1 || (kind != kParams && kind != kFault))
            return Bail();
        if (kind == kFault) {
            fault_ = true;
            XMLRPC_SetIsVector(root_, xmlrpc_vector_struct);
        }
        return;
    case kParams:
        if (parent.children != 1 || kind != kParam)
            return Bail();
        return;
    case kParam:
    case kFault:
        if (parent.children != 1 || kind != kValue)
            return Bail();
        frame.value = root_;
        frame.faultValue = parent.kind == kFault;
        return;
    case kValue:
        if (parent.children != 1)
            return Bail();
        if (parent.faultValue) {
            if (kind != kStruct)
                return Bail();
        } else if (kind == kStruct) {
            XMLRPC_SetIsVector(parent.value, xmlrpc_vector_struct);
        } else if (kind != kArray && (kind < kString || kind > kBase64)) {
            return Bail();
        }
        frame.value = parent.value;
        return;
    case kArray:
        if (parent.children != 1 || kind != kData)
            return Bail();
        XMLRPC_SetIsVector(parent.value, xmlrpc_vector_array);
        frame.value = parent.value;
        return;
    case kData:
    case kStruct:
        if (kind != (parent.kind == kData ? kValue : kMember))
            return Bail();
        frame.value = XMLRPC_CreateValueEmpty();
        frame.owns = true;
        return;
    case kMember:
        if (kind != (parent.children == 1 ? kName : kValue) || parent.children > 2)
            return Bail();
        frame.value = parent.value;
        return;
    default:
        return Bail();  // an element inside a scalar, or one XML-RPC does not know
    }
}

// The end of an element: its text given to its value, a finished value put in its vector.
void ReplyReader::Finish(Frame& frame)
{
    const char* text = text_.c_str();
    const int length = int(text_.size());
    switch (frame.kind) {
    case kMethodResponse:
    case kParams:
    case kParam:
    case kFault:
    case kArray:
        if (frame.children != 1)
            return Bail();
        return;
    case kMember:
        if (frame.children != 2)
            return Bail();
        break;
    case kValue:
        if (frame.faultValue) {
            if (frame.children != 1)
                return Bail();
        } else if (frame.children == 0) {
            XMLRPC_SetValueString(frame.value, text, length);
        }
        break;
    case kName:
        XMLRPC_SetValueID_Case(frame.value, text, 0, xmlrpc_case_exact);
        return;
    case kString:
        XMLRPC_SetValueString(frame.value, text, length);
        return;
    case kInt:
        XMLRPC_SetValueInt(frame.value, std::atoi(text));
        return;
    case kBoolean:
        XMLRPC_SetValueBoolean(frame.value, std::atoi(text));
        return;
    case kDouble:
        XMLRPC_SetValueDouble(frame.value, std::atof(text));
        return;
    case kDateTime:
        XMLRPC_SetValueDateTime_ISO8601(frame.value, text);
        return;
    case kBase64: {
        buffer_st decoded;
        base64_decode(&decoded, text, length);
        XMLRPC_SetValueBase64(frame.value, decoded.data, decoded.offset);
        buffer_delete(&decoded);
        return;
    }
    default:
        return;
    }
    if (frame.owns) {
        frame.owns = false;
        if (!XMLRPC_AddValueToVector(stack_[stack_.size() - 2].value, frame.value))
            XMLRPC_CleanupValue(frame.value);
    }
}

void ReplyReader::Bail()
{
    bailed_ = true;
    Discard();
}

void ReplyReader::Discard()
{
    for (Frame& frame : stack_) {
        if (frame.owns)
            XMLRPC_CleanupValue(frame.value);
        frame.owns = false;
        frame.value = nullptr;
    }
    if (root_ != nullptr)
        XMLRPC_CleanupValue(root_);
    root_ = nullptr;
}

// For the XML the reader leaves alone: Qt's parser says whether it is well-formed, and not
// nested too deep, before xmlrpc-epi sees it.
bool WellFormedToQt(const char* data, int length)
{
    QXmlStreamReader xml(QByteArray::fromRawData(data, length));
    size_t depth = 0;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && ++depth > kMaxDepth)
            return false;
        if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return !xml.hasError();
}

// xmlrpc-epi's own parse and conversion, for well-formed replies only. Anything but a
// methodResponse (an HTML page, say) holds no value for us either.
XMLRPC_VALUE ParseWithLibrary(XMLRPC_REQUEST response, const char* data, int length, bool* isFault)
{
    STRUCT_XML_ELEM_ERROR parseError;
    std::memset(&parseError, 0, sizeof parseError);
    xml_element* root = xml_elem_parse_buf(data, length, nullptr, &parseError);
    const bool isResponse = root != nullptr && root->name != nullptr && std::strcmp(root->name, "methodResponse") == 0;
    *isFault = IsFaultResponse(root);
    if (isResponse)
        xml_element_to_XMLRPC_REQUEST(response, root);
    if (root != nullptr)
        xml_elem_free(root);
    return isResponse ? XMLRPC_RequestGetData(response) : nullptr;
}

}  // namespace

XmlRpcRequest::XmlRpcRequest(OvexInetHandle connection, const QString& path, const QString& methodName, bool secure)
    : connection_(connection), methodName_(methodName.toUtf8()), path_(path.toUtf8()), secure_(secure)
{
    request_ = XMLRPC_RequestNew();
    XMLRPC_RequestSetMethodName(request_, methodName_.constData());
    XMLRPC_RequestSetRequestType(request_, xmlrpc_request_call);
    STRUCT_XMLRPC_REQUEST_OUTPUT_OPTIONS options;
    std::memset(&options, 0, sizeof options);
    options.xml_elem_opts.verbosity = xml_elem_no_white_space;
    // Values come from registration files and the owner's input: "&" or "<" unescaped
    // would make the call malformed, or let a value add elements of its own.
    options.xml_elem_opts.escaping = xml_elem_markup_escaping;
    options.xml_elem_opts.encoding = nullptr;  // no encoding in the declaration: UTF-8
    options.version = xmlrpc_version_1_0;
    XMLRPC_RequestSetOutputOptions(request_, &options);
    parameters_ = XMLRPC_CreateVector(nullptr, xmlrpc_vector_array);
    XMLRPC_RequestSetData(request_, parameters_);
}

XmlRpcRequest::~XmlRpcRequest()
{
    XMLRPC_RequestFree(request_, 1);
    if (response_ != nullptr)
        XMLRPC_RequestFree(response_, 1);
}

XMLRPC_VALUE XmlRpcRequest::ResponseValue() const
{
    return response_ ? XMLRPC_RequestGetData(response_) : nullptr;
}

bool XmlRpcRequest::Fail(int code, const QString& text)
{
    succeeded_ = false;
    errorCode_ = code;
    errorText_ = text;
    return false;
}

bool XmlRpcRequest::Send()
{
    using platform::formatText;
    succeeded_ = false;
    errorCode_ = -1;

    int xmlLength = 0;
    std::unique_ptr<char, void (*)(void*)> xml(XMLRPC_REQUEST_ToXML(request_, &xmlLength), XMLRPC_Free);
    if (!xml || xmlLength <= 0)
        return Fail(-1, QStringLiteral("Unable to create XML"));

    // From here every way out puts the previous callback back and closes the request.
    OvexInetStatusCallback previous = nullptr;
    const bool installed = ovex_inet_set_status_callback(connection_, &StatusCallback, &previous) != 0;
    OvexInetHandle request = nullptr;
    OvexInetHandle opened = nullptr;
    auto release = [&] {
        if (installed)
            ovex_inet_set_status_callback(connection_, previous, nullptr);
        if (request != nullptr || opened != nullptr)
            ovex_inet_close_handle(request != nullptr ? request : opened);
        request = opened = nullptr;
    };
    struct Guard {
        decltype(release)& run;
        ~Guard() { run(); }
    } guard{release};

    if (!installed)
        return Fail(-2, formatText(QStringLiteral("Unable to open request (error %d)"), ovex_inet_last_error()));
    WaitRecord wait;
    wait.handleSlot = &request;
    const char* const acceptTypes[] = {"text/xml", nullptr};
    const uint32_t flags = OVEX_INET_FLAG_NO_CACHE_WRITE | OVEX_INET_FLAG_PRAGMA_NOCACHE |
                           (secure_ ? OVEX_INET_FLAG_SECURE : 0u);
    opened = ovex_inet_open_request(connection_, "POST", path_.constData(), acceptTypes, flags,
                                    reinterpret_cast<uintptr_t>(&wait));
    // A request that could not be opened announces no handle; waiting for one would
    // never end.
    if (opened == nullptr)
        return Fail(-2, formatText(QStringLiteral("Unable to open request (error %d)"), ovex_inet_last_error()));
    PumpMessagesWhileWaiting(wait.handleCreated);

    wait.handleSlot = nullptr;
    wait.handleCreated = wait.requestComplete = 0;
    bool sent = ovex_inet_send_request(request, "Content-Type: text/xml\r\n", xml.get(), size_t(xmlLength)) != 0;
    uint32_t error = sent ? 0 : ovex_inet_last_error();
    if (!sent && error == OVEX_INET_ERROR_IO_PENDING) {
        PumpMessagesWhileWaiting(wait.requestComplete);
        sent = wait.result != 0;
        error = wait.error;
    }
    xml.reset();
    if (!sent)
        return Fail(-2, formatText(QStringLiteral("Unable to send request (error %d)"), error));

    uint32_t status = 0;
    if (!ovex_inet_query_status_code(request, &status))
        return Fail(-2, formatText(QStringLiteral("Unable to send request (error %d)"), ovex_inet_last_error()));
    if (status != 200)
        return Fail(-2, formatText(QStringLiteral("Invalid return code %d from server"), status));

    uint64_t length = 0;
    if (!ovex_inet_query_content_length(request, &length))
        return Fail(-2, formatText(QStringLiteral("Invalid Content-Length from server (error %d)"),
                                   ovex_inet_last_error()));
    if (length == 0)
        return Fail(-3, QStringLiteral("Empty response from server"));
    // Checked before allocating: a stated length is only a claim.
    if (length > kMaxResponseBytes)
        return Fail(-2, formatText(QStringLiteral("Invalid Content-Length from server (error %d)"),
                                   OVEX_INET_ERROR_NOT_ENOUGH_MEMORY));

    QByteArray buffer(qsizetype(length), Qt::Uninitialized);
    uint64_t offset = 0;
    for (;;) {
        size_t got = 0;
        wait.requestComplete = 0;
        if (!ovex_inet_read(request, buffer.data() + offset, size_t(length - offset), &got)) {
            error = ovex_inet_last_error();
            if (error == OVEX_INET_ERROR_IO_PENDING) {
                PumpMessagesWhileWaiting(wait.requestComplete);
                if (wait.result != 0)
                    continue;
                error = wait.error;
            }
            return Fail(-2, formatText(QStringLiteral("Unable to read response from server (error %d)"), error));
        }
        if (got == 0)
            break;
        offset += got;
    }
    if (offset < length)
        return Fail(-2, formatText(QStringLiteral("Unable to read response from server (error %d)"),
                                   OVEX_INET_ERROR_CONNECTION_ABORTED));

    release();
    return ReadResponse(buffer.constData(), int(length));
}

bool XmlRpcRequest::ReadResponse(const char* data, int length)
{
    errorCode_ = 0;
    errorText_.clear();
    succeeded_ = true;
    if (response_ != nullptr) {
        XMLRPC_RequestFree(response_, 1);
        response_ = nullptr;
    }
    valueType_ = xmlrpc_type_none;
    stringResult_.clear();
    boolResult_ = false;
    intResult_ = 0;
    base64Result_ = QByteArray();

    response_ = XMLRPC_RequestNew();
    XMLRPC_VALUE value = nullptr;
    bool isFault = false;
    ReplyReader reader(data, length);
    switch (reader.Read()) {
    case Scan::Built:
        XMLRPC_RequestSetRequestType(response_, xmlrpc_request_response);
        value = XMLRPC_RequestSetData(response_, reader.TakeValue());
        isFault = reader.IsFault();
        break;
    case Scan::Unchecked:
        if (!WellFormedToQt(data, length))
            break;
        [[fallthrough]];
    case Scan::Library:
        value = ParseWithLibrary(response_, data, length, &isFault);
        break;
    case Scan::Unusable:
        break;
    }
    valueType_ = value ? XMLRPC_GetValueTypeEasy(value) : xmlrpc_type_none;

    if (isFault) {
        succeeded_ = false;
        errorCode_ = -3;
        errorText_ = QStringLiteral("Invalid server response");
        if (valueType_ == xmlrpc_type_struct) {
            for (XMLRPC_VALUE member = XMLRPC_VectorRewind(value); member; member = XMLRPC_VectorNext(value)) {
                const char* name = XMLRPC_GetValueID(member);
                if (name != nullptr && std::strcmp(name, "faultCode") == 0)
                    errorCode_ = XMLRPC_GetValueInt(member);
                else if (name != nullptr && std::strcmp(name, "faultString") == 0)
                    errorText_ = TextOf(member);
            }
        }
        return false;
    }

    switch (valueType_) {
    case xmlrpc_type_none:
        return Fail(-3, QStringLiteral("Invalid server response"));
    case xmlrpc_type_base64: {
        const char* bytes = XMLRPC_GetValueBase64(value);
        base64Result_ = QByteArray(bytes ? bytes : "", bytes ? XMLRPC_GetValueStringLen(value) : 0);
        break;
    }
    case xmlrpc_type_boolean:
        boolResult_ = XMLRPC_GetValueBoolean(value) != 0;
        break;
    case xmlrpc_type_int:
        intResult_ = XMLRPC_GetValueInt(value);
        break;
    case xmlrpc_type_string:
        stringResult_ = TextOf(value);
        break;
    default:
        // Arrays, structs and the rest: the caller reads ResponseValue() itself.
        break;
    }
    return succeeded_;
}

}  // namespace client
