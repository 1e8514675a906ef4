// The registration server's client and the engine's XML-RPC request, through the internet
// library loaded by name, against the Python registration server over HTTPS (a throwaway
// authority) with its redirect documents on a plain-HTTP server beside it.
#include "regengine/core/ModalWait.h"
#include "regengine/transport/InetLoader.h"
#include "regengine/transport/InetWait.h"
#include "regengine/transport/StreamRPCToNet.h"
#include "regengine/transport/XmlRpcRequest.h"
#include "tests/peers/Peers.h"
#include "tests/regengine/transport/TransportTestSupport.h"
#include "tests/support/TestEnvironment.h"

#include "platform/ui/Ui.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QTimer>

#include <cstdlib>
#include <memory>

using namespace engine;

namespace {

const QString kBuilt = QStringLiteral(OVEX_INET_LIBRARY_DIR "/" OVEX_INET_LIBRARY_NAME);

// Answers every box with one button and remembers the texts.
class Answering final : public platform::MessageSink {
public:
    explicit Answering(int answer) : answer_(answer) {}
    int messageBox(const QString& text, const QString&, unsigned) override
    {
        texts << text;
        return answer_;
    }
    void beep(unsigned) override {}
    QStringList texts;

private:
    int answer_;
};

QJsonObject document(int status, const QString& body)
{
    return QJsonObject{{"status", status}, {"body", body}};
}

class RegistrationServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy",
                                 "NO_PROXY", "OVEX_CA_FILE"})
            ::unsetenv(name);
        dir_ = testsupport::sandboxRoot() + "/registration";
        certs_ = testpeers::makeCertificates(dir_);
        ::setenv("OVEX_CA_FILE", certs_.caFile.toUtf8().constData(), 1);
        ASSERT_TRUE(loader_.Load());
        loader_.Functions().setConnectedState(OVEX_INET_STATE_CONNECTED);
        SetCancelFlag(0);
    }

    void TearDown() override
    {
        platform::setMessageSink(nullptr);
        SetCancelFlag(0);
        if (loader_.IsLoaded())
            loader_.Functions().setConnectedState(OVEX_INET_STATE_CONNECTED);
    }

    // The HTTPS server with `methods`, and a plain one serving `documents` by path.
    void StartServers(const QJsonObject& methods, const QJsonObject& documents)
    {
        secure_ = std::make_unique<testpeers::RegistrationServer>(dir_, methods, &certs_);
        plain_ = std::make_unique<testpeers::RegistrationServer>(dir_, QJsonObject{{"documents", documents}});
        ASSERT_TRUE(secure_->started() && plain_->started());
        endpoints_.redirectUrl = PlainUrl("/droplocs/default.rpc");
        endpoints_.fallbackUrl = SecureUrl("/xmlrpc");
    }
    QString SecureUrl(const QString& path) const
    {
        return "https://localhost:" + QString::number(secure_->port()) + path;
    }
    QString PlainUrl(const QString& path) const { return "http://127.0.0.1:" + QString::number(plain_->port()) + path; }

    // The XML-RPC calls the HTTPS server received.
    QJsonArray Posts() const
    {
        QJsonArray posts;
        for (const auto& entry : secure_->received()) {
            if (entry.toObject().value("verb") == QLatin1String("POST"))
                posts.append(entry);
        }
        return posts;
    }

    QString dir_;
    testpeers::Certificates certs_;
    InetLoader loader_{{kBuilt}};
    RegistrationEndpoints endpoints_;
    std::unique_ptr<testpeers::RegistrationServer> secure_;
    std::unique_ptr<testpeers::RegistrationServer> plain_;
    transporttest::Lines display_;
};

