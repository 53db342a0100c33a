#include "socket/OpenSsl.h"

#include <dlfcn.h>

namespace vollum {

namespace {

struct Loaded {
    OpenSsl calls;
    bool complete = false;
    std::string problem;
};

Loaded Load() {
    Loaded loaded;
    // libssl brings libcrypto along; symbols are looked up in both.
    void* library = ::dlopen("libssl.so.3", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = ::dlerror();
        loaded.problem = std::string("TLS is not available: ") + (why != nullptr ? why : "libssl.so.3 not found");
        return loaded;
    }
    loaded.complete = true;
#define VOLLUM_OPENSSL_LOOKUP(name)                                                               \
    loaded.calls.name = reinterpret_cast<decltype(&::name)>(::dlsym(library, #name));             \
    if (loaded.calls.name == nullptr) {                                                           \
        loaded.complete = false;                                                                  \
        loaded.problem = "TLS is not available: libssl.so.3 has no " #name;                      \
    }
    VOLLUM_OPENSSL_CALLS(VOLLUM_OPENSSL_LOOKUP)
#undef VOLLUM_OPENSSL_LOOKUP
    return loaded;
}

}  // namespace

const OpenSsl* LoadOpenSsl(std::string& problem) {
    static const Loaded loaded = Load();
    problem = loaded.problem;
    return loaded.complete ? &loaded.calls : nullptr;
}

}  // namespace vollum
