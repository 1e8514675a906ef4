// The message service session against the Python service over HTTP and HTTPS: both
// calls, the exact request structs the service received, faults, offline, the endpoint
// configuration, and a transport failure becoming ProxyError.
#include "client/ServerSession.h"

#include "client/Globals.h"
#include "client/MfgrEntry.h"
#include "tests/client/service/ServiceTestSupport.h"
#include "tests/peers/Peers.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

#include <ostream>

using namespace client;

namespace {

using namespace servicetest;

const QJsonArray kChannels{
    QJsonObject{{"name", "Critical_Updates"},
                {"title", "Critical updates"},
                {"description", "Fixes & more"},
                {"fields", QJsonArray{"MFGR", "SRNM"}}},
    "not a channel",
    QJsonObject{{"name", "news"}, {"title", "News \xc3\xa9"}, {"mfgr", "OVEX"}, {"fields", QJsonArray{"MFGR", "MODL"}}},
};

const QJsonArray kOffers{
    QJsonObject{{"id", "m-1"}, {"name", "news"}, {"offer", "Welcome"}, {"url", "http://pages.example/1.html"}},
    42,
    QJsonObject{{"id", "m-2"},
                {"name", "critical_updates"},
                {"offer", "Update <now>"},
                {"url", "http://pages.example/2.html"},
                {"endtime", 1999999999}},
};

// One record subscribed to both channels and to one the entry does not know.
MfgrEntry makeEntry()
{
    MfgrEntry entry(QStringLiteral("OVEX"), {{QStringLiteral("fullname"), QStringLiteral("Ovex")}});
    Channel news;
    news.fields = {{"name", "news"}, {"mfgr", "OVEX"}};
    news.fieldCodes = {"MFGR", "MODL"};
    Channel critical;
    critical.fields = {{"name", "critical_updates"}, {"mfgr", "OVEX"}};
    critical.fieldCodes = {"MFGR", "SRNM"};
    entry.AddChannel(news, true);
    entry.AddChannel(critical, true);
    RegRecord record(RecordMap{{"MFGR", "OVEX"}, {"MODL", "Kelvo 5 & <Pro>"}, {"SRNM", "SN-1"}, {"CTRY", "DEU"}});
    record.subscriptions = {{"news", 1234567}, {"critical_updates", 0}, {"gone", 99}};
    entry.records.push_back(record);
    return entry;
}

QJsonObject answers(const QJsonValue& channels, const QJsonValue& offers)
{
    QJsonObject config;
    config["getChannelsForMfgr"] = channels.isObject() ? channels : QJsonValue(QJsonObject{{"result", channels}});
    config["getOffersForRecords"] = offers.isObject() ? offers : QJsonValue(QJsonObject{{"result", offers}});
    return config;
}

QString urlFor(const QString& scheme, quint16 port, const QString& host = QStringLiteral("127.0.0.1"))
{
    return QStringLiteral("%1://%2:%3%4").arg(scheme, host).arg(port).arg(kServicePath);
}

class ServerSessionTest : public ServiceTest {};

class BothSchemesTest : public ServerSessionTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        ServerSessionTest::SetUp();
        if (GetParam()) {
            certs_ = testpeers::makeCertificates(dir_ + "/certs");
            ASSERT_FALSE(certs_.caFile.isEmpty());
            ::setenv("OVEX_CA_FILE", certs_.caFile.toUtf8().constData(), 1);
        }
    }
    testpeers::Certificates certs_;
};

