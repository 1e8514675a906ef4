// The layer's entry points: the handle table, the process-wide state and the checks on
// every argument that comes across the C boundary.
#include "platform/inet/Inet.h"
#include "platform/inet/DesktopNetwork.h"
#include "platform/inet/InetObjects.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <string_view>
#include <unordered_map>

namespace ovexinet {
namespace {

thread_local uint32_t t_lastError = OVEX_INET_ERROR_SUCCESS;

std::atomic<uint32_t> g_connectedState{OVEX_INET_STATE_CONNECTED};  // as set: the user's choice
std::atomic<uint32_t> g_connectTimeoutMs{OVEX_INET_DEFAULT_CONNECT_TIMEOUT_MS};
std::atomic<uint32_t> g_idleTimeoutMs{OVEX_INET_DEFAULT_IDLE_TIMEOUT_MS};

// Handles are table keys, never pointers, and a key is never given out twice.
std::mutex g_tableMutex;
std::unordered_map<uintptr_t, std::shared_ptr<Object>> g_table;
uintptr_t g_nextId = 0x10000;

OvexInetHandle enter(const std::shared_ptr<Object>& object)
{
    std::lock_guard lock(g_tableMutex);
    object->id = g_nextId++;
    object->owner = std::this_thread::get_id();
    g_table.emplace(object->id, object);
    return object->handle();
}

// The object behind a handle, when it is of the kind asked for and belongs to this thread.
// The owner is checked under the lock, so no other thread ever holds a reference.
template <typename T>
std::shared_ptr<T> find(OvexInetHandle handle, Object::Kind kind)
{
    std::shared_ptr<Object> object;
    {
        std::lock_guard lock(g_tableMutex);
        const auto it = g_table.find(reinterpret_cast<uintptr_t>(handle));
        if (it == g_table.end()) {
            setLastError(OVEX_INET_ERROR_INVALID_HANDLE);
            return {};
        }
        if (it->second->owner != std::this_thread::get_id()) {
            setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_STATE);
            return {};
        }
        object = it->second;
    }
    if (object->kind != kind) {
        setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_TYPE);
        return {};
    }
    return std::static_pointer_cast<T>(object);
}

std::shared_ptr<Object> findAny(OvexInetHandle handle)
{
    std::lock_guard lock(g_tableMutex);
    const auto it = g_table.find(reinterpret_cast<uintptr_t>(handle));
    if (it == g_table.end()) {
        setLastError(OVEX_INET_ERROR_INVALID_HANDLE);
        return {};
    }
    if (it->second->owner != std::this_thread::get_id()) {
        setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_STATE);
        return {};
    }
    return it->second;
}

void closeTree(const std::shared_ptr<Object>& object)
{
    if (object->closed)
        return;
    object->closed = true;
    {
        std::lock_guard lock(g_tableMutex);
        g_table.erase(object->id);
    }
    for (const std::weak_ptr<Object>& weak : object->children) {
        if (std::shared_ptr<Object> child = weak.lock())
            closeTree(child);
    }
    object->children.clear();
    object->onClose();
}

void adopt(Object& parent, const std::shared_ptr<Object>& child)
{
    std::erase_if(parent.children, [](const std::weak_ptr<Object>& w) { return w.expired(); });
    parent.children.push_back(child);
    child->callback = parent.callback;
}

// Host names go into a URL as they are, so anything that could end the host part or
// smuggle in credentials is refused.
bool validHost(std::string_view host)
{
    if (host.empty() || host.size() > 253 + 2)
        return false;
    if (host.front() == '[')
        return host.back() == ']' && host.find_first_not_of("0123456789abcdefABCDEF:.[]") == std::string_view::npos;
    return host.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_:") ==
           std::string_view::npos;
}

bool validPath(std::string_view path)
{
    if (path.empty() || path.front() != '/')
        return false;
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7f || c == '#')
            return false;
    }
    return true;
}

bool validToken(std::string_view verb)
{
    return !verb.empty() && verb.size() < 32 &&
           verb.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string_view::npos;
}

bool copyPart(const char* value, char* buffer, size_t size)
{
    const size_t length = std::strlen(value);
    if (buffer == nullptr || length + 1 > size)
        return false;
    std::memcpy(buffer, value, length + 1);
    return true;
}

// libcurl, loaded at the first call that needs it; the call fails as an internal error
// when it cannot be.
bool curlReady()
{
    if (loadCurl())
        return true;
    setLastError(OVEX_INET_ERROR_INTERNAL);
    return false;
}

}  // namespace

