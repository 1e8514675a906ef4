// Requests as curl transfers: setting them up, collecting the response, and the multi
// handles that run them.
#include "platform/inet/InetObjects.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>

namespace ovexinet {
namespace {

// A reader that falls behind stops the transfer here instead of buffering without end.
constexpr size_t kMaxBuffered = size_t(1) << 20;

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

// Collects the header block of the final response. A 1xx block is dropped when the next
// status line arrives; lines after the final block (chunked trailers) are ignored.
size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* r = static_cast<Request*>(user);
    const size_t length = size * count;
    if (r->headersDone)
        return length;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    if (line.substr(0, 5) == "HTTP/") {
        r->headers.clear();
        r->status = 0;
        const size_t space = line.find(' ');
        if (space != std::string_view::npos) {
            uint32_t code = 0;
            int digits = 0;
            for (size_t i = space + 1; i < line.size() && digits < 3 && line[i] >= '0' && line[i] <= '9'; ++i, ++digits)
                code = code * 10 + uint32_t(line[i] - '0');
            r->status = digits == 3 ? code : 0;
        }
        return length;
    }
    if (line.empty()) {
        if (r->status >= 200)
            r->headersDone = true;
        return length;
    }
    if ((line.front() == ' ' || line.front() == '\t') && !r->headers.empty()) {
        r->headers.back().second += ' ';
        r->headers.back().second += trim(line);
        return length;
    }
    const size_t colon = line.find(':');
    if (colon != std::string_view::npos)
        r->headers.emplace_back(std::string(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1))));
    return length;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* r = static_cast<Request*>(user);
    const size_t length = size * count;
    if (r->buffered() >= kMaxBuffered) {
        r->paused = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (r->readOffset > 0 && r->readOffset >= r->received.size() / 2) {
        r->received.erase(0, r->readOffset);
        r->readOffset = 0;
    }
    r->received.append(data, length);
    r->headersDone = true;
    return length;
}

int64_t nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The idle time-out. curl's own low-speed check averages over several seconds, so a
// server that went quiet right after taking the request would get that much longer;
// this one counts from the last byte either way. A paused transfer is waiting for our
// reader, not for the server, so it is never idle.
int onProgress(void* user, curl_off_t, curl_off_t down, curl_off_t, curl_off_t up)
{
    auto* r = static_cast<Request*>(user);
    const int64_t now = nowMs();
    if (down != r->seenDown || up != r->seenUp || r->paused) {
        r->seenDown = down;
        r->seenUp = up;
        r->lastActivityMs = now;
        return 0;
    }
    if (now - r->lastActivityMs >= r->connection->session->idleTimeoutMs) {
        r->idleExpired = true;
        return 1;
    }
    return 0;
}

// Header lines from the caller: each must be one "Name: value" line.
bool appendCallerHeaders(Request& r, const char* headers, bool* hasContentType)
{
    if (headers == nullptr)
        return true;
    std::string_view rest(headers);
    while (!rest.empty()) {
        size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        const size_t colon = line.find(':');
        if (colon == 0 || colon == std::string_view::npos || line.find('\r') != std::string_view::npos ||
            line.find('\0') != std::string_view::npos)
            return false;
        std::string name(trim(line.substr(0, colon)));
        // ASCII only, whatever the locale: header names are ASCII.
        std::transform(name.begin(), name.end(), name.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
        if (name == "content-type")
            *hasContentType = true;
        curl_slist* grown = curl().slist_append(r.headerList, std::string(line).c_str());
        if (grown == nullptr)
            return false;
        r.headerList = grown;
    }
    return true;
}

}  // namespace

