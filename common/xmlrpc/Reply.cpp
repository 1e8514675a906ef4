// xmlrpc-epi's base64 header declares no C linkage of its own.
extern "C" {
#include <base64.h>
}

#include "common/xmlrpc/Reply.h"

#include <expat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace xmlrpc {
namespace {

enum class Kind : unsigned char {
    MethodResponse,
    Params,
    Param,
    Fault,
    Value,
    Struct,
    Member,
    Name,
    Array,
    Data,
    // the scalars, kept together and last but one
    String,
    Int,
    Boolean,
    Double,
    DateTime,
    Base64,
    Unknown,
};

bool IsScalar(Kind kind)
{
    return kind >= Kind::String && kind <= Kind::Base64;
}

Kind KindOf(std::string_view name)
{
    switch (name.size()) {
    case 2: return name == "i4" ? Kind::Int : Kind::Unknown;
    case 3: return name == "int" ? Kind::Int : Kind::Unknown;
    case 4: return name == "name" ? Kind::Name : name == "data" ? Kind::Data : Kind::Unknown;
    case 5:
        return name == "value"   ? Kind::Value
               : name == "param" ? Kind::Param
               : name == "array" ? Kind::Array
               : name == "fault" ? Kind::Fault
                                 : Kind::Unknown;
    case 6:
        return name == "string"   ? Kind::String
               : name == "member" ? Kind::Member
               : name == "struct" ? Kind::Struct
               : name == "params" ? Kind::Params
               : name == "double" ? Kind::Double
               : name == "base64" ? Kind::Base64
                                  : Kind::Unknown;
    case 7: return name == "boolean" ? Kind::Boolean : Kind::Unknown;
    case 14: return name == "methodResponse" ? Kind::MethodResponse : Kind::Unknown;
    case 16: return name == "dateTime.iso8601" ? Kind::DateTime : Kind::Unknown;
    default: return Kind::Unknown;
    }
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsSpace(std::string_view s)
{
    for (char c : s) {
        if (!IsSpace(c))
            return false;
    }
    return true;
}

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && IsSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A whole decimal number in the 32-bit range, white space around it allowed. atoi, which
// xmlrpc-epi uses, reads "12abc" as 12 and wraps 2^31.
bool ParseInt(std::string_view s, int* out)
{
    s = Trimmed(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty())
        return false;
    long long n = 0;
    for (char c : s) {
        if (!IsDigit(c))
            return false;
        n = n * 10 + (c - '0');
        if (n > 1LL + INT_MAX)
            return false;
    }
    if (negative)
        n = -n;
    if (n > INT_MAX || n < INT_MIN)
        return false;
    *out = int(n);
    return true;
}

// A number as a server writes one. from_chars, not atof: the programs run in the user's
// locale, where atof may take "3.25" for 3.
bool ParseDouble(std::string_view s, double* out)
{
    s = Trimmed(s);
    if (!s.empty() && s.front() == '+' && s.size() > 1 && s[1] != '-')
        s.remove_prefix(1);
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), *out);
    return !s.empty() && error == std::errc() && end == s.data() + s.size();
}

// "19980717T14:08:55", dashes allowed in the date, anything after the seconds. xmlrpc-epi's
// own reading of a shorter text looks at bytes it never wrote.
bool IsDateTime(std::string_view s)
{
    size_t i = 0;
    auto digits = [&](int n) {
        for (; n > 0; --n, ++i) {
            if (i >= s.size() || !IsDigit(s[i]))
                return false;
        }
        return true;
    };
    auto skip = [&](char c) {
        if (i < s.size() && s[i] == c)
            ++i;
    };
    auto is = [&](char c) { return i < s.size() && s[i++] == c; };
    if (!digits(4))
        return false;
    skip('-');
    if (!digits(2))
        return false;
    skip('-');
    return digits(2) && is('T') && digits(2) && is(':') && digits(2) && is(':') && digits(2);
}

// Base64's letters, its padding and white space. xmlrpc-epi's decoder means to skip any
// other byte, but looks a byte over 127 up at a negative index and decodes garbage.
bool IsBase64(std::string_view s)
{
    for (char c : s) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '+' || c == '/';
        if (!letter && c != '=' && !IsSpace(c))
            return false;
    }
    return true;
}

