#include "platform/curl_library.h"

#include <dlfcn.h>

namespace portavel {
namespace {

struct Loaded {
  CurlLibrary library{};
  const char* error = nullptr;
};

template <typename Function>
bool Resolve(void* handle, const char* name, Function* target) {
  *target = reinterpret_cast<Function>(dlsym(handle, name));
  return *target != nullptr;
}

Loaded Load() {
  Loaded loaded;
  void* handle = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    loaded.error = "libcurl.so.4 could not be loaded";
    return loaded;
  }
  CurlLibrary& l = loaded.library;
  bool complete = Resolve(handle, "curl_global_init", &l.global_init) &&
                  Resolve(handle, "curl_easy_init", &l.easy_init) &&
                  Resolve(handle, "curl_easy_setopt", &l.easy_setopt) &&
                  Resolve(handle, "curl_easy_perform", &l.easy_perform) &&
                  Resolve(handle, "curl_easy_cleanup", &l.easy_cleanup) &&
                  Resolve(handle, "curl_easy_getinfo", &l.easy_getinfo) &&
                  Resolve(handle, "curl_easy_strerror", &l.easy_strerror) &&
                  Resolve(handle, "curl_slist_append", &l.slist_append) &&
                  Resolve(handle, "curl_slist_free_all", &l.slist_free_all);
  if (!complete) {
    loaded.error = "libcurl.so.4 lacks a function the program needs";
  } else if (l.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
    loaded.error = "libcurl could not be initialised";
  }
  return loaded;
}

}  // namespace

const CurlLibrary* LoadCurlLibrary(const char** error) {
  static const Loaded loaded = Load();
  if (error) *error = loaded.error;
  return loaded.error ? nullptr : &loaded.library;
}

}  // namespace portavel
