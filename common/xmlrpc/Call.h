#pragma once

#include "common/xmlrpc/Value.h"

#include <QByteArray>

namespace xmlrpc {

// One method call as both programs write it: xmlrpc-epi's request of type "call" with an
// empty parameter array attached, written compact, markup escaped, in UTF-8 without naming
// it in the declaration, as XML-RPC 1.0.
class Call {
public:
    // `methodName` is taken as the bytes given (each program narrows its own way).
    explicit Call(const QByteArray& methodName);
    ~Call();
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    // The call's parameter array. Values appended to it belong to it.
    XMLRPC_VALUE Parameters() const { return parameters_; }

    // The call as XML; empty when xmlrpc-epi wrote nothing.
    QByteArray ToXml() const;

private:
    XMLRPC_REQUEST request_ = nullptr;
    XMLRPC_VALUE parameters_ = nullptr;  // belongs to request_
};

}  // namespace xmlrpc