uint32_t errorFromCurl(CURLcode code)
{
    switch (code) {
    case CURLE_OK: return OVEX_INET_ERROR_SUCCESS;
    case CURLE_URL_MALFORMAT: return OVEX_INET_ERROR_INVALID_URL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST: return OVEX_INET_ERROR_NAME_NOT_RESOLVED;
    case CURLE_COULDNT_CONNECT: return OVEX_INET_ERROR_CANNOT_CONNECT;
    case CURLE_OPERATION_TIMEDOUT: return OVEX_INET_ERROR_TIMEOUT;
    case CURLE_SSL_CONNECT_ERROR: return OVEX_INET_ERROR_SECURITY_CHANNEL_ERROR;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH: return OVEX_INET_ERROR_SECURE_FAILURE;
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE: return OVEX_INET_ERROR_CONNECTION_ABORTED;
    case CURLE_RECV_ERROR: return OVEX_INET_ERROR_CONNECTION_RESET;
    case CURLE_UNSUPPORTED_PROTOCOL:  // also what an HTTP/0.9 answer (no status line) gives
    case CURLE_GOT_NOTHING:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3: return OVEX_INET_ERROR_INVALID_SERVER_RESPONSE;
    case CURLE_OUT_OF_MEMORY: return OVEX_INET_ERROR_NOT_ENOUGH_MEMORY;
    case CURLE_ABORTED_BY_CALLBACK: return OVEX_INET_ERROR_OPERATION_CANCELLED;
    default: return OVEX_INET_ERROR_INTERNAL;
    }
}

uint32_t transferError(const Request& r)
{
    return r.idleExpired ? OVEX_INET_ERROR_TIMEOUT : errorFromCurl(r.result);
}

// ---- Requests ----------------------------------------------------------------------

Request::~Request()
{
    stopTransfer();
}

void Request::stopTransfer()
{
    if (easy != nullptr) {
        if (inMulti && host != nullptr)
            host->remove(*this);
        curl().easy_cleanup(easy);
        easy = nullptr;
    }
    if (headerList != nullptr) {
        curl().slist_free_all(headerList);
        headerList = nullptr;
    }
    sendPending = readPending = false;
}

void Request::resume()
{
    if (paused && easy != nullptr && buffered() < kMaxBuffered / 2) {
        paused = false;
        // Pending data may be delivered to onBody from inside this call.
        curl().easy_pause(easy, CURLPAUSE_CONT);
    }
}

bool prepareTransfer(Request& r, const char* headers)
{
    const Session& session = *r.connection->session;
    r.easy = curl().easy_init();
    if (r.easy == nullptr) {
        setLastError(OVEX_INET_ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    CURL* e = r.easy;
    bool hasContentType = false;
    if (!r.accept.empty())
        r.headerList = curl().slist_append(r.headerList, ("Accept: " + r.accept).c_str());
    if (r.flags & OVEX_INET_FLAG_PRAGMA_NOCACHE)
        r.headerList = curl().slist_append(r.headerList, "Pragma: no-cache");
    if (!appendCallerHeaders(r, headers, &hasContentType)) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return false;
    }
    // curl would otherwise wait for "100 Continue" on large bodies, which plain servers
    // never send, and label a bare POST as a form.
    r.headerList = curl().slist_append(r.headerList, "Expect:");
    if (!hasContentType)
        r.headerList = curl().slist_append(r.headerList, "Content-Type:");
    if (r.headerList == nullptr) {
        setLastError(OVEX_INET_ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }

    bool ok = true;
    auto set = [&ok](CURLcode rc) { ok = ok && rc == CURLE_OK; };
    set(curl().easy_setopt(e, CURLOPT_URL, r.url.c_str()));
    set(curl().easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https"));
    set(curl().easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L));
    set(curl().easy_setopt(e, CURLOPT_NOSIGNAL, 1L));
    set(curl().easy_setopt(e, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1)));
    set(curl().easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L));
    set(curl().easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L));
    if (!session.caFile.empty()) {
        set(curl().easy_setopt(e, CURLOPT_CAINFO, session.caFile.c_str()));
        set(curl().easy_setopt(e, CURLOPT_CAPATH, static_cast<char*>(nullptr)));
    }
    set(curl().easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L));
    set(curl().easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, session.connectTimeoutMs));
    // curl's low-speed check stays on as a backstop; it also keeps curl waking once a
    // second, which is when onProgress looks at the idle clock.
    r.lastActivityMs = nowMs();
    set(curl().easy_setopt(e, CURLOPT_NOPROGRESS, 0L));
    set(curl().easy_setopt(e, CURLOPT_XFERINFOFUNCTION, onProgress));
    set(curl().easy_setopt(e, CURLOPT_XFERINFODATA, &r));
    set(curl().easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L));
    set(curl().easy_setopt(e, CURLOPT_LOW_SPEED_TIME, std::max(1L, (session.idleTimeoutMs + 999) / 1000)));
    if (!session.agent.empty())
        set(curl().easy_setopt(e, CURLOPT_USERAGENT, session.agent.c_str()));
    set(curl().easy_setopt(e, CURLOPT_HTTPHEADER, r.headerList));
    set(curl().easy_setopt(e, CURLOPT_HEADERFUNCTION, onHeader));
    set(curl().easy_setopt(e, CURLOPT_HEADERDATA, &r));
    set(curl().easy_setopt(e, CURLOPT_WRITEFUNCTION, onBody));
    set(curl().easy_setopt(e, CURLOPT_WRITEDATA, &r));
    set(curl().easy_setopt(e, CURLOPT_PRIVATE, &r));
    set(curl().easy_setopt(e, CURLOPT_ERRORBUFFER, r.errorText));
    if (r.verb == "GET") {
        set(curl().easy_setopt(e, CURLOPT_HTTPGET, 1L));
    } else if (r.verb == "HEAD") {
        set(curl().easy_setopt(e, CURLOPT_NOBODY, 1L));
    } else {
        set(curl().easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(r.body.size())));
        set(curl().easy_setopt(e, CURLOPT_POSTFIELDS, r.body.data()));
        if (r.verb != "POST")
            set(curl().easy_setopt(e, CURLOPT_CUSTOMREQUEST, r.verb.c_str()));
    }
    if (!ok) {
        setLastError(OVEX_INET_ERROR_INTERNAL);
        return false;
    }
    return true;
}