TEST_P(BothSchemesTest, BothCallsSendTheRequestStructsAndReadTheRecords)
{
    const bool tls = GetParam();
    testpeers::MessageService service(dir_, {answers(kChannels, kOffers), tls, {}, {}}, &certs_);
    ASSERT_TRUE(service.started());
    ServerSession session(urlFor(tls ? "https" : "http", service.port(), tls ? "localhost" : "127.0.0.1"));
    ASSERT_TRUE(session.IsConnected());
    const RecordMap request = ServiceRequestMap(QStringLiteral("OVEX"));
    const MfgrEntry entry = makeEntry();

    const std::vector<Channel> channels = session.GetChannelsForMfgr(request);
    const std::vector<Message> messages = session.GetOffersForRecords(request, entry);

    // Non-struct elements are skipped, the rest keep their order.
    ASSERT_EQ(channels.size(), 2u);
    EXPECT_EQ(channels[0].Name(), "critical_updates");
    EXPECT_EQ(GetField(channels[0].fields, "description"), "Fixes & more");
    EXPECT_EQ(channels[0].fieldCodes, (QStringList{"MFGR", "SRNM"}));
    EXPECT_EQ(channels[1].Name(), "news");
    EXPECT_EQ(GetField(channels[1].fields, "title"), QString::fromUtf8("News \xc3\xa9"));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].id, "m-1");
    EXPECT_EQ(GetField(messages[0].params, "channel"), "news");
    EXPECT_EQ(GetField(messages[0].params, "title"), "Welcome");
    EXPECT_EQ(messages[1].id, "m-2");
    EXPECT_EQ(GetField(messages[1].params, "title"), "Update <now>");
    EXPECT_EQ(GetField(messages[1].params, "endtime"), "1999999999");

    const QJsonArray calls = service.received();
    ASSERT_EQ(calls.size(), 2);
    const QJsonObject requestStruct{{"mfgr", "OVEX"}, {"lang", "ENU"}, {"vers", "0107"}};
    EXPECT_EQ(calls[0].toObject()["method"].toString(), "getChannelsForMfgr");
    EXPECT_EQ(calls[0].toObject()["params"].toArray(), QJsonArray{requestStruct});
    EXPECT_EQ(calls[1].toObject()["method"].toString(), "getOffersForRecords");
    const QJsonArray records{
        QJsonObject{{"data", QJsonObject{{"MFGR", "OVEX"}, {"MODL", "Kelvo 5 & <Pro>"}, {"SRNM", "SN-1"}}},
                    {"channels", QJsonArray{QJsonObject{{"name", "news"}, {"lastCheck", 1234567}},
                                            QJsonObject{{"name", "critical_updates"}, {"lastCheck", 0}}}}}};
    EXPECT_EQ(calls[1].toObject()["params"].toArray(), (QJsonArray{requestStruct, records}));
    for (const QJsonValue& c : calls) {
        EXPECT_EQ(c.toObject()["path"].toString(), kServicePath);
        EXPECT_EQ(c.toObject()["headers"].toObject()["user-agent"].toString(), "Ovex Kelvo/1.07");
    }
}

