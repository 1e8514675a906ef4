#pragma once

#include "platform/inet/Inet.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QLibrary;

namespace engine {

// The engine's binding of the internet library, loaded by name at run time so that the
// launcher starts even where the library is missing. Every entry point is resolved, in the
// header's order; the binding counts as loaded only when all of them are there.
class InetLoader {
public:
    struct Api {
        ovex_inet_api_version_fn apiVersion = nullptr;
        ovex_inet_last_error_fn lastError = nullptr;
        ovex_inet_attempt_connect_fn attemptConnect = nullptr;
        ovex_inet_query_connected_state_fn queryConnectedState = nullptr;
        ovex_inet_set_connected_state_fn setConnectedState = nullptr;
        ovex_inet_set_default_timeouts_fn setDefaultTimeouts = nullptr;
        ovex_inet_open_session_fn openSession = nullptr;
        ovex_inet_split_url_fn splitUrl = nullptr;
        ovex_inet_set_status_callback_fn setStatusCallback = nullptr;
        ovex_inet_connect_fn connect = nullptr;
        ovex_inet_open_request_fn openRequest = nullptr;
        ovex_inet_send_request_fn sendRequest = nullptr;
        ovex_inet_query_status_code_fn queryStatusCode = nullptr;
        ovex_inet_query_content_length_fn queryContentLength = nullptr;
        ovex_inet_read_fn read = nullptr;
        ovex_inet_close_handle_fn closeHandle = nullptr;
    };

    // The process-wide binding: the library beside the program first, then the one the
    // dynamic linker finds by its name.
    static InetLoader& Instance();
    // Tries the files in order (a name without a folder goes to the dynamic linker).
    explicit InetLoader(const QStringList& candidates);
    ~InetLoader();
    InetLoader(const InetLoader&) = delete;
    InetLoader& operator=(const InetLoader&) = delete;

    // Loads and resolves unless that is done; a failure leaves nothing bound, and a later
    // call tries again. True when bound.
    bool Load();
    bool IsLoaded() const { return loaded_; }
    // The entry points; all null until Load succeeded.
    const Api& Functions() const { return api_; }

    // Whether the library reports a connection; nullopt when it cannot be loaded or asked.
    std::optional<bool> IsConnected();
    // The user chose to work offline; false when that cannot be told.
    bool IsWorkingOffline();

private:
    QStringList candidates_;
    std::unique_ptr<QLibrary> library_;
    bool loaded_ = false;
    Api api_;
};

// Loads the process-wide binding; true when it is bound.
bool LoadWinInet();

}  // namespace engine
