/*
** The internet layer: HTTP and HTTPS requests in the shape the message client and the
** registration engine were written against (sessions, connections and requests as
** handles, a status callback, a process-wide connected state). Plain C, so the launcher
** can load the library by name and resolve each entry point with dlsym.
**
** Texts are UTF-8. Every function that can fail returns 0 (or a null handle) on failure
** and leaves the reason for ovex_inet_last_error() on the calling thread.
**
** Threads. A session and every handle made from it belong to the thread that opened the
** session; calls from another thread fail with OVEX_INET_ERROR_INCORRECT_HANDLE_STATE.
** A session opened with OVEX_INET_FLAG_ASYNC needs a Qt event loop on its thread: its
** transfers advance while that thread processes events, and operations that would block
** fail with OVEX_INET_ERROR_IO_PENDING instead; OVEX_INET_STATUS_REQUEST_COMPLETE follows
** on the same thread once they can go on. Without the flag, send and read block.
**
** Policy. TLS peers are always verified (OVEX_CA_FILE may name a PEM file of certificate
** authorities to trust in place of the system's; nothing turns verification off).
** Proxies come from the environment (http_proxy, https_proxy, no_proxy). Redirects are
** reported as they are, never followed. Every transfer has a connect time-out and an
** idle time-out, so no request can wait forever on a dead server.
*/
#ifndef OVEX_PLATFORM_INET_H
#define OVEX_PLATFORM_INET_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define OVEX_INET_API __attribute__((visibility("default")))

/* The file the launcher loads, and the version ovex_inet_api_version() reports. */
#define OVEX_INET_LIBRARY_NAME "libovex-inet.so.1"
#define OVEX_INET_API_VERSION 1

/* A session, connection or request. Values are never reused, so a closed handle fails
** cleanly with OVEX_INET_ERROR_INVALID_HANDLE instead of reaching freed memory. */
typedef struct OvexInetObject* OvexInetHandle;

/* Status notifications. HANDLE_CREATED comes from inside ovex_inet_connect() and
** ovex_inet_open_request(), before they return; `info` points at the new OvexInetHandle.
** REQUEST_COMPLETE ends an operation that failed with OVEX_INET_ERROR_IO_PENDING; `info`
** points at an OvexInetAsyncResult. */
#define OVEX_INET_STATUS_HANDLE_CREATED 60u
#define OVEX_INET_STATUS_REQUEST_COMPLETE 100u

typedef struct OvexInetAsyncResult {
    uintptr_t result; /* non-zero when the operation succeeded */
    uint32_t error;   /* an OVEX_INET_ERROR_ code when it failed */
} OvexInetAsyncResult;

/* `context` is the value given when the handle was made. A new handle takes the callback
** of the handle it was made from, as that handle has it at that moment. */
typedef void (*OvexInetStatusCallback)(OvexInetHandle handle, uintptr_t context, uint32_t status, const void* info,
                                       uint32_t infoLength);

/* Session flags. */
#define OVEX_INET_FLAG_ASYNC 0x10000000u

/* Request flags. SECURE makes the request HTTPS. PRAGMA_NOCACHE asks proxies for a fresh
** answer. There is no cache, so the cache flags are accepted and change nothing. */
#define OVEX_INET_FLAG_RELOAD 0x80000000u
#define OVEX_INET_FLAG_NO_CACHE_WRITE 0x04000000u
#define OVEX_INET_FLAG_SECURE 0x00800000u
#define OVEX_INET_FLAG_KEEP_CONNECTION 0x00400000u
#define OVEX_INET_FLAG_PRAGMA_NOCACHE 0x00000100u

/* Connected state bits. */
#define OVEX_INET_STATE_CONNECTED 0x1u
#define OVEX_INET_STATE_DISCONNECTED 0x2u
#define OVEX_INET_STATE_DISCONNECTED_BY_USER 0x10u

/* URL schemes. */
#define OVEX_INET_SCHEME_HTTP 3
#define OVEX_INET_SCHEME_HTTPS 4

