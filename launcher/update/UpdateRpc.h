#pragma once

#include "common/xmlrpc/Value.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace launcher {

// The update server's XML-RPC calls over the internet library, blocking, on the thread
// that made the object: HTTPS only, the certificate always verified by the library.
class UpdateRpc {
public:
    // Result codes besides a server's fault code, as the engine's requests give them.
    static constexpr int kOk = 0;
    static constexpr int kNoXml = -1;
    static constexpr int kTransport = -2;
    static constexpr int kNoValue = -3;
    // Replies larger than this are refused: a page script is some kilobytes.
    static constexpr qsizetype kMaxReplyBytes = qsizetype(8) << 20;

    UpdateRpc() = default;
    ~UpdateRpc();
    UpdateRpc(const UpdateRpc&) = delete;
    UpdateRpc& operator=(const UpdateRpc&) = delete;

    // The library's session ("Veldora"); false when the library or the session fails.
    bool Open();
    // The server's connection; nothing goes on the wire yet.
    bool Connect(const QString& host, quint16 port);
    // Calls `method` with the parameters `fill` appends; `result` gets the reply's value.
    int Call(const QByteArray& method, const std::function<void(XMLRPC_VALUE)>& fill, xmlrpc::Value* result);
    void Close();

    // Reads a reply: kOk with the value, the fault's code, kNoXml or kNoValue.
    static int ReadReply(const QByteArray& body, xmlrpc::Value* result);

    static constexpr const char* kPath = "/lookups/resUpdate/";

private:
    void* session_ = nullptr;
    void* connection_ = nullptr;
};

}  // namespace launcher
