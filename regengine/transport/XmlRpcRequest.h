#pragma once

#include "common/xmlrpc/Call.h"
#include "common/xmlrpc/Reply.h"
#include "common/xmlrpc/Value.h"
#include "platform/inet/Inet.h"

#include <QByteArray>
#include <QString>

namespace engine {

class InetLoader;

// One XML-RPC call of the registration engine: written by common/xmlrpc, posted through the
// internet library the engine loaded by name, waited for with WaitForFlag (so the global
// cancel flag ends it), then read whole by common/xmlrpc's reader. The message client's
// request has the same design; this one reports each step as a trace text. One object
// serves one Execute.
class XmlRpcRequest {
public:
    // Replies beyond the reader's cap are refused by their Content-Length, before anything
    // is allocated for them.
    static constexpr quint64 kMaxResponseBytes = xmlrpc::Reply::kMaxBytes;

    // `connection` is not owned; `loader` null is the process-wide binding, which must be
    // loaded before a request is made.
    XmlRpcRequest(OvexInetHandle connection, const QString& path, const QString& methodName, bool secure,
                  InetLoader* loader = nullptr);
    ~XmlRpcRequest();
    XmlRpcRequest(const XmlRpcRequest&) = delete;
    XmlRpcRequest& operator=(const XmlRpcRequest&) = delete;

    void AddInt(int value);
    // A string of the text's UTF-8 form.
    void AddString(const QString& text);
    // A base64 value whose bytes are the text's UTF-8 form.
    void AddBase64(const QString& text);

    // Posts the call and reads the reply. With `wait` the send is waited for through
    // WaitForFlag; without it the send blocks (a session of its own thread). True when a
    // reply came, parsed, held a value and was no fault; else the error code and text say
    // why: -1 no XML, -2 transport or cancel, -3 empty or no value, or the fault's own.
    bool Execute(bool wait);
    // What Execute does with a reply body once it has it whole. Public so the reading can be
    // tested and fuzzed on its own.
    bool ReadResponse(const char* data, qsizetype length);

    int GetErrorCode() const { return errorCode_; }
    QString GetErrorText() const { return errorText_; }
    bool GetStringResult(QString& out) const;
    bool GetIntResult(int& out) const;
    // The decoded bytes, without the terminator the design added.
    bool GetBase64Result(QByteArray& out) const;
    XMLRPC_VALUE_TYPE_EASY GetResultType() const { return resultType_; }

private:
    bool Fail(int code, const QString& text);
    void ClearResult();

    InetLoader& loader_;
    OvexInetHandle connection_;
    QString path_;
    QByteArray method_;
    bool secure_;
    xmlrpc::Call call_;
    xmlrpc::Value response_;
    bool success_ = false;
    int errorCode_ = 0;
    QString errorText_;
    XMLRPC_VALUE_TYPE_EASY resultType_ = xmlrpc_type_none;
    QString stringResult_;
    bool boolResult_ = false;
    int intResult_ = 0;
    QByteArray base64Result_;
};

}  // namespace engine
