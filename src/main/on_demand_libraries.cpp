// The downloader's command line loads libcurl and OpenCC only when a command
// calls them. Linked normally, the two bring some thirty shared libraries
// (Kerberos, LDAP, GnuTLS, ...) whose loading costs more than converting a
// page, so `fetchwell --html-to-text` and `--help` would pay for a network
// stack they never use.
//
// The functions the core calls are defined here and forward to the library,
// opened with dlopen on the first call. The executable's own definitions win
// at link time and `--as-needed` then drops the libraries from its needs. A
// core function that starts calling a curl or OpenCC function not listed here
// still links: the library is then needed at start again, which is slower but
// correct.
#define CURL_DISABLE_TYPECHECK 1

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

#include <curl/curl.h>
#include <opencc/opencc.h>

namespace {

void* OpenLibrary(std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return handle;
    // A broken install: nothing sensible can go on without the library.
    std::fprintf(stderr, "fetchwell: cannot load %s: %s\n", *names.begin(), dlerror());
    std::exit(1);
}

template <class F>
F Find(void* library, const char* name) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        std::fprintf(stderr, "fetchwell: %s is missing from its library\n", name);
        std::exit(1);
    }
    return reinterpret_cast<F>(symbol);
}

void* Curl() {
    static void* library = OpenLibrary({"libcurl.so.4", "libcurl.so"});
    return library;
}

void* OpenCc() {
    static void* library = OpenLibrary({"libopencc.so.1.1", "libopencc.so.1", "libopencc.so"});
    return library;
}

}  // namespace

#define FORWARD(library, name) static const auto real = Find<decltype(&::name)>(library(), #name)

extern "C" {

CURLcode curl_global_init(long flags) {
    FORWARD(Curl, curl_global_init);
    return real(flags);
}

CURL* curl_easy_init() {
    FORWARD(Curl, curl_easy_init);
    return real();
}

// The one argument after the option has the type the option's number range
// gives it; it is read as that type and passed on unchanged.
CURLcode curl_easy_setopt(CURL* handle, CURLoption option, ...) {
    FORWARD(Curl, curl_easy_setopt);
    va_list args;
    va_start(args, option);
    CURLcode rc;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        rc = real(handle, option, va_arg(args, long));
    } else if (option >= CURLOPTTYPE_OFF_T && option < CURLOPTTYPE_BLOB) {
        rc = real(handle, option, va_arg(args, curl_off_t));
    } else {
        rc = real(handle, option, va_arg(args, void*));
    }
    va_end(args);
    return rc;
}

CURLcode curl_easy_getinfo(CURL* handle, CURLINFO info, ...) {
    FORWARD(Curl, curl_easy_getinfo);
    va_list args;
    va_start(args, info);
    CURLcode rc = real(handle, info, va_arg(args, void*));
    va_end(args);
    return rc;
}

CURLcode curl_easy_perform(CURL* handle) {
    FORWARD(Curl, curl_easy_perform);
    return real(handle);
}

void curl_easy_cleanup(CURL* handle) {
    FORWARD(Curl, curl_easy_cleanup);
    real(handle);
}

curl_slist* curl_slist_append(curl_slist* list, const char* text) {
    FORWARD(Curl, curl_slist_append);
    return real(list, text);
}

void curl_slist_free_all(curl_slist* list) {
    FORWARD(Curl, curl_slist_free_all);
    real(list);
}

CURLM* curl_multi_init() {
    FORWARD(Curl, curl_multi_init);
    return real();
}

CURLMcode curl_multi_add_handle(CURLM* multi, CURL* handle) {
    FORWARD(Curl, curl_multi_add_handle);
    return real(multi, handle);
}

CURLMcode curl_multi_remove_handle(CURLM* multi, CURL* handle) {
    FORWARD(Curl, curl_multi_remove_handle);
    return real(multi, handle);
}

CURLMcode curl_multi_perform(CURLM* multi, int* running) {
    FORWARD(Curl, curl_multi_perform);
    return real(multi, running);
}

CURLMcode curl_multi_poll(CURLM* multi, curl_waitfd extra[], unsigned int count, int timeoutMs, int* ready) {
    FORWARD(Curl, curl_multi_poll);
    return real(multi, extra, count, timeoutMs, ready);
}

CURLMsg* curl_multi_info_read(CURLM* multi, int* left) {
    FORWARD(Curl, curl_multi_info_read);
    return real(multi, left);
}

CURLMcode curl_multi_cleanup(CURLM* multi) {
    FORWARD(Curl, curl_multi_cleanup);
    return real(multi);
}

opencc_t opencc_open(const char* config) {
    FORWARD(OpenCc, opencc_open);
    return real(config);
}

char* opencc_convert_utf8(opencc_t converter, const char* input, size_t length) {
    FORWARD(OpenCc, opencc_convert_utf8);
    return real(converter, input, length);
}

void opencc_convert_utf8_free(char* text) {
    FORWARD(OpenCc, opencc_convert_utf8_free);
    real(text);
}

int opencc_close(opencc_t converter) {
    FORWARD(OpenCc, opencc_close);
    return real(converter);
}

}  // extern "C"