/* Error codes, numbered as the callers' error texts expect them. */
#define OVEX_INET_ERROR_SUCCESS 0u
#define OVEX_INET_ERROR_INVALID_HANDLE 6u
#define OVEX_INET_ERROR_NOT_ENOUGH_MEMORY 8u
#define OVEX_INET_ERROR_INVALID_PARAMETER 87u
#define OVEX_INET_ERROR_INSUFFICIENT_BUFFER 122u
#define OVEX_INET_ERROR_IO_PENDING 997u
#define OVEX_INET_ERROR_TIMEOUT 12002u
#define OVEX_INET_ERROR_INTERNAL 12004u
#define OVEX_INET_ERROR_INVALID_URL 12005u
#define OVEX_INET_ERROR_UNRECOGNIZED_SCHEME 12006u
#define OVEX_INET_ERROR_NAME_NOT_RESOLVED 12007u
#define OVEX_INET_ERROR_OPERATION_CANCELLED 12017u
#define OVEX_INET_ERROR_INCORRECT_HANDLE_TYPE 12018u
#define OVEX_INET_ERROR_INCORRECT_HANDLE_STATE 12019u
#define OVEX_INET_ERROR_CANNOT_CONNECT 12029u
#define OVEX_INET_ERROR_CONNECTION_ABORTED 12030u
#define OVEX_INET_ERROR_CONNECTION_RESET 12031u
#define OVEX_INET_ERROR_HEADER_NOT_FOUND 12150u
#define OVEX_INET_ERROR_INVALID_SERVER_RESPONSE 12152u
#define OVEX_INET_ERROR_INVALID_HEADER 12153u
#define OVEX_INET_ERROR_SECURITY_CHANNEL_ERROR 12157u
#define OVEX_INET_ERROR_DISCONNECTED 12163u
#define OVEX_INET_ERROR_SECURE_FAILURE 12175u

/* Built-in time-outs, in milliseconds. */
#define OVEX_INET_DEFAULT_CONNECT_TIMEOUT_MS 30000u
#define OVEX_INET_DEFAULT_IDLE_TIMEOUT_MS 60000u

/* The parts of a URL. The caller gives the buffers and their sizes in bytes. */
typedef struct OvexInetUrlParts {
    int scheme; /* out: OVEX_INET_SCHEME_HTTP or _HTTPS */
    char* host; /* out: the host name, IPv6 literals in brackets */
    size_t hostSize;
    uint16_t port; /* out: the given port, else the scheme's default */
    char* path;    /* out: the path and query, "/" at least; the fragment is dropped */
    size_t pathSize;
} OvexInetUrlParts;

/* ---- Entry points, in the order a loader resolves them ---- */

/* OVEX_INET_API_VERSION of the loaded library. */
OVEX_INET_API int ovex_inet_api_version(void);

/* The reason of the calling thread's last failure. */
OVEX_INET_API uint32_t ovex_inet_last_error(void);

/* OVEX_INET_ERROR_SUCCESS when requests may be tried; OVEX_INET_ERROR_DISCONNECTED when
** the connected state is OVEX_INET_STATE_DISCONNECTED. There is no dial-up to start here. */
OVEX_INET_API uint32_t ovex_inet_attempt_connect(void);

/* The connected state. A state set here is process-wide and stands until set again
** (OVEX_INET_STATE_DISCONNECTED_BY_USER is "work offline"). While it is
** OVEX_INET_STATE_CONNECTED, the query asks the desktop's network service (NetworkManager
** on the system bus, within half a second) each time: OVEX_INET_STATE_DISCONNECTED when it
** knows of no connection, OVEX_INET_STATE_CONNECTED otherwise, and also where there is no
** such service or it does not answer. */
OVEX_INET_API int ovex_inet_query_connected_state(uint32_t* state);
OVEX_INET_API int ovex_inet_set_connected_state(uint32_t state);

/* Time-outs of sessions opened from now on; 0 keeps the built-in value. The idle time-out
** ends a transfer that received nothing for that long and counts whole seconds. */
OVEX_INET_API void ovex_inet_set_default_timeouts(uint32_t connectMs, uint32_t idleMs);

/* A session sending `agent` as its User-Agent; flags 0 or OVEX_INET_FLAG_ASYNC. The first
** session or URL split loads libcurl (libcurl.so.4); when it cannot be loaded they fail
** with OVEX_INET_ERROR_INTERNAL and the reason goes once to stderr. */
OVEX_INET_API OvexInetHandle ovex_inet_open_session(const char* agent, uint32_t flags);

/* Splits an http or https URL. Fails with OVEX_INET_ERROR_INSUFFICIENT_BUFFER when a part
** does not fit, OVEX_INET_ERROR_UNRECOGNIZED_SCHEME for any other scheme. */
OVEX_INET_API int ovex_inet_split_url(const char* url, OvexInetUrlParts* parts);

