#pragma once

#include "regengine/transport/InetWait.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace engine {

class Displayer;
class InetLoader;

// Where the registration server is learnt from when the page script's redirect document
// cannot be had, and the server used when no redirect document answers. Fixed at build time.
struct RegistrationEndpoints {
    QString redirectUrl = QStringLiteral(OVEX_REGISTRATION_REDIRECT_URL);  // plain HTTP
    QString fallbackUrl = QStringLiteral(OVEX_REGISTRATION_FALLBACK_URL);  // HTTPS
};

// The engine's connection to the registration server: brings the computer online when the
// user agrees, learns the server's URL from a redirect document, connects, and offers the
// server's three methods, each one XmlRpcRequest on the connection. Progress texts go to the
// displayer, from string table "RFTP". Personal data goes only to an HTTPS server (the
// internet library verifies its certificate): a redirect document, fetched as it may be over
// plain HTTP, that names a plain-HTTP server is not followed.
class StreamRPCToNet {
public:
    // Asked on a 407 from a proxy; true tries the request again.
    using ProxyPrompt = std::function<bool()>;
    // A proxy is asked this many times at most for one document.
    static constexpr int kMaxProxyRetries = 3;
    // Bytes of a redirect document that are read.
    static constexpr qsizetype kRedirectLimit = 500;

    // A server URL split by hand: the scheme before the first "://", the host part up to the
    // first "/" after it, the path from there. False for anything else, an empty host, or a
    // port that is not a number of 1..65535 (0 when none is given).
    struct ServerUrl {
        QString scheme;
        QString host;
        quint16 port = 0;
        QString path;
    };
    static bool SplitServerUrl(const QString& url, ServerUrl& out);
    // The server URL a redirect document names (its first kRedirectLimit bytes, trailing
    // white space cut), `fallback` when it is empty or names a plain-HTTP server, with "/1"
    // appended.
    static QString ServerUrlFromDocument(const QByteArray& document, const QString& fallback);

    // `displayer` (may be null) and `loader` (null: the process-wide binding) are not owned.
    explicit StreamRPCToNet(Displayer* displayer, InetLoader* loader = nullptr,
                            RegistrationEndpoints endpoints = RegistrationEndpoints());
    ~StreamRPCToNet();
    StreamRPCToNet(const StreamRPCToNet&) = delete;
    StreamRPCToNet& operator=(const StreamRPCToNet&) = delete;

    void SetProxyPrompt(ProxyPrompt prompt) { proxyPrompt_ = std::move(prompt); }

    // Closes the session and everything made from it.
    void Reset();
    void Display(const QString& text);
    // Entry `n` of table "RFTP", else `fallback`.
    void DisplayString(const QString& fallback, int n);

    // Online, session, the server's URL from the redirect document at `redirectLocation`,
    // and the connection. False, after showing why, leaves the object reset.
    bool Connect(const QString& redirectLocation);
    bool GenerateRegToken(const QString& productCode, QString& token);
    // `productCode` is the header record's "PROD"; `text` the whole registration record.
    bool SendRegistration(const QString& productCode, const QString& text);
    bool AssociateDataWithRegistration(const QString& productCode, const QString& token, const QString& name,
                                       const QString& data);

    // The server Connect reached.
    const QString& GetServerUrl() const { return serverUrl_; }
    const QString& GetHost() const { return host_; }
    quint16 GetPort() const { return port_; }
    const QString& GetObjectPath() const { return objectPath_; }
    bool IsSecure() const { return secure_; }

private:
    bool FindServerUrl(const QString& redirectLocation, QString& url);
    void HttpGet(const QString& url);
    void CloseRedirect();
    bool Fail(int text, const QString& fallback);

    Displayer* displayer_;
    InetLoader& loader_;
    RegistrationEndpoints endpoints_;
    ProxyPrompt proxyPrompt_;
    OvexInetHandle session_ = nullptr;
    OvexInetHandle connection_ = nullptr;
    OvexInetHandle redirectConnection_ = nullptr;
    OvexInetHandle request_ = nullptr;
    // The handles' contexts: they must outlive them.
    WinInetContext connectContext_;
    WinInetContext redirectConnectContext_;
    WinInetContext requestContext_;
    QString serverUrl_;
    QString host_;
    quint16 port_ = 0;
    QString objectPath_;
    bool secure_ = false;
};

}  // namespace engine
