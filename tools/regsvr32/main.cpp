// regsvr32 [/u] [/s] MODULE: registers (or with /u unregisters) a
// self-registering module by calling its DllRegisterServer or
// DllUnregisterServer. A bare module name is looked for beside this tool,
// then in the suite's module folders. Prints one result line unless /s.
// Exit status: 0 success, 1 usage, 3 module not loadable, 4 entry point
// missing, 5 the entry point reported failure.
#include "platform/os/os.h"
#include "shellext/com.h"

#include <dlfcn.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    bool unregister = false, silent = false;
    std::string module;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "/u" || a == "/U" || a == "-u")
            unregister = true;
        else if (a == "/s" || a == "/S" || a == "-s")
            silent = true;
        else if (module.empty())
            module = a;
        else
            module.clear(), i = argc;  // two modules: usage
    }
    if (module.empty()) {
        std::fprintf(stderr, "usage: regsvr32 [/u] [/s] MODULE\n");
        return 1;
    }
    std::string path = os::FindModule(module, PARVEX_MODULE_DIRS);
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        if (!silent) std::fprintf(stderr, "regsvr32: cannot load %s: %s\n", path.c_str(), ::dlerror());
        return 3;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto fn = reinterpret_cast<DllRegisterServerFn>(::dlsym(handle, entry));
    if (!fn) {
        if (!silent) std::fprintf(stderr, "regsvr32: %s has no entry point %s\n", path.c_str(), entry);
        ::dlclose(handle);
        return 4;
    }
    com::HRESULT hr = fn();
    if (com::FAILED(hr)) {
        if (!silent) std::fprintf(stderr, "regsvr32: %s in %s failed with 0x%08X\n", entry, path.c_str(),
                     static_cast<unsigned>(hr));
        return 5;
    }
    if (!silent) std::printf("%s in %s succeeded.\n", entry, path.c_str());
    // Not unloaded: a module may have registered types with the process.
    return 0;
}
