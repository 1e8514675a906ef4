#pragma once

#include "common/xmlrpc/Call.h"
#include "common/xmlrpc/Reply.h"
#include "common/xmlrpc/Value.h"
#include "platform/inet/Inet.h"

#include <QByteArray>
#include <QString>

namespace client {

// One XML-RPC call of the message client: written by common/xmlrpc, posted over a
// connection of the internet layer that the caller opened (and closes), waited for while
// the event loop keeps running, then read whole by common/xmlrpc's reader. A server fault
// becomes the error code and text. One object serves one Send.
class XmlRpcRequest {
public:
    // Replies beyond the reader's cap are refused by their Content-Length, before anything
    // is allocated for them.
    static constexpr quint64 kMaxResponseBytes = xmlrpc::Reply::kMaxBytes;

    // `connection` is not owned. `secure` makes the POST go over TLS.
    XmlRpcRequest(OvexInetHandle connection, const QString& path, const QString& methodName, bool secure);
    ~XmlRpcRequest();
    XmlRpcRequest(const XmlRpcRequest&) = delete;
    XmlRpcRequest& operator=(const XmlRpcRequest&) = delete;

    // The call's parameter array. Values appended to it belong to it.
    XMLRPC_VALUE Parameters() const { return call_.Parameters(); }

    // Posts the call and reads the reply. True when a reply came, parsed, and was neither
    // a fault nor without a value; otherwise ErrorCode() and ErrorText() say why.
    bool Send();

    // What Send does with a reply body once it has it whole: read exactly `length` bytes
    // at `data` (no terminator needed) and classify the value. Public so the reading can be
    // measured and tested on its own.
    bool ReadResponse(const char* data, int length);

    QString ErrorText() const { return errorText_; }
    int ErrorCode() const { return errorCode_; }

    // The reply's value after a successful Send, or a fault's struct (null before, and
    // after an unusable reply); owned by the request.
    XMLRPC_VALUE ResponseValue() const { return response_.get(); }

    // The reply's type and, for the scalar types, its value.
    XMLRPC_VALUE_TYPE_EASY ValueType() const { return valueType_; }
    const QString& StringResult() const { return stringResult_; }
    bool BoolResult() const { return boolResult_; }
    int IntResult() const { return intResult_; }
    const QByteArray& Base64Result() const { return base64Result_; }  // null unless base64

private:
    bool Fail(int code, const QString& text);
    bool ReadFault(XMLRPC_VALUE fault);

    OvexInetHandle connection_;
    xmlrpc::Call call_;
    xmlrpc::Value response_;
    QByteArray path_;
    bool secure_;
    bool succeeded_ = false;
    int errorCode_ = 0;
    QString errorText_;
    XMLRPC_VALUE_TYPE_EASY valueType_ = xmlrpc_type_none;
    QString stringResult_;
    bool boolResult_ = false;
    int intResult_ = 0;
    QByteArray base64Result_;
};

}  // namespace client