const char* NameOf(Kind kind)
{
    static const char* const kNames[] = {
        "methodResponse", "params", "param", "fault",   "value",  "struct",           "member", "name", "array",
        "data",           "string", "int",   "boolean", "double", "dateTime.iso8601", "base64", "?"};
    return kNames[int(kind)];
}

// What the reply said, cut short for an error text: a peer may send a name of megabytes.
QString Quoted(std::string_view s)
{
    constexpr size_t kShown = 40;
    return QString::fromUtf8(s.data(), qsizetype(std::min(s.size(), kShown))) + (s.size() > kShown ? "..." : "");
}

// One pass of expat over the reply. Each open element is a frame; the values are made as
// xmlrpc-epi's own conversion makes them, with its setters, so a caller sees no
// difference but the shapes and texts refused here.
class ReplyReader {
public:
    ReplyReader() = default;
    ~ReplyReader()
    {
        if (parser_ != nullptr)
            XML_ParserFree(parser_);
    }
    ReplyReader(const ReplyReader&) = delete;
    ReplyReader& operator=(const ReplyReader&) = delete;

    void Read(const char* data, size_t length, Reply* reply);

private:
    struct Frame {
        Kind kind;
        int children = 0;               // child elements so far
        XMLRPC_VALUE target = nullptr;  // the value this element fills
        Value made;                     // a value begun here, not yet given to its vector
    };

    static void XMLCALL OnStart(void* self, const XML_Char* name, const XML_Char**)
    {
        static_cast<ReplyReader*>(self)->Start(name);
    }
    static void XMLCALL OnEnd(void* self, const XML_Char*) { static_cast<ReplyReader*>(self)->End(); }
    static void XMLCALL OnText(void* self, const XML_Char* text, int length)
    {
        static_cast<ReplyReader*>(self)->Text(std::string_view(text, size_t(length)));
    }
    // Stopped at its start, a document type declares nothing: no entity can be defined,
    // let alone expanded a billion times.
    static void XMLCALL OnDoctype(void* self, const XML_Char*, const XML_Char*, const XML_Char*, int)
    {
        static_cast<ReplyReader*>(self)->Refuse(QStringLiteral("a document type declaration"));
    }

    void Start(std::string_view name);
    void End();
    void Text(std::string_view text);
    bool Place(Frame& parent, Frame& frame);
    bool Make(Frame& frame);
    void SetScalar(const Frame& frame);
    void Refuse(const QString& why);

    XML_Parser parser_ = nullptr;
    bool stopped_ = false;
    QString error_;
    std::vector<Frame> stack_;
    size_t made_ = 0;   // values begun so far
    std::string text_;  // the innermost element's text since it began, where text may be
    Value value_;       // the params' or the fault's value, once complete
    bool fault_ = false;
};

void ReplyReader::Read(const char* data, size_t length, Reply* reply)
{
    parser_ = XML_ParserCreate(nullptr);
    if (parser_ == nullptr) {
        reply->error = QStringLiteral("No memory for an XML parser");
        return;
    }
    XML_SetUserData(parser_, this);
    XML_SetElementHandler(parser_, &OnStart, &OnEnd);
    XML_SetCharacterDataHandler(parser_, &OnText);
    XML_SetStartDoctypeDeclHandler(parser_, &OnDoctype);
    stack_.reserve(16);
    text_.reserve(256);

    const bool parsed = XML_Parse(parser_, data, int(length), XML_TRUE) == XML_STATUS_OK;
    if (!parsed && !stopped_) {
        error_ = QStringLiteral("Line %1, column %2: %3")
                     .arg(XML_GetCurrentLineNumber(parser_))
                     .arg(XML_GetCurrentColumnNumber(parser_) + 1)
                     .arg(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser_))));
    }
    if (parsed && !stopped_ && !value_)
        error_ = QStringLiteral("The reply holds no value");  // not reached: the shape checks see to it
    if (!error_.isEmpty()) {
        reply->error = error_;
        return;
    }
    reply->usable = true;
    reply->fault = fault_;
    reply->value = std::move(value_);
}

void ReplyReader::Refuse(const QString& why)
{
    if (stopped_)
        return;
    stopped_ = true;
    error_ = QStringLiteral("Line %1, column %2: %3")
                 .arg(XML_GetCurrentLineNumber(parser_))
                 .arg(XML_GetCurrentColumnNumber(parser_) + 1)
                 .arg(why);
    XML_StopParser(parser_, XML_FALSE);
}