/* Installs `callback` (may be null) on a handle; `previous` (may be null) receives the one
** it replaces. */
OVEX_INET_API int ovex_inet_set_status_callback(OvexInetHandle handle, OvexInetStatusCallback callback,
                                                OvexInetStatusCallback* previous);

/* An HTTP connection to `host` and `port` (0: 80, or 443 for secure requests). Nothing
** goes on the wire until a request is sent. */
OVEX_INET_API OvexInetHandle ovex_inet_connect(OvexInetHandle session, const char* host, uint16_t port,
                                               uintptr_t context);

/* A request for `path` (with its query) on a connection. `acceptTypes` is a null-ended
** list or null; flags are the OVEX_INET_FLAG_ request flags. */
OVEX_INET_API OvexInetHandle ovex_inet_open_request(OvexInetHandle connection, const char* verb, const char* path,
                                                    const char* const* acceptTypes, uint32_t flags, uintptr_t context);

/* Sends the request with extra `headers` ("Name: value" lines ended by CRLF; may be null)
** and `body` (copied), and waits for the response's headers. Succeeds whatever the HTTP
** status; fails when no response arrived. */
OVEX_INET_API int ovex_inet_send_request(OvexInetHandle request, const char* headers, const void* body,
                                         size_t bodyLength);

/* The response's status code. */
OVEX_INET_API int ovex_inet_query_status_code(OvexInetHandle request, uint32_t* status);

/* The response's Content-Length. OVEX_INET_ERROR_HEADER_NOT_FOUND when there is none
** (or the body is chunked, which makes it meaningless), OVEX_INET_ERROR_INVALID_HEADER
** when it is not one decimal number that fits 64 bits. */
OVEX_INET_API int ovex_inet_query_content_length(OvexInetHandle request, uint64_t* length);

/* Reads up to `size` bytes of the body. `*bytesRead` 0 with success means the body has
** ended (or `size` was 0); a body cut short fails. */
OVEX_INET_API int ovex_inet_read(OvexInetHandle request, void* buffer, size_t size, size_t* bytesRead);

/* Closes a handle and every handle made from it; a transfer under way is abandoned and
** reports nothing more. */
OVEX_INET_API int ovex_inet_close_handle(OvexInetHandle handle);

/* Loads libcurl now rather than at the first session or URL split, from any thread, so
** that a program about to call can have it done beside other work. Fails as a session
** would when it cannot be loaded. Not among the entry points a loader resolves. */
OVEX_INET_API int ovex_inet_load(void);

/* ---- Types for a loader ---- */
typedef int (*ovex_inet_api_version_fn)(void);
typedef uint32_t (*ovex_inet_last_error_fn)(void);
typedef uint32_t (*ovex_inet_attempt_connect_fn)(void);
typedef int (*ovex_inet_query_connected_state_fn)(uint32_t*);
typedef int (*ovex_inet_set_connected_state_fn)(uint32_t);
typedef void (*ovex_inet_set_default_timeouts_fn)(uint32_t, uint32_t);
typedef OvexInetHandle (*ovex_inet_open_session_fn)(const char*, uint32_t);
typedef int (*ovex_inet_split_url_fn)(const char*, OvexInetUrlParts*);
typedef int (*ovex_inet_set_status_callback_fn)(OvexInetHandle, OvexInetStatusCallback, OvexInetStatusCallback*);
typedef OvexInetHandle (*ovex_inet_connect_fn)(OvexInetHandle, const char*, uint16_t, uintptr_t);
typedef OvexInetHandle (*ovex_inet_open_request_fn)(OvexInetHandle, const char*, const char*, const char* const*,
                                                    uint32_t, uintptr_t);
typedef int (*ovex_inet_send_request_fn)(OvexInetHandle, const char*, const void*, size_t);
typedef int (*ovex_inet_query_status_code_fn)(OvexInetHandle, uint32_t*);
typedef int (*ovex_inet_query_content_length_fn)(OvexInetHandle, uint64_t*);
typedef int (*ovex_inet_read_fn)(OvexInetHandle, void*, size_t, size_t*);
typedef int (*ovex_inet_close_handle_fn)(OvexInetHandle);

#ifdef __cplusplus
}
#endif

#endif /* OVEX_PLATFORM_INET_H */
