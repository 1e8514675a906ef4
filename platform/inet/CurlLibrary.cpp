#include "platform/inet/CurlLibrary.h"

#include <QtGlobal>

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <type_traits>

namespace ovexinet {
namespace {

constexpr const char* kLibraryName = "libcurl.so.4";

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define OVEX_SANITIZED_RUNTIME 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || __has_feature(memory_sanitizer)
#define OVEX_SANITIZED_RUNTIME 1
#endif
#endif

// The tree is kept local, so the program's own look-ups never walk it. It also looks up in
// itself first: its libraries are bound at load, and many of their ten thousand symbols
// are their own, which would otherwise be sought through every library of the program.
// Not when something replaces libc's functions for the whole program (a preloaded
// allocator or connect() wrapper, a sanitizer's runtime): curl's tree would then call
// libc's own, and free with libc what the replacement allocated.
int lookupOrder()
{
#ifdef OVEX_SANITIZED_RUNTIME
    return 0;
#else
    if (const char* preload = std::getenv("LD_PRELOAD"); preload != nullptr && *preload != '\0')
        return 0;
    struct stat preloadFile {};
    if (::stat("/etc/ld.so.preload", &preloadFile) == 0 && preloadFile.st_size > 0)
        return 0;
    void* libc = dlopen("libc.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (libc == nullptr)
        return 0;
    const bool replaced =
        dlsym(RTLD_DEFAULT, "malloc") != dlsym(libc, "malloc") || dlsym(RTLD_DEFAULT, "free") != dlsym(libc, "free");
    dlclose(libc);
    return replaced ? 0 : RTLD_DEEPBIND;
#endif
}

CurlLibrary g_curl;
bool g_loaded = false;

bool load()
{
    void* library = dlopen(kLibraryName, RTLD_LAZY | RTLD_LOCAL | lookupOrder());
    if (library == nullptr) {
        qWarning("The internet layer cannot load %s: %s", kLibraryName, dlerror());
        return false;
    }
    CurlLibrary& c = g_curl;
    const char* missing = nullptr;
    auto need = [&](const char* name, auto& entry) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(library, name));
        if (entry == nullptr && missing == nullptr)
            missing = name;
    };
    need("curl_global_init", c.global_init);
    need("curl_free", c.free);
    need("curl_url", c.url);
    need("curl_url_set", c.url_set);
    need("curl_url_get", c.url_get);
    need("curl_url_cleanup", c.url_cleanup);
    need("curl_slist_append", c.slist_append);
    need("curl_slist_free_all", c.slist_free_all);
    need("curl_easy_init", c.easy_init);
    need("curl_easy_setopt", c.easy_setopt);
    need("curl_easy_getinfo", c.easy_getinfo);
    need("curl_easy_pause", c.easy_pause);
    need("curl_easy_cleanup", c.easy_cleanup);
    need("curl_multi_init", c.multi_init);
    need("curl_multi_setopt", c.multi_setopt);
    need("curl_multi_add_handle", c.multi_add_handle);
    need("curl_multi_remove_handle", c.multi_remove_handle);
    need("curl_multi_perform", c.multi_perform);
    need("curl_multi_poll", c.multi_poll);
    need("curl_multi_socket_action", c.multi_socket_action);
    need("curl_multi_info_read", c.multi_info_read);
    need("curl_multi_cleanup", c.multi_cleanup);
    if (missing != nullptr) {
        qWarning("The internet layer cannot use %s: it has no %s", kLibraryName, missing);
        dlclose(library);
        return false;
    }
    const CURLcode code = c.global_init(CURL_GLOBAL_DEFAULT);
    if (code != CURLE_OK) {
        qWarning("The internet layer cannot start %s (curl code %d)", kLibraryName, int(code));
        return false;
    }
    // Never unloaded: curl's TLS libraries keep exit handlers of their own.
    return true;
}

}  // namespace

bool loadCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { g_loaded = load(); });
    return g_loaded;
}

const CurlLibrary& curl()
{
    Q_ASSERT(g_loaded);
    return g_curl;
}

}  // namespace ovexinet
