#pragma once

// What the service-call tests share: a clean network environment per test and the
// builders of the replies the raw server sends.

#include "platform/inet/Inet.h"
#include "tests/common/xmlrpc/BadReplies.h"
#include "tests/support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cstdlib>

namespace servicetest {

inline const char* const kServicePath = "/veldora/vask/rpc/ovex.php";

inline QByteArray httpReply(const QByteArray& status, const QByteArray& headers, const QByteArray& body)
{
    return "HTTP/1.1 " + status + "\r\n" + headers + "\r\n" + body;
}

// A 200 reply with a correct Content-Length.
inline QByteArray withLength(const QByteArray& body)
{
    return httpReply("200 OK", "Content-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n",
                     body);
}

// The reply bodies are built as the reader's own tests build them.
using xmlrpctest::faultXml;
using xmlrpctest::responseXml;

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Proxies come from the environment; a developer's must not take these requests.
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                                 "NO_PROXY", "OVEX_CA_FILE", "OVEXKELVO_TEST_SERVICE"})
            ::unsetenv(name);
        ovex_inet_set_default_timeouts(0, 0);
        ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED);
        dir_ = testsupport::sandboxRoot() + "/service";
    }

    void TearDown() override
    {
        ovex_inet_set_connected_state(OVEX_INET_STATE_CONNECTED);
        ovex_inet_set_default_timeouts(0, 0);
    }

    QString dir_;
};

}  // namespace servicetest