void setLastError(uint32_t error)
{
    t_lastError = error;
}

void Object::notify(uint32_t status, const void* info, uint32_t infoLength)
{
    if (!closed && callback != nullptr)
        callback(handle(), context, status, info, infoLength);
}

}  // namespace ovexinet

using namespace ovexinet;

extern "C" {

int ovex_inet_api_version(void)
{
    return OVEX_INET_API_VERSION;
}

uint32_t ovex_inet_last_error(void)
{
    return t_lastError;
}

int ovex_inet_load(void)
{
    return curlReady() ? 1 : 0;
}

// A state set by hand stands; left connected, it is what the desktop says of the network,
// and a desktop that says nothing (no system bus, no NetworkManager) leaves it connected.
int ovex_inet_query_connected_state(uint32_t* state)
{
    if (state == nullptr) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    const uint32_t chosen = g_connectedState.load();
    if (chosen != OVEX_INET_STATE_CONNECTED)
        *state = chosen;
    else
        *state = desktopNetwork() == DesktopNetwork::Down ? OVEX_INET_STATE_DISCONNECTED : OVEX_INET_STATE_CONNECTED;
    return 1;
}

uint32_t ovex_inet_attempt_connect(void)
{
    uint32_t state = OVEX_INET_STATE_CONNECTED;
    ovex_inet_query_connected_state(&state);
    if (state == OVEX_INET_STATE_DISCONNECTED) {
        setLastError(OVEX_INET_ERROR_DISCONNECTED);
        return OVEX_INET_ERROR_DISCONNECTED;
    }
    return OVEX_INET_ERROR_SUCCESS;
}

int ovex_inet_set_connected_state(uint32_t state)
{
    if (state != OVEX_INET_STATE_CONNECTED && state != OVEX_INET_STATE_DISCONNECTED &&
        state != OVEX_INET_STATE_DISCONNECTED_BY_USER) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    g_connectedState = state;
    return 1;
}

void ovex_inet_set_default_timeouts(uint32_t connectMs, uint32_t idleMs)
{
    g_connectTimeoutMs = connectMs ? connectMs : OVEX_INET_DEFAULT_CONNECT_TIMEOUT_MS;
    g_idleTimeoutMs = idleMs ? idleMs : OVEX_INET_DEFAULT_IDLE_TIMEOUT_MS;
}

OvexInetHandle ovex_inet_open_session(const char* agent, uint32_t flags)
{
    if ((flags & ~OVEX_INET_FLAG_ASYNC) != 0 || (agent != nullptr && std::strpbrk(agent, "\r\n") != nullptr)) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!curlReady())
        return nullptr;
    auto session = std::make_shared<Session>();
    session->agent = agent ? agent : "";
    session->connectTimeoutMs = long(g_connectTimeoutMs.load());
    session->idleTimeoutMs = long(g_idleTimeoutMs.load());
    if (const char* ca = std::getenv("OVEX_CA_FILE"); ca != nullptr && *ca != '\0')
        session->caFile = ca;
    if (flags & OVEX_INET_FLAG_ASYNC) {
        session->host = eventLoopHost();
        if (session->host == nullptr) {
            setLastError(OVEX_INET_ERROR_INTERNAL);
            return nullptr;
        }
    } else {
        session->ownHost = std::make_unique<MultiHost>(false);
        if (session->ownHost->multi() == nullptr) {
            setLastError(OVEX_INET_ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        session->host = session->ownHost.get();
    }
    return enter(session);
}

int ovex_inet_split_url(const char* url, OvexInetUrlParts* parts)
{
    if (url == nullptr || parts == nullptr) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!curlReady())
        return 0;
    CURLU* u = curl().url();
    if (u == nullptr) {
        setLastError(OVEX_INET_ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    char* scheme = nullptr;
    char* host = nullptr;
    char* port = nullptr;
    char* path = nullptr;
    char* query = nullptr;
    char* user = nullptr;
    uint32_t error = OVEX_INET_ERROR_SUCCESS;
    if (curl().url_set(u, CURLUPART_URL, url, 0) != CURLUE_OK ||
        curl().url_get(u, CURLUPART_SCHEME, &scheme, 0) != CURLUE_OK ||
        curl().url_get(u, CURLUPART_HOST, &host, 0) != CURLUE_OK ||
        curl().url_get(u, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) != CURLUE_OK ||
        curl().url_get(u, CURLUPART_PATH, &path, 0) != CURLUE_OK) {
        error = OVEX_INET_ERROR_INVALID_URL;
    } else if (curl().url_get(u, CURLUPART_USER, &user, 0) == CURLUE_OK) {
        error = OVEX_INET_ERROR_INVALID_URL;  // credentials in a URL are never sent
    } else {
        curl().url_get(u, CURLUPART_QUERY, &query, 0);
        const int schemeId = std::strcmp(scheme, "http") == 0    ? OVEX_INET_SCHEME_HTTP
                             : std::strcmp(scheme, "https") == 0 ? OVEX_INET_SCHEME_HTTPS
                                                                 : 0;
        const long portNumber = std::strtol(port, nullptr, 10);
        std::string fullPath = path;
        if (query != nullptr)
            fullPath += std::string("?") + query;
        if (schemeId == 0)
            error = OVEX_INET_ERROR_UNRECOGNIZED_SCHEME;
        else if (portNumber <= 0 || portNumber > 65535 || !validHost(host))
            error = OVEX_INET_ERROR_INVALID_URL;
        else if (!copyPart(host, parts->host, parts->hostSize) ||
                 !copyPart(fullPath.c_str(), parts->path, parts->pathSize))
            error = OVEX_INET_ERROR_INSUFFICIENT_BUFFER;
        else {
            parts->scheme = schemeId;
            parts->port = uint16_t(portNumber);
        }
    }
    for (char* p : {scheme, host, port, path, query, user})
        curl().free(p);
    curl().url_cleanup(u);
    if (error != OVEX_INET_ERROR_SUCCESS) {
        setLastError(error);
        return 0;
    }
    return 1;
}

int ovex_inet_set_status_callback(OvexInetHandle handle, OvexInetStatusCallback callback,
                                  OvexInetStatusCallback* previous)
{
    std::shared_ptr<Object> object = findAny(handle);
    if (!object)
        return 0;
    if (previous != nullptr)
        *previous = object->callback;
    object->callback = callback;
    return 1;
}

OvexInetHandle ovex_inet_connect(OvexInetHandle sessionHandle, const char* host, uint16_t port, uintptr_t context)
{
    auto session = find<Session>(sessionHandle, Object::Kind::Session);
    if (!session)
        return nullptr;
    if (host == nullptr || !validHost(host)) {
        setLastError(OVEX_INET_ERROR_INVALID_URL);
        return nullptr;
    }
    auto connection = std::make_shared<Connection>();
    connection->session = session;
    connection->host = host;
    connection->port = port;
    connection->context = context;
    adopt(*session, connection);
    const OvexInetHandle handle = enter(connection);
    connection->notify(OVEX_INET_STATUS_HANDLE_CREATED, &handle, sizeof handle);
    return handle;
}

OvexInetHandle ovex_inet_open_request(OvexInetHandle connectionHandle, const char* verb, const char* path,
                                      const char* const* acceptTypes, uint32_t flags, uintptr_t context)
{
    auto connection = find<Connection>(connectionHandle, Object::Kind::Connection);
    if (!connection)
        return nullptr;
    const std::string method = verb != nullptr && *verb != '\0' ? verb : "GET";
    if (!validToken(method)) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::string object = path != nullptr && *path != '\0' ? path : "/";
    if (!validPath(object)) {
        setLastError(OVEX_INET_ERROR_INVALID_URL);
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    request->connection = connection;
    request->host = connection->session->host;
    request->verb = method;
    request->flags = flags;
    request->context = context;
    for (const char* const* type = acceptTypes; type != nullptr && *type != nullptr; ++type) {
        if (std::strpbrk(*type, "\r\n") != nullptr) {
            setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        request->accept += (request->accept.empty() ? "" : ", ") + std::string(*type);
    }
    const bool secure = (flags & OVEX_INET_FLAG_SECURE) != 0;
    const uint16_t port = connection->port != 0 ? connection->port : secure ? 443 : 80;
    std::string host = connection->host;
    if (host.find(':') != std::string::npos && host.front() != '[')
        host = "[" + host + "]";
    request->url = (secure ? "https://" : "http://") + host + ":" + std::to_string(port) + object;

    adopt(*connection, request);
    const OvexInetHandle handle = enter(request);
    request->notify(OVEX_INET_STATUS_HANDLE_CREATED, &handle, sizeof handle);
    return handle;
}

int ovex_inet_send_request(OvexInetHandle handle, const char* headers, const void* body, size_t bodyLength)
{
    auto request = find<Request>(handle, Object::Kind::Request);
    if (!request)
        return 0;
    if (request->started) {
        setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_STATE);
        return 0;
    }
    if (body == nullptr && bodyLength != 0) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (bodyLength != 0)
        request->body.assign(static_cast<const char*>(body), bodyLength);
    if (!prepareTransfer(*request, headers)) {
        request->stopTransfer();
        return 0;
    }
    request->started = true;
    if (!request->host->add(request)) {
        request->stopTransfer();
        setLastError(OVEX_INET_ERROR_INTERNAL);
        return 0;
    }
    if (request->host->async()) {
        request->sendPending = true;
        setLastError(OVEX_INET_ERROR_IO_PENDING);
        return 0;
    }
    request->host->runUntil([&] { return request->headersDone || request->finished || request->closed; });
    if (request->headersDone)
        return 1;
    setLastError(request->finished ? transferError(*request) : OVEX_INET_ERROR_OPERATION_CANCELLED);
    return 0;
}

int ovex_inet_query_status_code(OvexInetHandle handle, uint32_t* status)
{
    auto request = find<Request>(handle, Object::Kind::Request);
    if (!request)
        return 0;
    if (status == nullptr) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!request->headersDone) {
        setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_STATE);
        return 0;
    }
    *status = request->status;
    return 1;
}

int ovex_inet_query_content_length(OvexInetHandle handle, uint64_t* length)
{
    auto request = find<Request>(handle, Object::Kind::Request);
    if (!request)
        return 0;
    if (length == nullptr) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!request->headersDone) {
        setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_STATE);
        return 0;
    }
    const std::string* found = nullptr;
    for (const auto& [name, value] : request->headers) {
        if (strcasecmp(name.c_str(), "Transfer-Encoding") == 0) {
            setLastError(OVEX_INET_ERROR_HEADER_NOT_FOUND);
            return 0;
        }
        if (strcasecmp(name.c_str(), "Content-Length") == 0) {
            // Two that disagree leave no length to trust.
            if (found != nullptr && *found != value) {
                setLastError(OVEX_INET_ERROR_INVALID_HEADER);
                return 0;
            }
            found = &value;
        }
    }
    if (found == nullptr) {
        setLastError(OVEX_INET_ERROR_HEADER_NOT_FOUND);
        return 0;
    }
    uint64_t value = 0;
    if (found->empty() || found->size() > 20) {
        setLastError(OVEX_INET_ERROR_INVALID_HEADER);
        return 0;
    }
    for (char c : *found) {
        if (c < '0' || c > '9' || value > (UINT64_MAX - uint64_t(c - '0')) / 10) {
            setLastError(OVEX_INET_ERROR_INVALID_HEADER);
            return 0;
        }
        value = value * 10 + uint64_t(c - '0');
    }
    *length = value;
    return 1;
}