TEST_F(RegistrationServerTest, TokenRegistrationAndUploadReachTheServerAsSent)
{
    StartServers({}, {});
    QJsonObject documents{{"/droplocs/ovex.rpc", document(200, SecureUrl("/veldora/reg") + "\r\n")}};
    plain_ = std::make_unique<testpeers::RegistrationServer>(dir_, QJsonObject{{"documents", documents}});
    ASSERT_TRUE(plain_->started());

    StreamRPCToNet net(&display_, &loader_, endpoints_);
    ASSERT_TRUE(net.Connect(PlainUrl("/droplocs/ovex.rpc"))) << display_.text.toStdString();
    EXPECT_EQ(net.GetHost(), "localhost");
    EXPECT_EQ(net.GetPort(), secure_->port());
    EXPECT_EQ(net.GetObjectPath(), "/veldora/reg/1");
    EXPECT_TRUE(net.IsSecure());

    QString token;
    ASSERT_TRUE(net.GenerateRegToken("OVX1", token));
    EXPECT_EQ(token, "tok-1");
    // The product code is the one given, never text found after a "PROD:" in the record.
    const QString record = QStringLiteral("MFGR:OVEX\tFNAM:Zoë & <Ünal>\tURID:tok-1\tNOTE:PROD:");
    ASSERT_TRUE(net.SendRegistration("OVX1", record));
    ASSERT_TRUE(net.AssociateDataWithRegistration("OVX1", token, "sysinfo", "CPU: 8 × x86-64\nRAM: 16 GB"));

    const QJsonArray posts = Posts();
    ASSERT_EQ(posts.size(), 3);
    for (const auto& post : posts) {
        EXPECT_EQ(post.toObject().value("path").toString(), "/veldora/reg/1");
        EXPECT_EQ(post.toObject().value("content_type").toString(), "text/xml");
    }
    const QJsonObject tokenCall = posts[0].toObject();
    EXPECT_EQ(tokenCall.value("method").toString(), "generateRegToken");
    EXPECT_EQ(tokenCall.value("params").toArray(), QJsonArray{"OVX1"});
    const QJsonArray sent = posts[1].toObject().value("params").toArray();
    EXPECT_EQ(posts[1].toObject().value("method").toString(), "sendRegistration");
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].toObject().value("text").toString(), "OVX1");
    EXPECT_EQ(sent[1].toObject().value("text").toString(), record);
    const QJsonArray upload = posts[2].toObject().value("params").toArray();
    EXPECT_EQ(posts[2].toObject().value("method").toString(), "associateDataWithRegistration");
    ASSERT_EQ(upload.size(), 4);
    EXPECT_EQ(upload[0].toObject().value("text").toString(), "OVX1");
    EXPECT_EQ(upload[1].toObject().value("text").toString(), "tok-1");
    EXPECT_EQ(upload[2].toString(), "sysinfo");
    EXPECT_EQ(upload[3].toObject().value("text").toString(), QStringLiteral("CPU: 8 × x86-64\nRAM: 16 GB"));
    EXPECT_TRUE(display_.text.contains("Attempting to connect to Internet."));
}

