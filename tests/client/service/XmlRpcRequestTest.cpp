// One XML-RPC call end to end: what the service receives, every row of the failure
// table and every hostile reply of the reader's table against the raw server, the reply
// types, TLS, and the wait that keeps the event loop running and holds a quit back until
// the call is over.
#include "client/XmlRpcRequest.h"

#include "platform/ui/Ui.h"
#include "tests/client/service/ServiceTestSupport.h"
#include "tests/peers/Peers.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <functional>
#include <ostream>

using namespace client;

namespace {

using namespace servicetest;
using testpeers::RawServer;

struct CallOutcome {
    bool ok = false;
    int code = 0;
    QString text;
    XMLRPC_VALUE_TYPE_EASY type = xmlrpc_type_none;
    QString stringResult;
    int intResult = 0;
    bool boolResult = false;
    QByteArray base64Result;
};

// One call of "getChannelsForMfgr" on a fresh session and connection.
CallOutcome call(quint16 port, bool secure = false, const char* host = "127.0.0.1",
                 const std::function<void(XmlRpcRequest&)>& fill = {}, const QString& path = kServicePath)
{
    OvexInetHandle session = ovex_inet_open_session("Ovex Kelvo/1.07", OVEX_INET_FLAG_ASYNC);
    EXPECT_NE(session, nullptr);
    OvexInetHandle connection = ovex_inet_connect(session, host, port, 0);
    CallOutcome o;
    {
        XmlRpcRequest request(connection, path, QStringLiteral("getChannelsForMfgr"), secure);
        if (fill) {
            fill(request);
        } else {
            XMLRPC_VALUE s = XMLRPC_CreateVector(nullptr, xmlrpc_vector_struct);
            XMLRPC_VectorAppendString(s, "mfgr", "OVEX", 0);
            XMLRPC_AddValueToVector(request.Parameters(), s);
        }
        o.ok = request.Send();
        o.code = request.ErrorCode();
        o.text = request.ErrorText();
        o.type = request.ValueType();
        o.stringResult = request.StringResult();
        o.intResult = request.IntResult();
        o.boolResult = request.BoolResult();
        o.base64Result = request.Base64Result();
    }
    ovex_inet_close_handle(session);
    return o;
}

class XmlRpcRequestTest : public ServiceTest {};

TEST_F(XmlRpcRequestTest, ServiceReceivesTheCallAsPosted)
{
    testpeers::MessageService service(
        dir_, {QJsonObject{{"getChannelsForMfgr", QJsonObject{{"result", QJsonArray{}}}}}, false, {}, {}});
    ASSERT_TRUE(service.started());
    const CallOutcome o = call(service.port());
    ASSERT_TRUE(o.ok) << o.text.toStdString();
    EXPECT_EQ(o.code, 0);
    EXPECT_EQ(o.text, QString());
    EXPECT_EQ(o.type, xmlrpc_type_array);

    const QJsonArray calls = service.received();
    ASSERT_EQ(calls.size(), 1);
    const QJsonObject c = calls[0].toObject();
    EXPECT_EQ(c["path"].toString(), kServicePath);
    EXPECT_EQ(c["method"].toString(), "getChannelsForMfgr");
    EXPECT_EQ(c["params"].toArray(), (QJsonArray{QJsonObject{{"mfgr", "OVEX"}}}));
    const QJsonObject h = c["headers"].toObject();
    EXPECT_EQ(h["content-type"].toString(), "text/xml");
    EXPECT_EQ(h["accept"].toString(), "text/xml");
    EXPECT_EQ(h["pragma"].toString(), "no-cache");
    // Compact XML-RPC 1.0, no encoding named (so UTF-8).
    EXPECT_TRUE(c["body"].toString().startsWith("<?xml version=\"1.0\"?><methodCall><methodName>getChannelsForMfgr"));
}

// Markup in names and values must arrive as the same text, not as markup.
TEST_F(XmlRpcRequestTest, MarkupInValuesIsEscaped)
{
    testpeers::MessageService service(dir_, {});
    ASSERT_TRUE(service.started());
    const QByteArray value = "Tom & Jerry <b>bold</b></string></value><value><int>1</int> \"q\" 'a' \xc3\xa9";
    const CallOutcome o = call(service.port(), false, "127.0.0.1", [&](XmlRpcRequest& r) {
        XMLRPC_VALUE s = XMLRPC_CreateVector(nullptr, xmlrpc_vector_struct);
        XMLRPC_VectorAppendString(s, "R&D <dept>", value.constData(), int(value.size()));
        XMLRPC_AddValueToVector(r.Parameters(), s);
    });
    ASSERT_TRUE(o.ok) << o.text.toStdString();
    const QJsonArray calls = service.received();
    ASSERT_EQ(calls.size(), 1);
    ASSERT_FALSE(calls[0].toObject().contains("error")) << calls[0].toObject()["error"].toString().toStdString();
    EXPECT_EQ(calls[0].toObject()["params"].toArray(),
              (QJsonArray{QJsonObject{{"R&D <dept>", QString::fromUtf8(value)}}}));
}

// ---- The failure table, against the raw server --------------------------------------

struct Row {
    const char* name;
    QByteArray reply;
    RawServer::Mode mode;
    bool ok;
    int code;
    const char* text;
};

void PrintTo(const Row& row, std::ostream* os)
{
    *os << row.name;
}

class FailureTableTest : public XmlRpcRequestTest, public ::testing::WithParamInterface<Row> {};

TEST_P(FailureTableTest, GivesItsCodeAndText)
{
    const Row& row = GetParam();
    RawServer server(dir_, row.reply, row.mode);
    ASSERT_TRUE(server.started());
    ovex_inet_set_default_timeouts(0, 1000);
    const CallOutcome o = call(server.port());
    EXPECT_EQ(o.ok, row.ok);
    EXPECT_EQ(o.code, row.code);
    EXPECT_EQ(o.text.toStdString(), row.text);
}

const QByteArray kArray = responseXml("<array><data><value><string>a</string></value></data></array>");

INSTANTIATE_TEST_SUITE_P(
    Replies, FailureTableTest,
    ::testing::Values(
        Row{"Fault", withLength(faultXml(4, "Too many requests &amp; too fast")), RawServer::Mode::Reply, false, 4,
            "Too many requests & too fast"},
        Row{"FaultSentAsAPlainStruct",
            withLength(responseXml("<struct><member><name>faultCode</name><value><int>4</int></value></member>"
                                   "<member><name>faultString</name><value>sent as a result</value></member>"
                                   "</struct>")),
            RawServer::Mode::Reply, false, 4, "sent as a result"},
        Row{"PlainArray", withLength(kArray), RawServer::Mode::Reply, true, 0, ""},
        Row{"ShortBody", httpReply("200 OK", "Content-Length: 5000\r\n", kArray), RawServer::Mode::Reply, false, -2,
            "Unable to read response from server (error 12030)"},
        Row{"ChunkedWithoutLength",
            httpReply("200 OK", "Transfer-Encoding: chunked\r\n",
                      QByteArray::number(kArray.size(), 16) + "\r\n" + kArray + "\r\n0\r\n\r\n"),
            RawServer::Mode::Reply, false, -2, "Invalid Content-Length from server (error 12150)"},
        Row{"ContentLengthZero", withLength(""), RawServer::Mode::Reply, false, -3, "Empty response from server"},
        Row{"Status500", httpReply("500 Internal Server Error", "Content-Length: 5\r\n", "oops!"),
            RawServer::Mode::Reply, false, -2, "Invalid return code 500 from server"},
        Row{"Status302NotFollowed",
            httpReply("302 Found", "Location: http://127.0.0.1:1/\r\nContent-Length: 0\r\n", ""),
            RawServer::Mode::Reply, false, -2, "Invalid return code 302 from server"},
        Row{"HtmlPageWith200", withLength("<!DOCTYPE html><html><body><p>Site maintenance<br></body></html>"),
            RawServer::Mode::Reply, false, -3, "Invalid server response"},
        Row{"WellFormedHtmlWith200", withLength("<html><body><p>Site maintenance</p></body></html>"),
            RawServer::Mode::Reply, false, -3, "Invalid server response"},
        Row{"GarbageBody", withLength("\x01\x02\x03\xfe\xff binary junk \x7f"), RawServer::Mode::Reply, false, -3,
            "Invalid server response"},
        Row{"GarbageInsteadOfHttp", "\x16\x03\x01 this is not HTTP at all\r\n\r\n", RawServer::Mode::Reply, false, -2,
            "Unable to send request (error 12152)"},
        Row{"HugeContentLength", httpReply("200 OK", "Content-Length: 1000000000000\r\n", kArray),
            RawServer::Mode::Reply, false, -2, "Invalid Content-Length from server (error 8)"},
        Row{"AbsurdContentLength",
            httpReply("200 OK", "Content-Length: 99999999999999999999999999\r\nConnection: close\r\n", kArray),
            RawServer::Mode::Reply, false, -2, "Invalid Content-Length from server (error 12153)"},
        Row{"NegativeContentLength", httpReply("200 OK", "Content-Length: -1\r\n", kArray), RawServer::Mode::Reply,
            false, -2, "Unable to send request (error 12152)"},
        Row{"AcceptsAndNeverAnswers", "", RawServer::Mode::Silent, false, -2, "Unable to send request (error 12002)"},
        Row{"BodyStopsHalfway", httpReply("200 OK", "Content-Length: 5000\r\n", kArray), RawServer::Mode::Hang, false,
            -2, "Unable to read response from server (error 12002)"},
        Row{"ClosesWithoutAnswer", "", RawServer::Mode::Reply, false, -2, "Unable to send request (error 12152)"}),
    [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

// ---- Hostile and odd replies, each sent whole with its length -----------------------

class BadReplySentTest : public XmlRpcRequestTest, public ::testing::WithParamInterface<xmlrpctest::BadReply> {};

TEST_P(BadReplySentTest, EndsAsTheRowSays)
{
    const xmlrpctest::BadReply& row = GetParam();
    RawServer server(dir_, withLength(row.body));
    ASSERT_TRUE(server.started());
    ovex_inet_set_default_timeouts(0, 5000);
    const CallOutcome o = call(server.port());
    // Too long a reply is refused by its length, before any of it is read.
    if (quint64(row.body.size()) > XmlRpcRequest::kMaxResponseBytes) {
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, -2);
        EXPECT_EQ(o.text, QStringLiteral("Invalid Content-Length from server (error 8)"));
        return;
    }
    switch (row.outcome) {
    case xmlrpctest::Outcome::Usable:
        EXPECT_TRUE(o.ok) << o.text.toStdString();
        EXPECT_EQ(o.code, 0);
        EXPECT_EQ(o.text, QString());
        EXPECT_EQ(o.type, xmlrpc_type_string);
        EXPECT_EQ(o.stringResult, QString::fromUtf8(row.value));
        break;
    case xmlrpctest::Outcome::Fault:
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, row.faultCode);
        EXPECT_EQ(o.text, QString::fromUtf8(row.value));
        break;
    case xmlrpctest::Outcome::Unusable:
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, -3);
        EXPECT_EQ(o.text, QStringLiteral("Invalid server response"));
        EXPECT_EQ(o.type, xmlrpc_type_none);
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(RawServer, BadReplySentTest, ::testing::ValuesIn(xmlrpctest::badReplies()),
                         [](const auto& info) { return std::string(info.param.name); });

struct ScalarRow {
    const char* name;
    QByteArray valueXml;
    XMLRPC_VALUE_TYPE_EASY type;
    QString stringResult;
    int intResult;
    bool boolResult;
    QByteArray base64Result;
};

void PrintTo(const ScalarRow& row, std::ostream* os)
{
    *os << row.name;
}

class ScalarReplyTest : public XmlRpcRequestTest, public ::testing::WithParamInterface<ScalarRow> {};

TEST_P(ScalarReplyTest, KeepsTheValue)
{
    const ScalarRow& row = GetParam();
    RawServer server(dir_, withLength(responseXml(row.valueXml)));
    ASSERT_TRUE(server.started());
    const CallOutcome o = call(server.port());
    ASSERT_TRUE(o.ok) << o.text.toStdString();
    EXPECT_EQ(o.type, row.type);
    EXPECT_EQ(o.stringResult, row.stringResult);
    EXPECT_EQ(o.intResult, row.intResult);
    EXPECT_EQ(o.boolResult, row.boolResult);
    EXPECT_EQ(o.base64Result, row.base64Result);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ScalarReplyTest,
    ::testing::Values(
        ScalarRow{"String",
                  "<string>gr\xc3\xbc\xc3\x9f &amp; bye</string>",
                  xmlrpc_type_string,
                  QString::fromUtf8("gr\xc3\xbc\xc3\x9f & bye"),
                  0,
                  false,
                  {}},
        ScalarRow{"Int", "<int>-42</int>", xmlrpc_type_int, {}, -42, false, {}},
        ScalarRow{"Boolean", "<boolean>1</boolean>", xmlrpc_type_boolean, {}, 0, true, {}},
        ScalarRow{"Base64", "<base64>AAFoaQ==</base64>", xmlrpc_type_base64, {}, 0, false, QByteArray("\0\x01hi", 4)}),
    [](const ::testing::TestParamInfo<ScalarRow>& info) { return std::string(info.param.name); });

TEST_F(XmlRpcRequestTest, RequestThatCannotBeOpenedFailsWithoutWaiting)
{
    RawServer server(dir_, withLength(kArray));
    ASSERT_TRUE(server.started());
    const CallOutcome badPath = call(server.port(), false, "127.0.0.1", {}, QStringLiteral("/a path with blanks"));
    EXPECT_FALSE(badPath.ok);
    EXPECT_EQ(badPath.code, -2);
    EXPECT_EQ(badPath.text, QStringLiteral("Unable to open request (error 12005)"));

    XmlRpcRequest closed(reinterpret_cast<OvexInetHandle>(uintptr_t(0x7777)), kServicePath,
                         QStringLiteral("getChannelsForMfgr"), false);
    EXPECT_FALSE(closed.Send());
    EXPECT_EQ(closed.ErrorCode(), -2);
    EXPECT_EQ(closed.ErrorText(), QStringLiteral("Unable to open request (error 6)"));
    EXPECT_EQ(server.received(), QByteArray());
}

TEST_F(XmlRpcRequestTest, RefusedConnectionFailsTheSend)
{
    quint16 port = 0;
    {
        RawServer gone(dir_, "");
        ASSERT_TRUE(gone.started());
        port = gone.port();
    }
    const CallOutcome o = call(port);
    EXPECT_EQ(o.code, -2);
    EXPECT_EQ(o.text, QStringLiteral("Unable to send request (error 12029)"));
}

// ---- TLS --------------------------------------------------------------------------

class XmlRpcTlsTest : public XmlRpcRequestTest {
protected:
    void SetUp() override
    {
        XmlRpcRequestTest::SetUp();
        certs_ = testpeers::makeCertificates(dir_ + "/certs");
        ASSERT_FALSE(certs_.caFile.isEmpty());
        ::setenv("OVEX_CA_FILE", certs_.caFile.toUtf8().constData(), 1);
    }
    testpeers::Certificates certs_;
};

TEST_F(XmlRpcTlsTest, SecureCallNeedsAVerifiedPeer)
{
    testpeers::MessageService good(dir_, {{}, true, {}, {}}, &certs_);
    testpeers::MessageService wrongName(dir_, {{}, true, certs_.wrongHostCert, certs_.wrongHostKey}, &certs_);
    ASSERT_TRUE(good.started() && wrongName.started());

    EXPECT_TRUE(call(good.port(), true, "localhost").ok);
    EXPECT_EQ(good.received().size(), 1);

    const CallOutcome refused = call(wrongName.port(), true, "localhost");
    EXPECT_EQ(refused.code, -2);
    EXPECT_EQ(refused.text, QStringLiteral("Unable to send request (error 12175)"));
    EXPECT_EQ(wrongName.received().size(), 0);

    // Plain HTTP to the TLS service gets no XML-RPC answer either.
    const CallOutcome plain = call(good.port(), false, "localhost");
    EXPECT_FALSE(plain.ok);
    EXPECT_EQ(plain.code, -2);
    EXPECT_EQ(good.received().size(), 1);
}

// ---- The wait -----------------------------------------------------------------------

TEST_F(XmlRpcRequestTest, EventsRunWhileTheCallWaits)
{
    testpeers::MessageService service(dir_, {QJsonObject{{"delay", 0.6}}, false, {}, {}});
    ASSERT_TRUE(service.started());
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(20);
    EXPECT_TRUE(call(service.port()).ok);
    EXPECT_GT(ticks, 0);
}

TEST_F(XmlRpcRequestTest, QuitDuringTheWaitTakesEffectAfterTheCall)
{
    testpeers::MessageService service(dir_, {QJsonObject{{"delay", 0.6}}, false, {}, {}});
    ASSERT_TRUE(service.started());
    QTimer::singleShot(100, [] { platform::postQuit(7); });
    EXPECT_TRUE(call(service.port()).ok);
    EXPECT_EQ(service.received().size(), 1);
    EXPECT_TRUE(platform::quitPending());
    EXPECT_EQ(QApplication::exec(), 7);
}

}  // namespace