void ReplyReader::Start(std::string_view name)
{
    if (stopped_)
        return;  // expat may still report an element it had read
    if (stack_.size() >= size_t(Reply::kMaxDepth))
        return Refuse(QStringLiteral("elements nested more than %1 deep").arg(Reply::kMaxDepth));
    Frame frame{KindOf(name), 0, nullptr, Value()};
    if (stack_.empty() && frame.kind != Kind::MethodResponse)
        return Refuse(QStringLiteral("<%1> where <methodResponse> should be").arg(Quoted(name)));
    if (frame.kind == Kind::Unknown)
        return Refuse(QStringLiteral("<%1>, which XML-RPC does not know").arg(Quoted(name)));
    if (!stack_.empty() && !Place(stack_.back(), frame))
        return;
    text_.clear();
    stack_.push_back(std::move(frame));
}

// A new value for `frame` to fill, unless the reply has made too many already.
bool ReplyReader::Make(Frame& frame)
{
    if (++made_ > Reply::kMaxValues) {
        Refuse(QStringLiteral("more than %1 values").arg(Reply::kMaxValues));
        return false;
    }
    frame.made.reset(XMLRPC_CreateValueEmpty());
    frame.target = frame.made.get();
    return true;
}

// Whether `frame` may stand where it is in `parent`; if so, the value it fills.
bool ReplyReader::Place(Frame& parent, Frame& frame)
{
    const Kind kind = frame.kind;
    const int nth = ++parent.children;
    bool fits = false;
    switch (parent.kind) {
    case Kind::MethodResponse:
        fits = nth == 1 && (kind == Kind::Params || kind == Kind::Fault);
        fault_ = fits && kind == Kind::Fault;
        break;
    case Kind::Params: fits = nth == 1 && kind == Kind::Param; break;
    case Kind::Param:
    case Kind::Fault:
    case Kind::Data:
        fits = (nth == 1 || parent.kind == Kind::Data) && kind == Kind::Value;
        if (fits && !Make(frame))
            return false;
        break;
    case Kind::Value:
        fits = nth == 1 && (IsScalar(kind) || kind == Kind::Struct || kind == Kind::Array);
        if (fits && !IsSpace(text_)) {
            Refuse(QStringLiteral("<value> holding both text and <%1>").arg(NameOf(kind)));
            return false;
        }
        frame.target = parent.target;
        if (kind == Kind::Struct)
            XMLRPC_SetIsVector(frame.target, xmlrpc_vector_struct);
        else if (kind == Kind::Array)
            XMLRPC_SetIsVector(frame.target, xmlrpc_vector_array);
        break;
    case Kind::Array:
        fits = nth == 1 && kind == Kind::Data;
        frame.target = parent.target;
        break;
    case Kind::Struct:
        fits = kind == Kind::Member;
        if (fits && !Make(frame))
            return false;
        break;
    case Kind::Member:
        if (nth == 1 && kind == Kind::Value) {
            Refuse(QStringLiteral("<member> without a <name>"));
            return false;
        }
        fits = (nth == 1 && kind == Kind::Name) || (nth == 2 && kind == Kind::Value);
        frame.target = parent.target;
        break;
    default:  // <name> and the scalars hold text only
        break;
    }
    if (!fits)
        Refuse(QStringLiteral("<%1> in the wrong place in <%2>").arg(NameOf(kind), NameOf(parent.kind)));
    return fits;
}

void ReplyReader::Text(std::string_view text)
{
    if (stopped_ || stack_.empty())
        return;
    const Frame& top = stack_.back();
    if (top.kind == Kind::Name || IsScalar(top.kind) || (top.kind == Kind::Value && top.children == 0))
        text_.append(text);
    else if (!IsSpace(text))
        Refuse(QStringLiteral("text \"%1\" in <%2>").arg(Quoted(Trimmed(text)), NameOf(top.kind)));
}

