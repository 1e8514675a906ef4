#pragma once

// libcurl, loaded at the first call that needs it rather than with the program: its
// dependencies (TLS, Kerberos, LDAP, SSH) are a third of what a start maps and relocates,
// and most starts make no call. Private to platform/inet.

#include <curl/curl.h>

namespace ovexinet {

struct CurlLibrary {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_free) free;
    decltype(&::curl_url) url;
    decltype(&::curl_url_set) url_set;
    decltype(&::curl_url_get) url_get;
    decltype(&::curl_url_cleanup) url_cleanup;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_pause) easy_pause;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_setopt) multi_setopt;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_socket_action) multi_socket_action;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_multi_cleanup) multi_cleanup;
};

// Loads and initialises libcurl once per process; false when it cannot be loaded, said
// once on stderr with the loader's reason.
bool loadCurl();

// The loaded library. Only for code that runs after loadCurl() succeeded: every handle
// the layer gives out was made after it.
const CurlLibrary& curl();

}  // namespace ovexinet
