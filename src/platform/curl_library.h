// libcurl, loaded when the first mail or gateway request is sent. Linking
// it would make every request load some thirty libraries it does not use,
// and the dynamic loader's work would cost more than most pages.
#pragma once

#include <curl/curl.h>

namespace portavel {

struct CurlLibrary {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_perform) easy_perform;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
};

// The loaded library with its global set-up done, or nullptr when it
// cannot be loaded (`error` then says why).
const CurlLibrary* LoadCurlLibrary(const char** error);

}  // namespace portavel
