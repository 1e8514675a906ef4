#include "regengine/transport/StreamRPCToNet.h"

#include "regengine/core/Displayer.h"
#include "regengine/core/EngineTrace.h"
#include "regengine/core/FourCC.h"
#include "regengine/core/ModalWait.h"
#include "regengine/core/StringTableMgr.h"
#include "regengine/transport/InetLoader.h"
#include "regengine/transport/XmlRpcRequest.h"

#include "platform/text/Format.h"
#include "platform/ui/Ui.h"

#include <QByteArray>

namespace engine {

namespace {

using platform::formatText;

const FourCC kTable("RFTP");

QString tableText(int n, const char* fallback)
{
    return GetTableString(QString::fromUtf8(fallback), n, kTable);
}

constexpr int kChecking = 1, kNoConnection = 2, kAttempting = 3, kNoSite = 4, kBadUrl = 9, kGoOnline = 10;
const char* const kTexts[] = {
    "",
    "Checking for Internet connection.",
    "Unable to open an Internet connection.",
    "Attempting to connect to Internet.",
    "Unable to connect to site.",
    "",
    "",
    "",
    "",
    "Bad URL.",
    "To complete your registration, your computer needs to go online.\n\nDo you want to connect to the Internet?",
};

QString trimmedRight(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

}  // namespace

bool StreamRPCToNet::SplitServerUrl(const QString& url, ServerUrl& out)
{
    out = ServerUrl();
    const qsizetype mark = url.indexOf(QStringLiteral("://"));
    if (mark < 0)
        return false;
    out.scheme = url.left(mark);
    const QString rest = url.mid(mark + 3);
    const qsizetype slash = rest.indexOf(u'/');
    if (slash < 0)
        return false;
    QString hostPart = rest.left(slash);
    out.path = rest.mid(slash);
    const qsizetype colon = hostPart.indexOf(u':');
    if (colon >= 0) {
        const QString digits = hostPart.mid(colon + 1);
        bool ok = !digits.isEmpty();
        for (QChar c : digits)
            ok = ok && c >= u'0' && c <= u'9';
        const uint number = ok ? digits.toUInt(&ok) : 0;
        if (!ok || number == 0 || number > 65535)
            return false;
        out.port = quint16(number);
        hostPart = hostPart.left(colon);
    }
    out.host = hostPart;
    return !out.host.isEmpty();
}

QString StreamRPCToNet::ServerUrlFromDocument(const QByteArray& document, const QString& fallback)
{
    QString url = trimmedRight(QString::fromLatin1(document.left(kRedirectLimit)));
    if (url.isEmpty())
        url = fallback;
    url = trimmedRight(url) + QStringLiteral("/1");
    // The document may come over plain HTTP, so anyone on the way can rewrite it; a
    // plain-HTTP server in it gives way to the built-in HTTPS one. Judged on the URL as it
    // will be used: "http:/" becomes "http://1" once the "/1" is added.
    const qsizetype mark = url.indexOf(QStringLiteral("://"));
    if (mark >= 0 && QStringView(url).left(mark).compare(u"http", Qt::CaseInsensitive) == 0) {
        EngineTrace(
            formatText(QStringLiteral("Not sending to plain HTTP %s; using fallback URL of %s"), url, fallback));
        url = trimmedRight(fallback) + QStringLiteral("/1");
    }
    return url;
}

StreamRPCToNet::StreamRPCToNet(Displayer* displayer, InetLoader* loader, RegistrationEndpoints endpoints)
    : displayer_(displayer), loader_(loader != nullptr ? *loader : InetLoader::Instance()),
      endpoints_(std::move(endpoints))
{
    loader_.Load();
}

StreamRPCToNet::~StreamRPCToNet()
{
    Reset();
}

void StreamRPCToNet::Reset()
{
    if (!loader_.IsLoaded())
        return;
    // Closing the session closes what was made from it, so no callback outlives a context.
    if (session_ != nullptr)
        loader_.Functions().closeHandle(session_);
    session_ = connection_ = redirectConnection_ = request_ = nullptr;
    connectContext_ = redirectConnectContext_ = requestContext_ = WinInetContext();
}

void StreamRPCToNet::Display(const QString& text)
{
    if (displayer_ != nullptr)
        displayer_->WriteLine(text, true);
}

void StreamRPCToNet::DisplayString(const QString& fallback, int n)
{
    Display(GetTableString(fallback, n, kTable));
}

bool StreamRPCToNet::Fail(int text, const QString& trace)
{
    if (!trace.isEmpty())
        EngineTrace(trace);
    if (text != 0)
        Display(tableText(text, kTexts[text]));
    Reset();
    return false;
}

bool StreamRPCToNet::Connect(const QString& redirectLocation)
{
    Display(tableText(kChecking, kTexts[kChecking]));
    EngineTrace(QStringLiteral("Checking for Internet libraries"));
    if (!loader_.Load())
        return Fail(kNoConnection, QStringLiteral("Can't load WININET"));
    const InetLoader::Api& inet = loader_.Functions();

    EngineTrace(QStringLiteral("Checking online status"));
    if (loader_.IsWorkingOffline()) {
        EngineTrace(QStringLiteral("User is offline"));
        const int answer = platform::messageBox(tableText(kGoOnline, kTexts[kGoOnline]), QStringLiteral("Question"),
                                                platform::mb::YesNo | platform::mb::IconQuestion);
        if (answer != platform::id::Yes)
            return Fail(kNoConnection, QStringLiteral("User doesn't want to switch to online mode"));
        EngineTrace(QStringLiteral("Switching to online mode"));
        if (!inet.setConnectedState(OVEX_INET_STATE_CONNECTED))
            return Fail(kNoConnection, QStringLiteral("Unable to switch to online mode"));
    }
    // Also where the desktop knows of no network at all.
    EngineTrace(QStringLiteral("Calling InternetAttemptConnect()"));
    if (inet.attemptConnect() != OVEX_INET_ERROR_SUCCESS)
        return Fail(kNoConnection, QStringLiteral("InternetAttemptConnect() failed"));

    Reset();
    Display(tableText(kAttempting, kTexts[kAttempting]));
    EngineTrace(QStringLiteral("Creating Internet handle"));
    session_ = inet.openSession("Veldora", OVEX_INET_FLAG_ASYNC);
    EngineTrace(formatText(QStringLiteral("Internet handle created as %#x"), quintptr(session_)));
    if (session_ == nullptr)
        return Fail(kNoConnection, QStringLiteral("Unable to create handle"));
    if (!inet.setStatusCallback(session_, &WinInetStatusCallback, nullptr))
        return Fail(0, QStringLiteral("Unable to set status callback"));

    QString url;
    // A cancel is the user's own doing: it ends the run without an error text.
    if (!FindServerUrl(redirectLocation, url))
        return CancelFlag() != 0 ? Fail(0, QStringLiteral("Cancelled by user"))
                                 : Fail(kNoSite, QStringLiteral("Unable to get redirect"));
    EngineTrace(formatText(QStringLiteral("Got registration URL %s"), url));
    ServerUrl parts;
    if (!SplitServerUrl(url, parts))
        return Fail(kBadUrl, formatText(QStringLiteral("Bad registration URL %s"), url));
    // The registration carries personal data: never over plain HTTP.
    if (parts.scheme != u"https")
        return Fail(kBadUrl, formatText(QStringLiteral("Not an HTTPS URL: %s"), url));
    secure_ = true;
    port_ = parts.port != 0 ? parts.port : 443;
    host_ = parts.host;
    objectPath_ = parts.path;
    serverUrl_ = url;

    EngineTrace(formatText(QStringLiteral("Connecting to registration server %s:%d"), host_, port_));
    connectContext_ = WinInetContext();
    connectContext_.handleSlot = &connection_;
    const QByteArray hostBytes = host_.toUtf8();
    const OvexInetHandle made =
        inet.connect(session_, hostBytes.constData(), port_, reinterpret_cast<uintptr_t>(&connectContext_));
    if (made == nullptr)
        return Fail(kNoSite, formatText(QStringLiteral("Unable to connect (error %d)"), inet.lastError()));
    if (!WaitForFlag(connectContext_.handleCreated, 0, true))
        return Fail(0, QStringLiteral("Cancelled by user"));
    connection_ = made;
    return true;
}

bool StreamRPCToNet::FindServerUrl(const QString& redirectLocation, QString& url)
{
    url.clear();
    HttpGet(redirectLocation);
    if (request_ == nullptr && CancelFlag() == 0)
        HttpGet(endpoints_.redirectUrl);
    if (CancelFlag() != 0)
        return false;
    if (request_ == nullptr) {
        url = endpoints_.fallbackUrl;
        EngineTrace(formatText(QStringLiteral("Using fallback URL of %s"), url));
    } else {
        EngineTrace(QStringLiteral("Reading registration server data"));
        const InetLoader::Api& inet = loader_.Functions();
        QByteArray bytes(kRedirectLimit, Qt::Uninitialized);
        qsizetype have = 0;
        bool failed = false;
        while (have < kRedirectLimit) {
            size_t got = 0;
            requestContext_.requestComplete = 0;
            if (!inet.read(request_, bytes.data() + have, size_t(kRedirectLimit - have), &got)) {
                if (inet.lastError() == OVEX_INET_ERROR_IO_PENDING &&
                    WaitForFlag(requestContext_.requestComplete, 0, true) && requestContext_.result != 0)
                    continue;
                failed = true;
                break;
            }
            if (got == 0)
                break;
            have += qsizetype(got);
        }
        CloseRedirect();
        if (failed) {
            EngineTrace(QStringLiteral("Unable to read from server"));
            return false;
        }
        url = ServerUrlFromDocument(QByteArray(bytes.constData(), have), endpoints_.fallbackUrl);
        return true;
    }
    url = trimmedRight(url) + QStringLiteral("/1");
    return true;
}

void StreamRPCToNet::CloseRedirect()
{
    const InetLoader::Api& inet = loader_.Functions();
    if (redirectConnection_ != nullptr)
        inet.closeHandle(redirectConnection_);
    redirectConnection_ = request_ = nullptr;
}

void StreamRPCToNet::HttpGet(const QString& url)
{
    const InetLoader::Api& inet = loader_.Functions();
    CloseRedirect();
    EngineTrace(formatText(QStringLiteral("Parsing URL %s"), url));
    const QByteArray urlBytes = url.toUtf8();
    QByteArray host(urlBytes.size() + 1, '\0');
    QByteArray path(urlBytes.size() + 2, '\0');
    OvexInetUrlParts parts{0, host.data(), size_t(host.size()), 0, path.data(), size_t(path.size())};
    if (url.isEmpty() || !inet.splitUrl(urlBytes.constData(), &parts))
        return;
    EngineTrace(formatText(QStringLiteral("Connecting to %s:%d"), host.constData(), parts.port));
    redirectConnectContext_ = WinInetContext();
    redirectConnection_ =
        inet.connect(session_, host.constData(), parts.port, reinterpret_cast<uintptr_t>(&redirectConnectContext_));
    if (redirectConnection_ == nullptr)
        return;
    if (!WaitForFlag(redirectConnectContext_.handleCreated, 0, true)) {
        EngineTrace(QStringLiteral("Cancelled by user"));
        return CloseRedirect();
    }

    // The layer sends a request once, so a retry after a proxy's 407 opens it afresh.
    for (int proxyAsked = 0;; ++proxyAsked) {
        EngineTrace(formatText(QStringLiteral("Opening request for %s"), path.constData()));
        if (request_ != nullptr)
            inet.closeHandle(request_);
        requestContext_ = WinInetContext();
        // An https location is fetched over TLS: the secure flag follows the scheme.
        const uint32_t flags = OVEX_INET_FLAG_RELOAD | OVEX_INET_FLAG_KEEP_CONNECTION |
                               (parts.scheme == OVEX_INET_SCHEME_HTTPS ? OVEX_INET_FLAG_SECURE : 0u);
        request_ = inet.openRequest(redirectConnection_, "GET", path.constData(), nullptr, flags,
                                    reinterpret_cast<uintptr_t>(&requestContext_));
        if (request_ == nullptr)
            return CloseRedirect();
        if (!WaitForFlag(requestContext_.handleCreated, 0, true)) {
            EngineTrace(QStringLiteral("Cancelled by user"));
            return CloseRedirect();
        }

        EngineTrace(QStringLiteral("Sending request"));
        requestContext_.requestComplete = 0;
        bool sent = inet.sendRequest(request_, nullptr, nullptr, 0) != 0;
        if (!sent && inet.lastError() == OVEX_INET_ERROR_IO_PENDING) {
            if (!WaitForFlag(requestContext_.requestComplete, 0, true)) {
                EngineTrace(QStringLiteral("Cancelled by user"));
                return CloseRedirect();
            }
            sent = requestContext_.result != 0;
        }
        uint32_t status = 0;
        if (!sent || !inet.queryStatusCode(request_, &status)) {
            EngineTrace(QStringLiteral("Unable to query HTTP header info for response"));
            return CloseRedirect();
        }
        EngineTrace(formatText(QStringLiteral("Got HTTP return code of %d"), status));
        if (status == 407) {
            EngineTrace(QStringLiteral("Proxy authentication required"));
            if (proxyAsked < kMaxProxyRetries && proxyPrompt_ && proxyPrompt_())
                continue;
        }
        if (status >= 300)
            CloseRedirect();
        return;
    }
}

bool StreamRPCToNet::GenerateRegToken(const QString& productCode, QString& token)
{
    if (connection_ == nullptr)
        return false;
    XmlRpcRequest request(connection_, objectPath_, QStringLiteral("generateRegToken"), secure_, &loader_);
    request.AddString(productCode);
    if (!request.Execute(true)) {
        EngineTrace(formatText(QStringLiteral("Got RPC error %d while calling generateRegToken: %s"),
                               request.GetErrorCode(), request.GetErrorText()));
        return false;
    }
    if (!request.GetStringResult(token)) {
        EngineTrace(QStringLiteral("Unable to convert return value to QmString."));
        return false;
    }
    EngineTrace(formatText(QStringLiteral("Generated unique reg token %s"), token));
    return true;
}

bool StreamRPCToNet::SendRegistration(const QString& productCode, const QString& text)
{
    if (connection_ == nullptr)
        return false;
    XmlRpcRequest request(connection_, objectPath_, QStringLiteral("sendRegistration"), secure_, &loader_);
    request.AddBase64(productCode);
    request.AddBase64(text);
    if (!request.Execute(true)) {
        EngineTrace(formatText(QStringLiteral("Got RPC error %d while calling sendRegistration: %s"),
                               request.GetErrorCode(), request.GetErrorText()));
        return false;
    }
    EngineTrace(QStringLiteral("Registration successful"));
    return true;
}

bool StreamRPCToNet::AssociateDataWithRegistration(const QString& productCode, const QString& token,
                                                   const QString& name, const QString& data)
{
    if (connection_ == nullptr)
        return false;
    XmlRpcRequest request(connection_, objectPath_, QStringLiteral("associateDataWithRegistration"), secure_, &loader_);
    request.AddBase64(productCode);
    request.AddBase64(token);
    request.AddString(name);
    request.AddBase64(data);
    if (!request.Execute(true)) {
        EngineTrace(formatText(QStringLiteral("Got RPC error %d while calling associateDataWithRegistration: %s"),
                               request.GetErrorCode(), request.GetErrorText()));
        return false;
    }
    EngineTrace(formatText(QStringLiteral("Uploaded data for %s"), name));
    return true;
}

}  // namespace engine
