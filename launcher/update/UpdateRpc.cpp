#include "launcher/update/UpdateRpc.h"

#include "regengine/transport/InetLoader.h"

#include "common/xmlrpc/Call.h"
#include "common/xmlrpc/Reply.h"

#include <cstring>

using namespace engine;

namespace launcher {

namespace {

const InetLoader::Api& api()
{
    return InetLoader::Instance().Functions();
}

OvexInetHandle handle(void* p)
{
    return static_cast<OvexInetHandle>(p);
}

}  // namespace

UpdateRpc::~UpdateRpc()
{
    Close();
}

bool UpdateRpc::Open()
{
    Close();
    if (!InetLoader::Instance().Load())
        return false;
    // Blocking: this runs on the update's own thread, which has no event loop.
    session_ = api().openSession("Veldora", 0);
    return session_ != nullptr;
}

bool UpdateRpc::Connect(const QString& host, quint16 port)
{
    if (session_ == nullptr)
        return false;
    connection_ = api().connect(handle(session_), host.toUtf8().constData(), port, 0);
    return connection_ != nullptr;
}

void UpdateRpc::Close()
{
    if (session_ != nullptr && InetLoader::Instance().IsLoaded())
        api().closeHandle(handle(session_));
    session_ = nullptr;
    connection_ = nullptr;
}

int UpdateRpc::ReadReply(const QByteArray& body, xmlrpc::Value* result)
{
    xmlrpc::Reply reply = xmlrpc::Reply::Read(body.constData(), std::size_t(body.size()));
    if (!reply.usable)
        return kNoXml;
    if (reply.fault) {
        int code = kNoValue;
        XMLRPC_VALUE fault = reply.value.get();
        for (XMLRPC_VALUE m = XMLRPC_VectorRewind(fault); m; m = XMLRPC_VectorNext(fault)) {
            const char* name = XMLRPC_GetValueID(m);
            if (name != nullptr && std::strcmp(name, "faultCode") == 0 && XMLRPC_GetValueTypeEasy(m) == xmlrpc_type_int)
                code = XMLRPC_GetValueInt(m);
        }
        // A fault without its code must not read as success.
        return code == kOk ? kNoValue : code;
    }
    if (XMLRPC_GetValueTypeEasy(reply.value.get()) == xmlrpc_type_none)
        return kNoValue;
    *result = std::move(reply.value);
    return kOk;
}

int UpdateRpc::Call(const QByteArray& method, const std::function<void(XMLRPC_VALUE)>& fill, xmlrpc::Value* result)
{
    if (connection_ == nullptr)
        return kTransport;
    xmlrpc::Call call(method);
    if (fill)
        fill(call.Parameters());
    const QByteArray xml = call.ToXml();
    if (xml.isEmpty())
        return kNoXml;
    // Always HTTPS: the library verifies the server's certificate and cannot be told not to.
    const quint32 flags =
        OVEX_INET_FLAG_SECURE | OVEX_INET_FLAG_RELOAD | OVEX_INET_FLAG_NO_CACHE_WRITE | OVEX_INET_FLAG_PRAGMA_NOCACHE;
    OvexInetHandle request = api().openRequest(handle(connection_), "POST", kPath, nullptr, flags, 0);
    if (request == nullptr)
        return kTransport;
    int code = kTransport;
    quint32 status = 0;
    if (api().sendRequest(request, "Content-Type: text/xml\r\n", xml.constData(), std::size_t(xml.size())) &&
        api().queryStatusCode(request, &status) && status == 200) {
        QByteArray body;
        char buffer[16384];
        std::size_t got = 0;
        bool ok = true;
        while ((ok = api().read(request, buffer, sizeof buffer, &got) != 0) && got > 0) {
            body.append(buffer, qsizetype(got));
            if (body.size() > kMaxReplyBytes) {
                ok = false;
                break;
            }
        }
        if (ok)
            code = ReadReply(body, result);
    }
    api().closeHandle(request);
    return code;
}

}  // namespace launcher