void ReplyReader::SetScalar(const Frame& frame)
{
    XMLRPC_VALUE target = frame.target;
    // text_ is never empty of its terminator, and a length of 0 tells the setters to count.
    const char* text = text_.c_str();
    const int length = int(text_.size());
    switch (frame.kind) {
    case Kind::String: XMLRPC_SetValueString(target, text, length); return;
    case Kind::Int: {
        int n = 0;
        if (!ParseInt(text_, &n))
            return Refuse(QStringLiteral("<%1> \"%2\" is not a whole number in the 32-bit range")
                              .arg(NameOf(frame.kind), Quoted(text_)));
        XMLRPC_SetValueInt(target, n);
        return;
    }
    case Kind::Boolean: {
        const std::string_view word = Trimmed(text_);
        if (word != "0" && word != "1")
            return Refuse(QStringLiteral("<boolean> \"%1\" is neither 0 nor 1").arg(Quoted(text_)));
        XMLRPC_SetValueBoolean(target, word == "1");
        return;
    }
    case Kind::Double: {
        double d = 0;
        if (!ParseDouble(text_, &d))
            return Refuse(QStringLiteral("<double> \"%1\" is not a number").arg(Quoted(text_)));
        XMLRPC_SetValueDouble(target, d);
        return;
    }
    case Kind::DateTime:
        if (!IsDateTime(text_))
            return Refuse(QStringLiteral("<dateTime.iso8601> \"%1\" is not a date and time").arg(Quoted(text_)));
        XMLRPC_SetValueDateTime_ISO8601(target, text);
        return;
    case Kind::Base64: {
        if (!IsBase64(text_))
            return Refuse(QStringLiteral("<base64> \"%1\" holds what is not base64").arg(Quoted(text_)));
        buffer_st decoded;
        base64_decode(&decoded, text, length);
        // Given no length, the setter would count up to a terminator the decoder may not write.
        if (decoded.offset > 0)
            XMLRPC_SetValueBase64(target, decoded.data, decoded.offset);
        else
            XMLRPC_SetValueBase64(target, "", 0);
        buffer_delete(&decoded);
        return;
    }
    default: return;
    }
}

void ReplyReader::End()
{
    if (stopped_ || stack_.empty())
        return;
    Frame& frame = stack_.back();
    Frame* parent = stack_.size() > 1 ? &stack_[stack_.size() - 2] : nullptr;
    auto append = [](XMLRPC_VALUE vector, Value item) {
        XMLRPC_VALUE v = item.release();
        if (!XMLRPC_AddValueToVector(vector, v))
            XMLRPC_CleanupValue(v);
    };
    switch (frame.kind) {
    case Kind::Name:
        // An empty name leaves the value without one, as xmlrpc-epi's conversion does.
        if (!text_.empty())
            XMLRPC_SetValueID_Case(frame.target, text_.c_str(), int(text_.size()), xmlrpc_case_exact);
        break;
    case Kind::Value:
        if (frame.children == 0)
            XMLRPC_SetValueString(frame.target, text_.c_str(), int(text_.size()));
        if (parent->kind == Kind::Data)
            append(parent->target, std::move(frame.made));
        else if (parent->kind != Kind::Member)
            value_ = std::move(frame.made);
        break;
    case Kind::Member:
        if (frame.children < 2)
            return Refuse(QStringLiteral("<member> without a %1").arg(frame.children == 0 ? "<name>" : "<value>"));
        append(parent->target, std::move(frame.made));
        break;
    case Kind::MethodResponse:
        if (frame.children == 0)
            return Refuse(QStringLiteral("<methodResponse> holding neither <params> nor <fault>"));
        break;
    case Kind::Params:
    case Kind::Param:
    case Kind::Fault:
    case Kind::Array:
        if (frame.children == 0) {
            const Kind wanted = frame.kind == Kind::Params  ? Kind::Param
                                : frame.kind == Kind::Array ? Kind::Data
                                                            : Kind::Value;
            return Refuse(QStringLiteral("<%1> without a <%2>").arg(NameOf(frame.kind), NameOf(wanted)));
        }
        if (frame.kind == Kind::Fault && XMLRPC_GetValueTypeEasy(value_.get()) != xmlrpc_type_struct)
            return Refuse(QStringLiteral("<fault> whose value is not a <struct>"));
        break;
    case Kind::Struct:
    case Kind::Data:
    case Kind::Unknown: break;
    default:
        SetScalar(frame);
        if (stopped_)
            return;
        break;
    }
    text_.clear();
    stack_.pop_back();
}

}  // namespace

Reply Reply::Read(const char* data, std::size_t length)
{
    Reply reply;
    if (length > kMaxBytes) {
        reply.error = QStringLiteral("The reply has %1 bytes, more than the %2 allowed").arg(length).arg(kMaxBytes);
        return reply;
    }
    ReplyReader reader;
    reader.Read(data, length, &reply);
    return reply;
}

}  // namespace xmlrpc
