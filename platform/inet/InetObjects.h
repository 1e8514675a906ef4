#pragma once

// The layer's handles and the curl machinery under them. Private to platform/inet.

#include "platform/inet/Inet.h"

#include "platform/inet/CurlLibrary.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace ovexinet {

void setLastError(uint32_t error);
uint32_t errorFromCurl(CURLcode code);

struct Request;

// One curl multi handle and the requests on it. A synchronous session owns one and runs
// it inside the calls that must wait; asynchronous sessions share their thread's, which
// the thread's event loop runs (EventLoopHost.cpp).
class MultiHost {
public:
    explicit MultiHost(bool async);
    virtual ~MultiHost();
    MultiHost(const MultiHost&) = delete;
    MultiHost& operator=(const MultiHost&) = delete;

    CURLM* multi() const { return multi_; }
    bool async() const { return async_; }

    // Starts the request's transfer; false when curl refuses it.
    bool add(const std::shared_ptr<Request>& request);
    void remove(Request& request);

    // Notes the transfers that ended and, on an asynchronous host, completes the waits
    // they were holding. Called after curl did work, never from inside a curl callback.
    void afterActivity();

    // Synchronous hosts only: drives transfers until `done` holds or none is left running.
    void runUntil(const std::function<bool()>& done);

private:
    CURLM* multi_ = nullptr;
    bool async_ = false;
    std::vector<std::weak_ptr<Request>> active_;
};

// The calling thread's asynchronous host, made on first use; null when the thread has
// no Qt event dispatcher to run it.
MultiHost* eventLoopHost();

struct Object : std::enable_shared_from_this<Object> {
    enum class Kind { Session, Connection, Request };
    explicit Object(Kind k) : kind(k) {}
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    OvexInetHandle handle() const { return reinterpret_cast<OvexInetHandle>(id); }
    // Calls the installed callback unless the handle was closed meanwhile.
    void notify(uint32_t status, const void* info, uint32_t infoLength);
    // Releases what the handle holds; it is already out of the handle table.
    virtual void onClose() {}

    const Kind kind;
    uintptr_t id = 0;
    std::thread::id owner;
    OvexInetStatusCallback callback = nullptr;
    uintptr_t context = 0;
    bool closed = false;
    std::vector<std::weak_ptr<Object>> children;
};

struct Session : Object {
    Session() : Object(Kind::Session) {}

    std::string agent;
    long connectTimeoutMs = 0;
    long idleTimeoutMs = 0;
    std::string caFile;
    std::unique_ptr<MultiHost> ownHost;  // synchronous sessions
    MultiHost* host = nullptr;
};

struct Connection : Object {
    Connection() : Object(Kind::Connection) {}

    std::shared_ptr<Session> session;
    std::string host;
    uint16_t port = 0;
};

struct Request : Object {
    Request() : Object(Kind::Request) {}
    ~Request() override;
    void onClose() override { stopTransfer(); }

    // Takes the transfer off its host and frees curl's side of it.
    void stopTransfer();
    size_t buffered() const { return received.size() - readOffset; }
    bool failed() const { return finished && result != CURLE_OK; }
    // Lets a paused transfer go on once the reader has made room.
    void resume();

    std::shared_ptr<Connection> connection;
    MultiHost* host = nullptr;
    std::string verb;
    std::string url;
    uint32_t flags = 0;
    std::string accept;

    CURL* easy = nullptr;
    curl_slist* headerList = nullptr;
    std::string body;
    bool started = false;
    bool inMulti = false;

    uint32_t status = 0;
    std::vector<std::pair<std::string, std::string>> headers;  // of the final response
    bool headersDone = false;
    std::string received;
    size_t readOffset = 0;
    bool paused = false;
    bool finished = false;
    CURLcode result = CURLE_OK;
    bool sendPending = false;
    bool readPending = false;
    char errorText[CURL_ERROR_SIZE] = {};

    // The idle clock: the byte counts last seen and when they last moved.
    curl_off_t seenDown = -1;
    curl_off_t seenUp = -1;
    int64_t lastActivityMs = 0;
    bool idleExpired = false;
};

// The error a finished transfer reports.
uint32_t transferError(const Request& request);

// Sets up the request's curl handle from its session and connection; false (with the
// last error set) when something is refused.
bool prepareTransfer(Request& request, const char* headers);

}  // namespace ovexinet