int ovex_inet_read(OvexInetHandle handle, void* buffer, size_t size, size_t* bytesRead)
{
    auto request = find<Request>(handle, Object::Kind::Request);
    if (!request)
        return 0;
    if (bytesRead == nullptr || (buffer == nullptr && size != 0)) {
        setLastError(OVEX_INET_ERROR_INVALID_PARAMETER);
        return 0;
    }
    *bytesRead = 0;
    if (!request->started || !request->headersDone || request->readPending) {
        setLastError(OVEX_INET_ERROR_INCORRECT_HANDLE_STATE);
        return 0;
    }
    if (size == 0)
        return 1;

    auto take = [&] {
        const size_t n = std::min(size, request->buffered());
        std::memcpy(buffer, request->received.data() + request->readOffset, n);
        request->readOffset += n;
        if (request->readOffset == request->received.size()) {
            request->received.clear();
            request->readOffset = 0;
        }
        *bytesRead = n;
        request->resume();
    };
    auto ended = [&] {
        if (!request->failed())
            return 1;
        setLastError(transferError(*request));
        return 0;
    };

    if (request->buffered() > 0) {
        take();
        return 1;
    }
    if (request->finished)
        return ended();
    request->resume();
    if (request->host->async()) {
        request->readPending = true;
        setLastError(OVEX_INET_ERROR_IO_PENDING);
        return 0;
    }
    request->host->runUntil([&] { return request->buffered() > 0 || request->finished || request->closed; });
    if (request->buffered() > 0) {
        take();
        return 1;
    }
    if (request->finished)
        return ended();
    setLastError(OVEX_INET_ERROR_OPERATION_CANCELLED);
    return 0;
}

int ovex_inet_close_handle(OvexInetHandle handle)
{
    std::shared_ptr<Object> object = findAny(handle);
    if (!object)
        return 0;
    closeTree(object);
    return 1;
}

}  // extern "C"