// What the redirect documents hold decides the server; whatever they say, the record goes
// only to an HTTPS server.
TEST_F(RegistrationServerTest, RedirectDocumentsAndTheirFallbacks)
{
    struct Case {
        const char* name;
        int status;         // of the script's document; 0: there is none
        const char* body;   // "%s" stands for the HTTPS server's port
        int builtInStatus;  // of the built-in document; 0: none
        bool connects;
        const char* path;  // the object path reached
    };
    const Case cases[] = {
        {"both documents missing: the fallback", 0, "", 0, true, "/xmlrpc/1"},
        {"an error status counts as missing", 500, "https://localhost:%s/named", 0, true, "/xmlrpc/1"},
        {"an empty document: the fallback", 200, "", 0, true, "/xmlrpc/1"},
        {"the script's document names the server", 200, "https://localhost:%s/named \n", 0, true, "/named/1"},
        {"the built-in document when the script's is missing", 0, "", 200, true, "/builtin/1"},
        {"a plain-HTTP server gives way to the HTTPS fallback", 200, "http://localhost:%s/named", 0, true, "/xmlrpc/1"},
        {"plain HTTP in capitals too", 200, "HTTP://localhost:%s/named", 0, true, "/xmlrpc/1"},
        {"plain HTTP once the suffix is added", 200, "http:/", 0, true, "/xmlrpc/1"},
        {"no scheme: bad URL", 200, "localhost:%s/named", 0, false, ""},
        {"no path after the host: bad URL", 200, "ftp://localhost:%s", 0, false, ""},
        {"another scheme: bad URL", 200, "ftp://localhost:%s/named", 0, false, ""},
        {"a port that is no number: bad URL", 200, "https://localhost:8x%s/named", 0, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        secure_ = std::make_unique<testpeers::RegistrationServer>(dir_, QJsonObject{}, &certs_);
        ASSERT_TRUE(secure_->started());
        const QString port = QString::number(secure_->port());
        QJsonObject documents;
        if (c.status != 0)
            documents["/mine.rpc"] = document(c.status, QString::fromUtf8(c.body).replace("%s", port));
        if (c.builtInStatus != 0)
            documents["/droplocs/default.rpc"] = document(c.builtInStatus, SecureUrl("/builtin"));
        plain_ = std::make_unique<testpeers::RegistrationServer>(dir_, QJsonObject{{"documents", documents}});
        ASSERT_TRUE(plain_->started());
        endpoints_.redirectUrl = PlainUrl("/droplocs/default.rpc");
        endpoints_.fallbackUrl = SecureUrl("/xmlrpc");
        display_.Clear();

        StreamRPCToNet net(&display_, &loader_, endpoints_);
        ASSERT_EQ(net.Connect(PlainUrl("/mine.rpc")), c.connects) << display_.text.toStdString();
        if (!c.connects) {
            EXPECT_TRUE(display_.text.endsWith("Bad URL.\r\n")) << display_.text.toStdString();
            EXPECT_FALSE(net.SendRegistration("OVX1", "PROD:OVX1\t"));
            EXPECT_TRUE(Posts().isEmpty());
            continue;
        }
        EXPECT_EQ(net.GetObjectPath(), c.path);
        EXPECT_TRUE(net.IsSecure());
        ASSERT_TRUE(net.SendRegistration("OVX1", "PROD:OVX1\t"));
        const QJsonArray posts = Posts();
        ASSERT_EQ(posts.size(), 1);
        EXPECT_EQ(posts[0].toObject().value("path").toString(), c.path);
    }
}

// A server's fault, a captive portal's page and an empty answer are all failures.
TEST_F(RegistrationServerTest, AFaultAPortalPageOrNoValueFailsTheCall)
{
    struct Case {
        const char* name;
        QJsonObject answer;
    };
    const Case cases[] = {
        {"a fault", QJsonObject{{"fault", QJsonArray{4, "No such product"}}}},
        {"an HTML page with status 200",
         QJsonObject{{"raw", "<html><body>Please log in to the hotel network</body></html>"}}},
        {"an empty methodResponse",
         QJsonObject{{"raw", "<?xml version=\"1.0\"?><methodResponse/>"}, {"content_type", "text/xml"}}},
        {"an empty body", QJsonObject{{"raw", ""}, {"content_type", "text/xml"}}},
        {"status 500", QJsonObject{{"raw", "oops"}, {"status", 500}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartServers(QJsonObject{{"sendRegistration", c.answer}, {"generateRegToken", c.answer}}, {});
        StreamRPCToNet net(&display_, &loader_, endpoints_);
        ASSERT_TRUE(net.Connect(QString()));
        EXPECT_FALSE(net.SendRegistration("OVX1", "PROD:OVX1\t"));
        QString token = "unchanged";
        EXPECT_FALSE(net.GenerateRegToken("OVX1", token));
        EXPECT_EQ(Posts().size(), 2);
    }
}

TEST_F(RegistrationServerTest, TheRequestReportsItsOwnCodesAndTexts)
{
    struct Case {
        const char* name;
        QJsonObject answer;
        bool ok;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {"a string", QJsonObject{{"result", "tok-9"}}, true, 0, ""},
        {"a fault", QJsonObject{{"fault", QJsonArray{4, "No such product"}}}, false, 4, "No such product"},
        {"status 404", QJsonObject{{"raw", "gone"}, {"status", 404}}, false, -2, "Invalid return code 404 from server"},
        {"an empty body", QJsonObject{{"raw", ""}, {"content_type", "text/xml"}}, false, -3,
         "Empty response from server"},
        {"a portal page", QJsonObject{{"raw", "<html>log in</html>"}}, false, -3, "Invalid server response"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartServers(QJsonObject{{"generateRegToken", c.answer}}, {});
        const InetLoader::Api& inet = loader_.Functions();
        OvexInetHandle session = inet.openSession("Veldora", OVEX_INET_FLAG_ASYNC);
        ASSERT_NE(session, nullptr);
        WinInetContext context;
        OvexInetHandle connection =
            inet.connect(session, "localhost", secure_->port(), reinterpret_cast<uintptr_t>(&context));
        ASSERT_NE(connection, nullptr);
        {
            XmlRpcRequest request(connection, "/xmlrpc/1", "generateRegToken", true, &loader_);
            request.AddString("OVX1");
            EXPECT_EQ(request.Execute(true), c.ok);
            EXPECT_EQ(request.GetErrorCode(), c.code);
            EXPECT_EQ(request.GetErrorText(), QString::fromUtf8(c.text));
            QString token;
            EXPECT_EQ(request.GetStringResult(token), c.ok);
        }
        inet.closeHandle(session);
    }
}

// A request that cannot be opened ends at once instead of waiting for a handle that never
// comes; a reply claiming more than the reader takes is refused before anything is allocated.
TEST_F(RegistrationServerTest, TheRequestNeitherWaitsForNothingNorAllocatesAClaim)
{
    const InetLoader::Api& inet = loader_.Functions();
    testpeers::RawServer huge(dir_,
                              "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"
                              "Content-Length: 900000000000\r\n\r\n<?xml");
    ASSERT_TRUE(huge.started());
    OvexInetHandle session = inet.openSession("Veldora", OVEX_INET_FLAG_ASYNC);
    ASSERT_NE(session, nullptr);
    WinInetContext context;
    OvexInetHandle connection = inet.connect(session, "127.0.0.1", huge.port(), reinterpret_cast<uintptr_t>(&context));
    ASSERT_NE(connection, nullptr);
    {
        XmlRpcRequest request(connection, "/xmlrpc/1", "sendRegistration", false, &loader_);
        request.AddBase64("PROD:OVX1");
        EXPECT_FALSE(request.Execute(true));
        EXPECT_EQ(request.GetErrorCode(), -2);
        EXPECT_EQ(request.GetErrorText(), "Invalid Content-Length from server");
    }
    inet.closeHandle(session);
    {
        XmlRpcRequest request(connection, "/xmlrpc/1", "sendRegistration", false, &loader_);
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(request.Execute(true));
        EXPECT_EQ(request.GetErrorCode(), -2);
        EXPECT_EQ(request.GetErrorText(), "Unable to send request");
        EXPECT_LT(timer.elapsed(), 5000);
    }
}

TEST_F(RegistrationServerTest, CancelEndsAWaitForASlowReply)
{
    StartServers(QJsonObject{{"delay", 20}}, {});
    StreamRPCToNet net(&display_, &loader_, endpoints_);
    ASSERT_TRUE(net.Connect(QString()));
    QTimer::singleShot(300, [] { SetCancelFlag(1); });
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(net.SendRegistration("OVX1", "PROD:OVX1\t"));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(CancelFlag(), 1);
}

TEST_F(RegistrationServerTest, WaitForFlagEndsOnTheFlagTheCancelOrTheTimeLimit)
{
    unsigned char flag = 0;
    QTimer::singleShot(20, [&flag] { flag = 1; });
    EXPECT_TRUE(WaitForFlag(flag, 0, true));

    flag = 0;
    transporttest::StepClock clock;
    EXPECT_FALSE(WaitForFlag(flag, 2, false, &clock));
    EXPECT_GT(clock.MonotonicMs(), 2000);

    SetCancelFlag(1);
    EXPECT_FALSE(WaitForFlag(flag, 0, true));
    EXPECT_FALSE(WaitForFlag(flag, 0, false, &clock));
}

TEST_F(RegistrationServerTest, WithoutTheInternetLibraryNothingIsTried)
{
    InetLoader missing(
        {testsupport::sandboxRoot() + QStringLiteral("/none/") + QStringLiteral(OVEX_INET_LIBRARY_NAME)});
    StreamRPCToNet net(&display_, &missing, endpoints_);
    EXPECT_FALSE(net.Connect("http://127.0.0.1:1/droplocs/default.rpc"));
    EXPECT_EQ(display_.text, "Checking for Internet connection.\r\nUnable to open an Internet connection.\r\n");
    QString token;
    EXPECT_FALSE(net.GenerateRegToken("OVX1", token));
}

TEST_F(RegistrationServerTest, WorkingOfflineAsksToGoOnline)
{
    StartServers({}, {});
    for (const int answer : {platform::id::No, platform::id::Yes}) {
        SCOPED_TRACE(answer);
        ASSERT_TRUE(loader_.Functions().setConnectedState(OVEX_INET_STATE_DISCONNECTED_BY_USER));
        Answering sink(answer);
        platform::setMessageSink(&sink);
        display_.Clear();
        StreamRPCToNet net(&display_, &loader_, endpoints_);
        EXPECT_EQ(net.Connect(QString()), answer == platform::id::Yes);
        ASSERT_EQ(sink.texts.size(), 1);
        EXPECT_TRUE(sink.texts[0].startsWith("To complete your registration, your computer needs to go online."));
        EXPECT_EQ(display_.text.contains("Unable to open an Internet connection."), answer == platform::id::No);
        EXPECT_EQ(loader_.IsWorkingOffline(), answer == platform::id::No);
    }
}

TEST_F(RegistrationServerTest, WithTheNetworkDownNothingIsSent)
{
    StartServers({}, {});
    testpeers::NetworkManager network(QStringLiteral(OVEX_NETWORK_MANAGER_PEER), testpeers::kNmAsleep);
    ASSERT_TRUE(network.started());
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", network.busAddress().toUtf8());
    StreamRPCToNet net(&display_, &loader_, endpoints_);
    EXPECT_FALSE(net.Connect(QString()));
    qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    EXPECT_TRUE(display_.text.endsWith("Unable to open an Internet connection.\r\n"));
    EXPECT_TRUE(secure_->received().isEmpty());
    EXPECT_TRUE(plain_->received().isEmpty());
}

// A proxy that wants credentials: each answer of the prompt may try again, a few times at
// most, and then the documents count as missing.
TEST_F(RegistrationServerTest, AProxyAskingForCredentialsIsRetriedAFewTimes)
{
    StartServers({}, {});
    testpeers::RawServer proxy(dir_,
                               "HTTP/1.1 407 Proxy Authentication Required\r\n"
                               "Proxy-Authenticate: Basic realm=\"office\"\r\nContent-Length: 0\r\n\r\n");
    ASSERT_TRUE(proxy.started());
    ::setenv("http_proxy", ("http://127.0.0.1:" + QByteArray::number(proxy.port())).constData(), 1);
    int asked = 0;
    StreamRPCToNet net(&display_, &loader_, endpoints_);
    net.SetProxyPrompt([&asked] {
        ++asked;
        return true;
    });
    EXPECT_TRUE(net.Connect(PlainUrl("/mine.rpc")));
    ::unsetenv("http_proxy");
    // Three retries for each of the two documents, then the HTTPS fallback, which needs no
    // proxy.
    EXPECT_EQ(asked, 2 * StreamRPCToNet::kMaxProxyRetries);
    EXPECT_EQ(net.GetObjectPath(), "/xmlrpc/1");
    EXPECT_TRUE(plain_->received().isEmpty());
}

}  // namespace
