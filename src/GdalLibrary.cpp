#include "GdalLibrary.h"

#include <dlfcn.h>
#include <mutex>

namespace {

// Loads every function into library; false with why when one is missing.
bool load(void* handle, GdalLibrary& library, std::string& why)
{
#define ORBIVANE_GDAL_LOAD(name)                                                                                      \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                         \
    if (!library.name) {                                                                                              \
        why = "GDAL has no " #name;                                                                                   \
        return false;                                                                                                 \
    }
    ORBIVANE_GDAL_FUNCTIONS(ORBIVANE_GDAL_LOAD)
#undef ORBIVANE_GDAL_LOAD
    return true;
}

} // namespace

const GdalLibrary* gdalLibrary(std::string& why)
{
    static std::mutex mutex; // guards the two below
    static GdalLibrary library;
    static bool loaded = false;
    std::lock_guard<std::mutex> lock(mutex);
    if (loaded)
        return &library;
    void* handle = dlopen(ORBIVANE_GDAL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        why = std::string("GDAL could not be loaded: ") + (reason ? reason : "unknown reason");
        return nullptr;
    }
    if (!load(handle, library, why)) {
        dlclose(handle);
        return nullptr;
    }
    library.GDALAllRegister();
    library.CPLSetErrorHandler(library.CPLQuietErrorHandler); // no thread of GDAL's prints on the console
    loaded = true;
    return &library;
}