// ---- Multi hosts -------------------------------------------------------------------

MultiHost::MultiHost(bool async) : multi_(curl().multi_init()), async_(async) {}

MultiHost::~MultiHost()
{
    if (multi_ != nullptr)
        curl().multi_cleanup(multi_);
}

bool MultiHost::add(const std::shared_ptr<Request>& request)
{
    if (multi_ == nullptr || curl().multi_add_handle(multi_, request->easy) != CURLM_OK)
        return false;
    request->inMulti = true;
    active_.push_back(request);
    return true;
}

void MultiHost::remove(Request& request)
{
    if (request.inMulti) {
        curl().multi_remove_handle(multi_, request.easy);
        request.inMulti = false;
    }
}

void MultiHost::afterActivity()
{
    int left = 0;
    while (CURLMsg* msg = curl().multi_info_read(multi_, &left)) {
        if (msg->msg != CURLMSG_DONE)
            continue;
        Request* r = nullptr;
        curl().easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &r);
        if (r == nullptr)
            continue;
        r->finished = true;
        r->result = msg->data.result;
        if (r->result == CURLE_OK && r->status != 0)
            r->headersDone = true;
        remove(*r);
    }

    // A callback below may start or close requests, or run a nested event loop that comes
    // back here, so work on a copy.
    std::vector<std::weak_ptr<Request>> snapshot;
    snapshot.swap(active_);
    std::vector<std::pair<std::shared_ptr<Request>, OvexInetAsyncResult>> due;
    for (const std::weak_ptr<Request>& weak : snapshot) {
        std::shared_ptr<Request> r = weak.lock();
        if (!r || r->closed)
            continue;
        if (r->sendPending && (r->headersDone || r->finished)) {
            r->sendPending = false;
            const bool ok = r->headersDone;
            due.push_back({r, {ok ? 1u : 0u, ok ? 0u : transferError(*r)}});
        } else if (r->readPending && (r->buffered() > 0 || r->finished)) {
            r->readPending = false;
            const bool ok = !r->failed() || r->buffered() > 0;
            due.push_back({r, {ok ? 1u : 0u, ok ? 0u : transferError(*r)}});
        }
        if (!r->finished || r->sendPending || r->readPending)
            active_.push_back(r);
    }
    for (auto& [r, outcome] : due)
        r->notify(OVEX_INET_STATUS_REQUEST_COMPLETE, &outcome, sizeof outcome);
}

void MultiHost::runUntil(const std::function<bool()>& done)
{
    for (;;) {
        int running = 0;
        const CURLMcode rc = curl().multi_perform(multi_, &running);
        afterActivity();
        if (done() || rc != CURLM_OK || running == 0)
            return;
        // curl enforces the time-outs; the slice only bounds how long one poll sleeps.
        curl().multi_poll(multi_, nullptr, 0, 1000, nullptr);
    }
}

}  // namespace ovexinet
