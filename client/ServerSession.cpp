#include "client/ServerSession.h"

#include "client/Globals.h"
#include "client/MfgrEntry.h"
#include "client/Trace.h"
#include "client/XmlRpcRequest.h"
#include "platform/text/Format.h"

#include <QByteArray>

#include <xmlrpc.h>

namespace client {

namespace {

const QString kServicePath = QStringLiteral("/veldora/vask/rpc/ovex.php");

// "host" or "host:port", the host a name or an address (IPv6 in brackets).
bool IsHostAndPort(const QString& text)
{
    QString host = text;
    QString port;
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && !text.endsWith(QLatin1Char(']'))) {
        host = text.left(colon);
        port = text.mid(colon + 1);
        bool ok = false;
        const uint number = port.toUInt(&ok);
        if (!ok || number == 0 || number > 65535 || port.startsWith(QLatin1Char('+')))
            return false;
    }
    if (host.isEmpty())
        return false;
    if (host.startsWith(QLatin1Char('['))) {
        if (!host.endsWith(QLatin1Char(']')))
            return false;
        for (QChar c : host.mid(1, host.size() - 2)) {
            if (!(c.isDigit() || (c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')) ||
                  c == QLatin1Char(':') || c == QLatin1Char('.')))
                return false;
        }
        return true;
    }
    for (QChar c : host) {
        if (!(c.isDigit() || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
              (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || c == QLatin1Char('.') || c == QLatin1Char('-')))
            return false;
    }
    return true;
}

template <typename Record>
std::vector<Record> RecordsFromReply(XMLRPC_VALUE reply, Record (*convert)(XMLRPC_VALUE))
{
    std::vector<Record> records;
    if (reply == nullptr || XMLRPC_GetValueTypeEasy(reply) != xmlrpc_type_array)
        return records;
    records.reserve(size_t(XMLRPC_VectorSize(reply)));
    for (XMLRPC_VALUE element = XMLRPC_VectorRewind(reply); element; element = XMLRPC_VectorNext(reply)) {
        if (XMLRPC_GetValueTypeEasy(element) == xmlrpc_type_struct)
            records.push_back(convert(element));
    }
    return records;
}

}  // namespace

QString MessageServiceUrl(bool testService)
{
    if (!testService)
        return QStringLiteral("https://") + QStringLiteral(OVEX_PRODUCTION_SERVICE_HOST) + kServicePath;
    QString host = QStringLiteral(OVEX_TEST_SERVICE_HOST);
    const QString local = qEnvironmentVariable("OVEXKELVO_TEST_SERVICE");
    if (!local.isEmpty()) {
        if (!IsHostAndPort(local)) {
            qCWarning(lcClient, "OVEXKELVO_TEST_SERVICE is not host:port, so no test service is used: %s",
                      qUtf8Printable(local));
            return QString();
        }
        host = local;
    }
    return QStringLiteral("http://") + host + kServicePath;
}

RecordMap ServiceRequestMap(const QString& mfgrCode)
{
    RecordMap map;
    SetField(map, QStringLiteral("mfgr"), mfgrCode);
    SetField(map, QStringLiteral("lang"), QString::fromLatin1(client::runState().languageCode.left(3)));
    SetField(map, QStringLiteral("vers"), client::kVersionCode);
    return map;
}

ServerSession::ServerSession(const QString& url) : url_(url)
{
    // One question to the desktop's network service, which may take up to half a second:
    // the state it gives is the one the attempt to connect would ask for again, and with
    // no dial-up to start here, that attempt is made only where the answer leaves room.
    uint32_t state = OVEX_INET_STATE_CONNECTED;
    const bool known = ovex_inet_query_connected_state(&state) != 0;
    if (known && (state & OVEX_INET_STATE_DISCONNECTED_BY_USER) != 0)
        return;
    if (!known && ovex_inet_attempt_connect() != OVEX_INET_ERROR_SUCCESS)
        return;
    if (known && (state & OVEX_INET_STATE_DISCONNECTED) != 0)
        return;
    // Asynchronous, so that the waits inside a call keep the interface running.
    const QByteArray agent = (client::kProductName + QLatin1Char('/') + client::kDisplayVersion).toUtf8();
    internet_ = ovex_inet_open_session(agent.constData(), OVEX_INET_FLAG_ASYNC);
    if (internet_ == nullptr) {
        // Not offline: the calls fail, so the check says so rather than finding nothing.
        openFailure_ = platform::formatText(QStringLiteral("Unable to open an internet session (error %u)"),
                                            ovex_inet_last_error());
        qCWarning(lcClient).noquote() << openFailure_;
        return;
    }
    char host[100];
    char path[1025];
    OvexInetUrlParts parts{0, host, sizeof host, 0, path, sizeof path};
    if (!ovex_inet_split_url(url.toUtf8().constData(), &parts))
        return;
    host_ = QString::fromUtf8(host);
    port_ = parts.port;
    path_ = QString::fromUtf8(path);
    secure_ = parts.scheme == OVEX_INET_SCHEME_HTTPS;
    connected_ = true;
}

ServerSession::~ServerSession()
{
    if (internet_ != nullptr)
        ovex_inet_close_handle(internet_);
}

template <typename Read>
auto ServerSession::Call(const char* method, std::initializer_list<XMLRPC_VALUE> parameters, Read read)
    -> decltype(read(XMLRPC_VALUE()))
{
    OvexInetHandle connection = ovex_inet_connect(internet_, host_.toUtf8().constData(), port_, 0);
    struct Close {
        OvexInetHandle handle;
        ~Close()
        {
            if (handle != nullptr)
                ovex_inet_close_handle(handle);
        }
    } close{connection};

    XmlRpcRequest request(connection, path_, QString::fromLatin1(method), secure_);
    for (XMLRPC_VALUE parameter : parameters)
        XMLRPC_AddValueToVector(request.Parameters(), parameter);
    if (!request.Send()) {
        qCWarning(lcClient, "%s failed (%d): %s", method, request.ErrorCode(), qUtf8Printable(request.ErrorText()));
        throw ProxyError(request.ErrorText(), request.ErrorCode());
    }
    return read(request.ResponseValue());
}

void ServerSession::ThrowIfNotOpened() const
{
    if (!openFailure_.isEmpty())
        throw ProxyError(openFailure_, -2);
}

std::vector<Channel> ServerSession::GetChannelsForMfgr(const RecordMap& requestMap)
{
    ThrowIfNotOpened();
    if (!connected_)
        return {};
    return Call("getChannelsForMfgr", {MapToXmlRpcStruct(requestMap)}, &ChannelsFromReply);
}

std::vector<Message> ServerSession::GetOffersForRecords(const RecordMap& requestMap, const MfgrEntry& entry)
{
    ThrowIfNotOpened();
    if (!connected_)
        return {};
    return Call("getOffersForRecords", {MapToXmlRpcStruct(requestMap), entry.BuildRecordsParam()}, &OffersFromReply);
}

std::vector<Channel> ServerSession::ChannelsFromReply(XMLRPC_VALUE reply)
{
    return RecordsFromReply<Channel>(reply, &Channel::FromXmlRpc);
}

std::vector<Message> ServerSession::OffersFromReply(XMLRPC_VALUE reply)
{
    return RecordsFromReply<Message>(reply, &Message::FromXmlRpc);
}

}  // namespace client
