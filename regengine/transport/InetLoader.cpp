#include "regengine/transport/InetLoader.h"

#include "regengine/core/EngineTrace.h"

#include "platform/shell/Shell.h"
#include "platform/text/Format.h"

#include <QLibrary>

namespace engine {

namespace {

// Resolves one entry point; false leaves the target null.
template <typename Fn>
bool resolve(QLibrary& library, const char* name, Fn& target)
{
    target = reinterpret_cast<Fn>(library.resolve(name));
    if (target == nullptr)
        EngineTrace(platform::formatText(QStringLiteral("Internet library: no entry point %s"), name));
    return target != nullptr;
}

}  // namespace

InetLoader& InetLoader::Instance()
{
    static InetLoader loader(platform::libraryCandidates(QStringLiteral(OVEX_INET_LIBRARY_NAME)));
    return loader;
}

InetLoader::InetLoader(const QStringList& candidates) : candidates_(candidates) {}

InetLoader::~InetLoader() = default;

bool InetLoader::Load()
{
    if (loaded_)
        return true;
    for (const QString& candidate : candidates_) {
        auto library = std::make_unique<QLibrary>(candidate);
        library->setLoadHints(QLibrary::ResolveAllSymbolsHint);
        if (!library->load())
            continue;
        QLibrary& handle = *library;
        Api api;
        const bool all = resolve(handle, "ovex_inet_api_version", api.apiVersion) &&
                         resolve(handle, "ovex_inet_last_error", api.lastError) &&
                         resolve(handle, "ovex_inet_attempt_connect", api.attemptConnect) &&
                         resolve(handle, "ovex_inet_query_connected_state", api.queryConnectedState) &&
                         resolve(handle, "ovex_inet_set_connected_state", api.setConnectedState) &&
                         resolve(handle, "ovex_inet_set_default_timeouts", api.setDefaultTimeouts) &&
                         resolve(handle, "ovex_inet_open_session", api.openSession) &&
                         resolve(handle, "ovex_inet_split_url", api.splitUrl) &&
                         resolve(handle, "ovex_inet_set_status_callback", api.setStatusCallback) &&
                         resolve(handle, "ovex_inet_connect", api.connect) &&
                         resolve(handle, "ovex_inet_open_request", api.openRequest) &&
                         resolve(handle, "ovex_inet_send_request", api.sendRequest) &&
                         resolve(handle, "ovex_inet_query_status_code", api.queryStatusCode) &&
                         resolve(handle, "ovex_inet_query_content_length", api.queryContentLength) &&
                         resolve(handle, "ovex_inet_read", api.read) &&
                         resolve(handle, "ovex_inet_close_handle", api.closeHandle);
        // A library of another interface version would be called with the wrong contract.
        if (all && api.apiVersion() == OVEX_INET_API_VERSION) {
            library_ = std::move(library);
            api_ = api;
            loaded_ = true;
            return true;
        }
        EngineTrace(platform::formatText(QStringLiteral("Internet library %s is not usable"), candidate));
        library->unload();
    }
    EngineTrace(QStringLiteral("The internet library could not be loaded"));
    return false;
}

std::optional<bool> InetLoader::IsConnected()
{
    if (!Load())
        return std::nullopt;
    uint32_t state = 0;
    if (!api_.queryConnectedState(&state))
        return std::nullopt;
    return (state & OVEX_INET_STATE_CONNECTED) != 0;
}

bool InetLoader::IsWorkingOffline()
{
    if (!Load())
        return false;
    uint32_t state = 0;
    return api_.queryConnectedState(&state) && (state & OVEX_INET_STATE_DISCONNECTED_BY_USER) != 0;
}

bool LoadWinInet()
{
    return InetLoader::Instance().Load();
}

}  // namespace engine
