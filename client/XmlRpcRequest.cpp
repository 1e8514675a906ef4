#include "client/XmlRpcRequest.h"

#include "client/Trace.h"
#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <cstring>

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
// transfer that stalls, and that completes the wait. A quit (a logout) ends the wait too,
// as a slow service must not hold the program past it; false then.
bool PumpMessagesWhileWaiting(const unsigned char& flag)
{
    return platform::pumpUntil([&flag] { return flag != 0; }, -1, [] { return platform::terminationRequested(); });
}

const QString kEnding = QStringLiteral("the program is ending");

QString TextOf(XMLRPC_VALUE value)
{
    const char* s = XMLRPC_GetValueString(value);
    return s ? QString::fromUtf8(s, XMLRPC_GetValueStringLen(value)) : QString();
}

// Names compare exactly: xmlrpc-epi's own look-up may ignore case.
bool HasFaultMember(XMLRPC_VALUE structValue)
{
    for (XMLRPC_VALUE member = XMLRPC_VectorRewind(structValue); member; member = XMLRPC_VectorNext(structValue)) {
        const char* name = XMLRPC_GetValueID(member);
        if (name != nullptr && (std::strcmp(name, "faultCode") == 0 || std::strcmp(name, "faultString") == 0))
            return true;
    }
    return false;
}

}  // namespace

XmlRpcRequest::XmlRpcRequest(OvexInetHandle connection, const QString& path, const QString& methodName, bool secure)
    : connection_(connection), call_(methodName.toUtf8()), path_(path.toUtf8()), secure_(secure)
{}

XmlRpcRequest::~XmlRpcRequest() = default;

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

    QByteArray xml = call_.ToXml();
    if (xml.isEmpty())
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
    const uint32_t flags =
        OVEX_INET_FLAG_NO_CACHE_WRITE | OVEX_INET_FLAG_PRAGMA_NOCACHE | (secure_ ? OVEX_INET_FLAG_SECURE : 0u);
    opened = ovex_inet_open_request(connection_, "POST", path_.constData(), acceptTypes, flags,
                                    reinterpret_cast<uintptr_t>(&wait));
    // A request that could not be opened announces no handle; waiting for one would
    // never end.
    if (opened == nullptr)
        return Fail(-2, formatText(QStringLiteral("Unable to open request (error %d)"), ovex_inet_last_error()));
    if (!PumpMessagesWhileWaiting(wait.handleCreated))
        return Fail(-2, formatText(QStringLiteral("Unable to open request (%s)"), kEnding));

    wait.handleSlot = nullptr;
    wait.handleCreated = wait.requestComplete = 0;
    bool sent = ovex_inet_send_request(request, "Content-Type: text/xml\r\n", xml.constData(), size_t(xml.size())) != 0;
    uint32_t error = sent ? 0 : ovex_inet_last_error();
    if (!sent && error == OVEX_INET_ERROR_IO_PENDING) {
        if (!PumpMessagesWhileWaiting(wait.requestComplete))
            return Fail(-2, formatText(QStringLiteral("Unable to send request (%s)"), kEnding));
        sent = wait.result != 0;
        error = wait.error;
    }
    xml.clear();
    if (!sent)
        return Fail(-2, formatText(QStringLiteral("Unable to send request (error %d)"), error));

    uint32_t status = 0;
    if (!ovex_inet_query_status_code(request, &status))
        return Fail(-2, formatText(QStringLiteral("Unable to send request (error %d)"), ovex_inet_last_error()));
    if (status != 200)
        return Fail(-2, formatText(QStringLiteral("Invalid return code %d from server"), status));

    uint64_t length = 0;
    if (!ovex_inet_query_content_length(request, &length))
        return Fail(
            -2, formatText(QStringLiteral("Invalid Content-Length from server (error %d)"), ovex_inet_last_error()));
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
                if (!PumpMessagesWhileWaiting(wait.requestComplete))
                    return Fail(-2, formatText(QStringLiteral("Unable to read response from server (%s)"), kEnding));
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

// A fault's members, in order; the last of each name counts. What a fault leaves out keeps
// the code and text of an unusable reply, so a failure never reads as code 0 or without
// a reason.
bool XmlRpcRequest::ReadFault(XMLRPC_VALUE fault)
{
    succeeded_ = false;
    errorCode_ = -3;
    errorText_ = QStringLiteral("Invalid server response");
    for (XMLRPC_VALUE member = XMLRPC_VectorRewind(fault); member; member = XMLRPC_VectorNext(fault)) {
        const char* name = XMLRPC_GetValueID(member);
        if (name == nullptr)
            continue;
        if (std::strcmp(name, "faultCode") == 0 && XMLRPC_GetValueTypeEasy(member) == xmlrpc_type_int)
            errorCode_ = XMLRPC_GetValueInt(member);
        else if (std::strcmp(name, "faultString") == 0 && XMLRPC_GetValueTypeEasy(member) == xmlrpc_type_string)
            errorText_ = TextOf(member);
    }
    return false;
}

bool XmlRpcRequest::ReadResponse(const char* data, int length)
{
    errorCode_ = 0;
    errorText_.clear();
    succeeded_ = true;
    valueType_ = xmlrpc_type_none;
    stringResult_.clear();
    boolResult_ = false;
    intResult_ = 0;
    base64Result_ = QByteArray();

    xmlrpc::Reply reply = xmlrpc::Reply::Read(data, length > 0 ? size_t(length) : 0);
    response_ = std::move(reply.value);
    if (!reply.usable) {
        qCInfo(lcClient, "The service's reply is unusable: %s", qUtf8Printable(reply.error));
        return Fail(-3, QStringLiteral("Invalid server response"));
    }
    XMLRPC_VALUE value = response_.get();
    valueType_ = XMLRPC_GetValueTypeEasy(value);
    if (reply.fault)
        return ReadFault(value);

    switch (valueType_) {
    case xmlrpc_type_base64: {
        const char* bytes = XMLRPC_GetValueBase64(value);
        base64Result_ = QByteArray(bytes ? bytes : "", bytes ? XMLRPC_GetValueStringLen(value) : 0);
        break;
    }
    case xmlrpc_type_boolean: boolResult_ = XMLRPC_GetValueBoolean(value) != 0; break;
    case xmlrpc_type_int: intResult_ = XMLRPC_GetValueInt(value); break;
    case xmlrpc_type_string: stringResult_ = TextOf(value); break;
    case xmlrpc_type_struct:
        // Servers may send a fault as a plain result; its member names say what it is.
        if (HasFaultMember(value))
            return ReadFault(value);
        break;
    default:
        // Arrays and the rest: the caller reads ResponseValue() itself.
        break;
    }
    return succeeded_;
}

}  // namespace client
