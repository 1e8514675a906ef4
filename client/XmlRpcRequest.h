#pragma once

#include "platform/inet/Inet.h"

#include <QByteArray>
#include <QString>

#include <xmlrpc.h>

namespace client {

// One XML-RPC call of the message client: built with xmlrpc-epi, posted over a
// connection of the internet layer that the caller opened (and closes), waited for while
// the event loop keeps running, then read whole and parsed. A server fault becomes the
// error code and text. One object serves one Send.
class XmlRpcRequest {
public:
    // Replies beyond this are refused before anything is allocated for them; the largest
    // the service sends (thousands of offers) are a few megabytes.
    static constexpr quint64 kMaxResponseBytes = quint64(64) << 20;

    // `connection` is not owned. `secure` makes the POST go over TLS.
    XmlRpcRequest(OvexInetHandle connection, const QString& path, const QString& methodName, bool secure);
    ~XmlRpcRequest();
    XmlRpcRequest(const XmlRpcRequest&) = delete;
    XmlRpcRequest& operator=(const XmlRpcRequest&) = delete;

    // The call's parameter array. Values appended to it belong to it.
    XMLRPC_VALUE Parameters() const { return parameters_; }

    // Posts the call and reads the reply. True when a reply came, parsed, and was neither
    // a fault nor without a value; otherwise ErrorCode() and ErrorText() say why.
    bool Send();

    // What Send does with a reply body once it has it whole: parse it and classify its
    // value. Public so the parse can be measured and tested on its own.
    bool ReadResponse(const char* data, int length);

    QString ErrorText() const { return errorText_; }
    int ErrorCode() const { return errorCode_; }

    // The reply's value after a successful Send (null before); owned by the request.
    XMLRPC_VALUE ResponseValue() const;

    // The reply's type and, for the scalar types, its value.
    XMLRPC_VALUE_TYPE_EASY ValueType() const { return valueType_; }
    const QString& StringResult() const { return stringResult_; }
    bool BoolResult() const { return boolResult_; }
    int IntResult() const { return intResult_; }
    const QByteArray& Base64Result() const { return base64Result_; }  // null unless base64

private:
    bool Fail(int code, const QString& text);

    OvexInetHandle connection_;
    XMLRPC_REQUEST request_ = nullptr;
    XMLRPC_VALUE parameters_ = nullptr;  // belongs to request_
    XMLRPC_REQUEST response_ = nullptr;
    QByteArray methodName_;
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
