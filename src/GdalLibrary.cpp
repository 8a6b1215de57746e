#include "GdalLibrary.h"

#include <atomic>
#include <dlfcn.h>
#include <mutex>

namespace {

std::atomic<const GdalLibrary*> published{nullptr}; // set once gdalLibrary has loaded it

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
    published.store(&library);
    return &library;
}

const GdalLibrary* loadedGdal()
{
    return published.load();
}

QuietGdal::QuietGdal()
{
    loadedGdal()->CPLPushErrorHandler(loadedGdal()->CPLQuietErrorHandler);
    loadedGdal()->CPLErrorReset();
    loadedGdal()->CPLSetThreadLocalConfigOption("CPL_TMPDIR", "/vsimem");
}

QuietGdal::~QuietGdal()
{
    loadedGdal()->CPLSetThreadLocalConfigOption("CPL_TMPDIR", nullptr);
    loadedGdal()->CPLPopErrorHandler();
}

void GdalDataset::close()
{
    if (handle)
        loadedGdal()->GDALClose(handle);
    handle = nullptr;
}

GdalMemoryFile::GdalMemoryFile(const char* kind, const char* extension)
    : name([&] {
          static std::atomic<unsigned> next{0}; // names are unique within the process, across threads
          return std::string("/vsimem/orbivane-") + kind + "-" + std::to_string(next++) + "." + extension;
      }())
{
}

GdalMemoryFile::~GdalMemoryFile()
{
    loadedGdal()->VSIUnlink(name.c_str());
    loadedGdal()->VSIUnlink((name + ".aux.xml").c_str());
}

bool gdalFailed(std::string& error, const char* step)
{
    const std::string reason = loadedGdal()->CPLGetLastErrorMsg();
    error = std::string("GDAL ") + step + (reason.empty() ? "" : ": " + reason);
    return false;
}
