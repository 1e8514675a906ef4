#pragma once

#include "client/Channel.h"
#include "client/Message.h"
#include "client/RecordMap.h"
#include "platform/inet/Inet.h"

#include <QString>

#include <vector>

namespace client {

class MfgrEntry;

// A failed message-service call: the request's error text and code (-1 no XML, -2
// transport or HTTP, -3 empty or unusable reply, else the server's fault code).
class ProxyError {
public:
    ProxyError(QString message, int code) : message_(std::move(message)), code_(code) {}
    const QString& message() const { return message_; }
    int code() const { return code_; }

private:
    QString message_;
    int code_;
};

// The service endpoint: production over HTTPS, or the test service over HTTP. Both hosts
// are fixed at build time. OVEXKELVO_TEST_SERVICE="host:port" replaces the test host
// only; a value that is not one gives an empty URL, on which no session connects, so a
// typing error never sends test data to a host nobody chose.
QString MessageServiceUrl(bool testService);

// The first parameter of both calls: {"mfgr", "lang", "vers"}.
RecordMap ServiceRequestMap(const QString& mfgrCode);

// The client's connection to the message service and its two calls. One session per
// manufacturer entry and check; every call makes its own connection.
class ServerSession {
public:
    // Never throws. Working offline, or a URL that cannot be used, leaves the session
    // unconnected: its calls then return nothing and send nothing. A session the internet
    // layer could not open makes its calls throw ProxyError.
    explicit ServerSession(const QString& url);
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;

    bool IsConnected() const { return connected_; }

    // The channels the manufacturer offers. Throws ProxyError.
    std::vector<Channel> GetChannelsForMfgr(const RecordMap& requestMap);
    // The new messages for the entry's records and their subscribed channels. Throws
    // ProxyError.
    std::vector<Message> GetOffersForRecords(const RecordMap& requestMap, const MfgrEntry& entry);

    // The records in a reply: each struct element of an array, in order; elements of
    // other types are skipped, and a reply that is no array gives none.
    static std::vector<Channel> ChannelsFromReply(XMLRPC_VALUE reply);
    static std::vector<Message> OffersFromReply(XMLRPC_VALUE reply);

private:
    // Posts one call with `parameters` (taken over) and hands the reply to `read`.
    template <typename Read>
    auto Call(const char* method, std::initializer_list<XMLRPC_VALUE> parameters, Read read)
        -> decltype(read(XMLRPC_VALUE()));

    void ThrowIfNotOpened() const;

    bool connected_ = false;
    QString openFailure_;  // why the internet layer gave no session
    OvexInetHandle internet_ = nullptr;
    QString url_;
    QString host_;
    quint16 port_ = 0;
    QString path_;
    bool secure_ = false;
};

}  // namespace client