INSTANTIATE_TEST_SUITE_P(Schemes, BothSchemesTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Https" : "Http"; });

TEST_F(ServerSessionTest, FaultOnTheChannelsCallThrowsBeforeTheOffersCall)
{
    testpeers::MessageService service(
        dir_, {answers(QJsonObject{{"fault", QJsonArray{7, "Unknown manufacturer"}}}, kOffers), false, {}, {}});
    ASSERT_TRUE(service.started());
    ServerSession session(urlFor("http", service.port()));
    const RecordMap request = ServiceRequestMap(QStringLiteral("OVEX"));
    const MfgrEntry entry = makeEntry();
    try {
        session.GetChannelsForMfgr(request);
        session.GetOffersForRecords(request, entry);
        FAIL() << "no ProxyError";
    } catch (const ProxyError& e) {
        EXPECT_EQ(e.code(), 7);
        EXPECT_EQ(e.message(), "Unknown manufacturer");
    }
    ASSERT_EQ(service.received().size(), 1);
    EXPECT_EQ(service.received()[0].toObject()["method"].toString(), "getChannelsForMfgr");
}

TEST_F(ServerSessionTest, FaultOnTheOffersCallThrows)
{
    testpeers::MessageService service(
        dir_, {answers(kChannels, QJsonObject{{"fault", QJsonArray{-32500, "Try later"}}}), false, {}, {}});
    ASSERT_TRUE(service.started());
    ServerSession session(urlFor("http", service.port()));
    EXPECT_EQ(session.GetChannelsForMfgr(ServiceRequestMap("OVEX")).size(), 2u);
    try {
        session.GetOffersForRecords(ServiceRequestMap("OVEX"), makeEntry());
        FAIL() << "no ProxyError";
    } catch (const ProxyError& e) {
        EXPECT_EQ(e.code(), -32500);
        EXPECT_EQ(e.message(), "Try later");
    }
}

// A service may send its fault as a plain result, a struct with the fault's members.
TEST_F(ServerSessionTest, FaultSentAsAResultThrows)
{
    testpeers::MessageService service(
        dir_, {answers(QJsonObject{{"result", QJsonObject{{"faultCode", 3}, {"faultString", "no"}}}}, kOffers),
               false,
               {},
               {}});
    ASSERT_TRUE(service.started());
    ServerSession session(urlFor("http", service.port()));
    try {
        session.GetChannelsForMfgr(ServiceRequestMap("OVEX"));
        FAIL() << "no ProxyError";
    } catch (const ProxyError& e) {
        EXPECT_EQ(e.code(), 3);
        EXPECT_EQ(e.message(), "no");
    }
}

struct ReplyShape {
    const char* name;
    QJsonValue result;
};

void PrintTo(const ReplyShape& shape, std::ostream* os)
{
    *os << shape.name;
}

class NoRecordsTest : public ServerSessionTest, public ::testing::WithParamInterface<ReplyShape> {};

// A reply that is no array of structs gives no records and no error.
TEST_P(NoRecordsTest, GivesAnEmptyList)
{
    const QJsonObject answer{{"result", GetParam().result}};
    testpeers::MessageService service(dir_, {answers(answer, answer), false, {}, {}});
    ASSERT_TRUE(service.started());
    ServerSession session(urlFor("http", service.port()));
    EXPECT_TRUE(session.GetChannelsForMfgr(ServiceRequestMap("OVEX")).empty());
    EXPECT_TRUE(session.GetOffersForRecords(ServiceRequestMap("OVEX"), makeEntry()).empty());
    EXPECT_EQ(service.received().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Shapes, NoRecordsTest,
                         ::testing::Values(ReplyShape{"String", "just text"}, ReplyShape{"Int", 5},
                                           ReplyShape{"StructWithoutFaultMembers", QJsonObject{{"name", "news"}}},
                                           ReplyShape{"ArrayOfStrings", QJsonArray{"a", "b"}},
                                           ReplyShape{"EmptyArray", QJsonArray{}}),
                         [](const ::testing::TestParamInfo<ReplyShape>& info) { return std::string(info.param.name); });

TEST_F(ServerSessionTest, WorkingOfflineSendsNothing)
{
    testpeers::MessageService service(dir_, {answers(kChannels, kOffers), false, {}, {}});
    ASSERT_TRUE(service.started());
    ASSERT_TRUE(ovex_inet_set_connected_state(OVEX_INET_STATE_DISCONNECTED_BY_USER));
    ServerSession session(urlFor("http", service.port()));
    EXPECT_FALSE(session.IsConnected());
    EXPECT_TRUE(session.GetChannelsForMfgr(ServiceRequestMap("OVEX")).empty());
    EXPECT_TRUE(session.GetOffersForRecords(ServiceRequestMap("OVEX"), makeEntry()).empty());
    EXPECT_EQ(service.received().size(), 0);
}

// The desktop knows of no network: as working offline, nothing is sent and there is no
// error. A session opened once it is back calls again.
TEST_F(ServerSessionTest, NoNetworkSendsNothing)
{
    testpeers::NetworkManager network(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), testpeers::kNmAsleep);
    ASSERT_TRUE(network.started());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", network.busAddress().toUtf8());
    testpeers::MessageService service(dir_, {answers(kChannels, kOffers), false, {}, {}});
    ASSERT_TRUE(service.started());
    {
        ServerSession session(urlFor("http", service.port()));
        EXPECT_FALSE(session.IsConnected());
        EXPECT_TRUE(session.GetChannelsForMfgr(ServiceRequestMap("OVEX")).empty());
        EXPECT_TRUE(session.GetOffersForRecords(ServiceRequestMap("OVEX"), makeEntry()).empty());
    }
    EXPECT_EQ(service.received().size(), 0);

    ASSERT_TRUE(network.setState(testpeers::kNmConnectedGlobal));
    ServerSession session(urlFor("http", service.port()));
    EXPECT_TRUE(session.IsConnected());
    EXPECT_EQ(session.GetChannelsForMfgr(ServiceRequestMap("OVEX")).size(), 2u);
    EXPECT_EQ(service.received().size(), 1);
}

TEST_F(ServerSessionTest, UnusableUrlLeavesTheSessionUnconnected)
{
    for (const char* url : {"", "not a url", "ftp://files.example/veldora/vask/rpc/ovex.php",
                            "http://user:pw@127.0.0.1:1/veldora/vask/rpc/ovex.php"}) {
        ServerSession session(QString::fromUtf8(url));
        EXPECT_FALSE(session.IsConnected()) << url;
        EXPECT_TRUE(session.GetChannelsForMfgr(ServiceRequestMap("OVEX")).empty());
    }
}

// The POST goes to the URL's own path, host and port, over TLS exactly when it is https.
TEST_F(ServerSessionTest, UrlDecidesWhereAndHowTheCallGoes)
{
    testpeers::MessageService service(dir_, {answers(kChannels, kOffers), false, {}, {}});
    ASSERT_TRUE(service.started());

    ServerSession otherPath(QStringLiteral("http://127.0.0.1:%1/other/path.php").arg(service.port()));
    try {
        otherPath.GetChannelsForMfgr(ServiceRequestMap("OVEX"));
        ADD_FAILURE() << "no ProxyError";
    } catch (const ProxyError& e) {
        EXPECT_EQ(e.code(), -2);
        EXPECT_EQ(e.message(), "Invalid return code 404 from server");
    }
    ASSERT_EQ(service.received().size(), 1);
    EXPECT_EQ(service.received()[0].toObject()["path"].toString(), "/other/path.php");

    ServerSession tlsToPlain(urlFor("https", service.port()));
    EXPECT_THROW(tlsToPlain.GetChannelsForMfgr(ServiceRequestMap("OVEX")), ProxyError);
    EXPECT_EQ(service.received().size(), 1);
}

TEST_F(ServerSessionTest, TransportFailureBecomesProxyError)
{
    testpeers::RawServer server(dir_, httpReply("500 Internal Server Error", "Content-Length: 0\r\n", ""));
    ASSERT_TRUE(server.started());
    ServerSession session(urlFor("http", server.port()));
    try {
        session.GetChannelsForMfgr(ServiceRequestMap("OVEX"));
        FAIL() << "no ProxyError";
    } catch (const ProxyError& e) {
        EXPECT_EQ(e.code(), -2);
        EXPECT_EQ(e.message(), "Invalid return code 500 from server");
    }
}

// ---- Endpoints ---------------------------------------------------------------------

struct TestServiceCase {
    const char* name;
    const char* value;
    const char* testUrl;  // nullptr: the built-in test host
};

void PrintTo(const TestServiceCase& c, std::ostream* os)
{
    *os << c.name;
}

class EndpointTest : public ServerSessionTest, public ::testing::WithParamInterface<TestServiceCase> {};

TEST_P(EndpointTest, OnlyTheTestEndpointMoves)
{
    const QString production = MessageServiceUrl(false);
    const QString builtInTest = MessageServiceUrl(true);
    EXPECT_TRUE(production.startsWith("https://")) << production.toStdString();
    EXPECT_TRUE(production.endsWith(kServicePath));
    EXPECT_TRUE(builtInTest.startsWith("http://")) << builtInTest.toStdString();
    EXPECT_TRUE(builtInTest.endsWith(kServicePath));

    ::setenv("OVEXKELVO_TEST_SERVICE", GetParam().value, 1);
    EXPECT_EQ(MessageServiceUrl(false), production);
    EXPECT_EQ(MessageServiceUrl(true).toStdString(), GetParam().testUrl ? GetParam().testUrl : "");
}

INSTANTIATE_TEST_SUITE_P(
    Values, EndpointTest,
    ::testing::Values(TestServiceCase{"HostAndPort", "127.0.0.1:8123",
                                      "http://127.0.0.1:8123/veldora/vask/rpc/ovex.php"},
                      TestServiceCase{"NameOnly", "localhost", "http://localhost/veldora/vask/rpc/ovex.php"},
                      TestServiceCase{"Ipv6", "[::1]:9000", "http://[::1]:9000/veldora/vask/rpc/ovex.php"},
                      TestServiceCase{"PathSmuggledIn", "evil.example/steal?x=", nullptr},
                      TestServiceCase{"Credentials", "user@evil.example:80", nullptr},
                      TestServiceCase{"PortOutOfRange", "127.0.0.1:99999", nullptr},
                      TestServiceCase{"EmptyPort", "127.0.0.1:", nullptr}),
    [](const ::testing::TestParamInfo<TestServiceCase>& info) { return std::string(info.param.name); });

TEST_F(ServerSessionTest, RequestMapCarriesTheClientsLanguageAndVersion)
{
    client::runState().languageCode = "DEU";
    const RecordMap map = ServiceRequestMap(QStringLiteral("ACME"));
    client::runState().languageCode = "ENU";
    EXPECT_EQ(map, (RecordMap{{"mfgr", "ACME"}, {"lang", "DEU"}, {"vers", "0107"}}));
}

}  // namespace
