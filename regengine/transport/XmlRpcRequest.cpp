#include "regengine/transport/XmlRpcRequest.h"

#include "regengine/core/EngineTrace.h"
#include "regengine/transport/InetLoader.h"
#include "regengine/transport/InetWait.h"

#include "platform/text/Format.h"

#include <cstring>

namespace engine {

namespace {

QString TextOf(XMLRPC_VALUE value)
{
    const char* s = XMLRPC_GetValueString(value);
    return s ? QString::fromUtf8(s, XMLRPC_GetValueStringLen(value)) : QString();
}

// Names compare exactly: xmlrpc-epi's own look-up may ignore case.
bool IsFaultMember(const char* name)
{
    return name != nullptr && (std::strcmp(name, "faultCode") == 0 || std::strcmp(name, "faultString") == 0);
}

}  // namespace

XmlRpcRequest::XmlRpcRequest(OvexInetHandle connection, const QString& path, const QString& methodName, bool secure,
                             InetLoader* loader)
    : loader_(loader != nullptr ? *loader : InetLoader::Instance()), connection_(connection), path_(path),
      method_(methodName.toUtf8()), secure_(secure), call_(method_)
{
    loader_.Load();
}

XmlRpcRequest::~XmlRpcRequest() = default;

void XmlRpcRequest::AddInt(int value)
{
    XMLRPC_AddValueToVector(call_.Parameters(), XMLRPC_CreateValueInt(nullptr, value));
}

void XmlRpcRequest::AddString(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    XMLRPC_AddValueToVector(call_.Parameters(),
                            XMLRPC_CreateValueString(nullptr, bytes.constData(), int(bytes.size())));
}

void XmlRpcRequest::AddBase64(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    XMLRPC_AddValueToVector(call_.Parameters(),
                            XMLRPC_CreateValueBase64(nullptr, bytes.constData(), int(bytes.size())));
}

bool XmlRpcRequest::Fail(int code, const QString& text)
{
    success_ = false;
    errorCode_ = code;
    errorText_ = text;
    return false;
}

void XmlRpcRequest::ClearResult()
{
    resultType_ = xmlrpc_type_none;
    stringResult_.clear();
    boolResult_ = false;
    intResult_ = 0;
    base64Result_ = QByteArray();
}

bool XmlRpcRequest::Execute(bool wait)
{
    using platform::formatText;
    success_ = false;
    errorCode_ = -1;
    errorText_ = QStringLiteral("XML-RPC support not compiled in");
    ClearResult();
    if (!loader_.IsLoaded())
        return Fail(-2, QStringLiteral("Unable to send request"));
    const InetLoader::Api& inet = loader_.Functions();

    QByteArray xml = call_.ToXml();
    if (xml.isEmpty())
        return Fail(-1, QStringLiteral("Unable to create XML"));

    // From here every way out puts the previous callback back and closes the request.
    OvexInetStatusCallback previous = nullptr;
    const bool installed = inet.setStatusCallback(connection_, &WinInetStatusCallback, &previous) != 0;
    OvexInetHandle request = nullptr;
    OvexInetHandle opened = nullptr;
    auto release = [&] {
        if (installed)
            inet.setStatusCallback(connection_, previous, nullptr);
        if (request != nullptr || opened != nullptr)
            inet.closeHandle(request != nullptr ? request : opened);
        request = opened = nullptr;
    };
    struct Guard {
        decltype(release)& run;
        ~Guard() { run(); }
    } guard{release};
    if (!installed)
        return Fail(-2, QStringLiteral("Unable to send request"));

    EngineTrace(formatText(QStringLiteral("Creating POST handle for %s"), path_));
    WinInetContext context;
    context.handleSlot = &request;
    const char* const acceptTypes[] = {"text/xml", nullptr};
    const uint32_t flags =
        OVEX_INET_FLAG_NO_CACHE_WRITE | OVEX_INET_FLAG_PRAGMA_NOCACHE | (secure_ ? OVEX_INET_FLAG_SECURE : 0u);
    const QByteArray path = path_.toUtf8();
    opened = inet.openRequest(connection_, "POST", path.constData(), acceptTypes, flags,
                              reinterpret_cast<uintptr_t>(&context));
    // A request that could not be opened announces no handle: waiting for one would never
    // end.
    if (opened == nullptr) {
        EngineTrace(formatText(QStringLiteral("Unable to open request (error %d)"), inet.lastError()));
        return Fail(-2, QStringLiteral("Unable to send request"));
    }
    if (!WaitForFlag(context.handleCreated, 0, true))
        return Fail(-2, QStringLiteral("Cancelled by user."));

    EngineTrace(QStringLiteral("Sending request"));
    context.handleSlot = nullptr;
    context.requestComplete = 0;
    bool sent = inet.sendRequest(request, "Content-Type: text/xml\r\n", xml.constData(), size_t(xml.size())) != 0;
    uint32_t error = sent ? 0 : inet.lastError();
    if (!sent && error == OVEX_INET_ERROR_IO_PENDING && wait) {
        if (!WaitForFlag(context.requestComplete, 0, true)) {
            EngineTrace(QStringLiteral("Cancelled by user"));
            return Fail(-2, QStringLiteral("Cancelled by user."));
        }
        sent = context.result != 0;
        error = context.error;
    }
    xml.clear();
    if (!sent) {
        EngineTrace(formatText(QStringLiteral("Unable to send request (error %d)"), error));
        return Fail(-2, QStringLiteral("Unable to send request"));
    }

    uint32_t status = 0;
    if (!inet.queryStatusCode(request, &status)) {
        EngineTrace(QStringLiteral("Unable to query HTTP response"));
        return Fail(-2, QStringLiteral("Unable to send request"));
    }
    EngineTrace(formatText(QStringLiteral("Got HTTP response code %d"), status));
    if (status != 200)
        return Fail(-2, formatText(QStringLiteral("Invalid return code %d from server"), status));

    uint64_t length = 0;
    if (!inet.queryContentLength(request, &length)) {
        EngineTrace(QStringLiteral("Unable to query HTTP response"));
        return Fail(-2, QStringLiteral("Invalid Content-Length from server"));
    }
    EngineTrace(formatText(QStringLiteral("Got %d bytes of data from server"), (unsigned long long)length));
    if (length == 0)
        return Fail(-3, QStringLiteral("Empty response from server"));
    // Checked before allocating: a stated length is only a claim.
    if (length > kMaxResponseBytes)
        return Fail(-2, QStringLiteral("Invalid Content-Length from server"));

    EngineTrace(QStringLiteral("Reading response from server"));
    QByteArray buffer(qsizetype(length), Qt::Uninitialized);
    uint64_t offset = 0;
    while (offset < length) {
        size_t got = 0;
        context.requestComplete = 0;
        if (!inet.read(request, buffer.data() + offset, size_t(length - offset), &got)) {
            if (inet.lastError() == OVEX_INET_ERROR_IO_PENDING) {
                if (!WaitForFlag(context.requestComplete, 0, true))
                    return Fail(-2, QStringLiteral("Cancelled by user."));
                if (context.result != 0)
                    continue;
            }
            EngineTrace(QStringLiteral("Error while reading server response"));
            return Fail(-2, QStringLiteral("Unable to read response from server"));
        }
        if (got == 0)
            break;
        offset += got;
    }
    if (offset < length) {
        EngineTrace(QStringLiteral("Error while reading server response"));
        return Fail(-2, QStringLiteral("Unable to read response from server"));
    }

    release();
    EngineTrace(QStringLiteral("Parsing response"));
    return ReadResponse(buffer.constData(), qsizetype(length));
}

bool XmlRpcRequest::ReadResponse(const char* data, qsizetype length)
{
    errorCode_ = 0;
    errorText_.clear();
    success_ = true;
    ClearResult();

    xmlrpc::Reply reply = xmlrpc::Reply::Read(data, length > 0 ? size_t(length) : 0);
    response_ = std::move(reply.value);
    // No value, an empty methodResponse or a page of some other kind (a captive portal
    // answers 200 with HTML) is no answer of the server's: never a success.
    if (!reply.usable) {
        EngineTrace(platform::formatText(QStringLiteral("Unusable server response: %s"), reply.error));
        return Fail(-3, QStringLiteral("Invalid server response"));
    }
    XMLRPC_VALUE value = response_.get();
    resultType_ = XMLRPC_GetValueTypeEasy(value);
    switch (resultType_) {
    case xmlrpc_type_string: stringResult_ = TextOf(value); break;
    case xmlrpc_type_int: intResult_ = XMLRPC_GetValueInt(value); break;
    case xmlrpc_type_boolean: boolResult_ = XMLRPC_GetValueBoolean(value) != 0; break;
    case xmlrpc_type_base64: {
        const char* bytes = XMLRPC_GetValueBase64(value);
        base64Result_ = QByteArray(bytes ? bytes : "", bytes ? XMLRPC_GetValueStringLen(value) : 0);
        break;
    }
    case xmlrpc_type_struct: {
        // A fault, or a plain result that names itself one. What it leaves out keeps the
        // code and text of an unusable reply, so a failure never reads as code 0.
        bool fault = reply.fault;
        for (XMLRPC_VALUE member = XMLRPC_VectorRewind(value); member; member = XMLRPC_VectorNext(value))
            fault = fault || IsFaultMember(XMLRPC_GetValueID(member));
        if (!fault)
            break;
        Fail(-3, QStringLiteral("Invalid server response"));
        for (XMLRPC_VALUE member = XMLRPC_VectorRewind(value); member; member = XMLRPC_VectorNext(value)) {
            const char* name = XMLRPC_GetValueID(member);
            if (name == nullptr)
                continue;
            if (std::strcmp(name, "faultCode") == 0 && XMLRPC_GetValueTypeEasy(member) == xmlrpc_type_int)
                errorCode_ = XMLRPC_GetValueInt(member);
            else if (std::strcmp(name, "faultString") == 0 && XMLRPC_GetValueTypeEasy(member) == xmlrpc_type_string)
                errorText_ = TextOf(member);
        }
        break;
    }
    default: break;
    }
    return success_;
}

bool XmlRpcRequest::GetStringResult(QString& out) const
{
    if (resultType_ != xmlrpc_type_string)
        return false;
    out = stringResult_;
    return true;
}

bool XmlRpcRequest::GetIntResult(int& out) const
{
    if (resultType_ != xmlrpc_type_int)
        return false;
    out = intResult_;
    return true;
}

bool XmlRpcRequest::GetBase64Result(QByteArray& out) const
{
    if (resultType_ != xmlrpc_type_base64)
        return false;
    out = base64Result_;
    return true;
}

}  // namespace engine
