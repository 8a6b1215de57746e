#pragma once

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <string>

// The GDAL functions the GeoTIFF maps and the water's GeoPackage use.
#define ORBIVANE_GDAL_FUNCTIONS(X)                                                                                    \
    X(CPLErrorReset) X(CPLGetLastErrorMsg) X(CPLGetLastErrorType) X(CPLPopErrorHandler) X(CPLPushErrorHandler)       \
    X(CPLQuietErrorHandler) X(CPLSetErrorHandler) X(CPLSetThreadLocalConfigOption) X(GDALAddBand)                     \
    X(GDALAllRegister) X(GDALBuildOverviews) X(GDALClose) X(GDALCreate) X(GDALCreateColorTable) X(GDALCreateCopy)   \
    X(GDALDestroyColorTable) X(GDALGetDataTypeSizeBytes) X(GDALGetDriverByName) X(GDALGetMetadataItem) X(GDALGetOverview)     \
    X(GDALGetRasterBand) X(GDALGetRasterBandXSize) X(GDALGetRasterBandYSize) X(GDALOpenEx) X(GDALRasterIO) X(GDALSetColorEntry) X(GDALSetDescription) X(GDALSetGeoTransform)            \
    X(GDALSetMetadataItem) X(GDALSetProjection) X(GDALSetRasterColorInterpretation) X(GDALSetRasterColorTable)      \
    X(GDALSetRasterOffset) X(GDALSetRasterScale) X(GDALSetRasterUnitType) X(VSIFCloseL) X(VSIFileFromMemBuffer)      \
    X(VSIGetMemFileBuffer) X(VSIUnlink) X(GDALDatasetCreateLayer) X(GDALDatasetStartTransaction)                \
    X(GDALDatasetCommitTransaction) X(OSRNewSpatialReference) X(OSRSetAxisMappingStrategy) X(OSRRelease)            \
    X(OGR_Fld_Create) X(OGR_Fld_Destroy) X(OGR_L_CreateField) X(OGR_L_GetLayerDefn) X(OGR_L_CreateFeature)           \
    X(OGR_F_Create) X(OGR_F_Destroy) X(OGR_F_SetFieldDouble) X(OGR_F_SetFieldInteger) X(OGR_F_SetFieldString)       \
    X(OGR_F_SetGeometryDirectly) X(OGR_G_CreateGeometry) X(OGR_G_DestroyGeometry) X(OGR_G_AddPoint_2D)              \
    X(OGR_G_AddGeometryDirectly)

// GDAL's functions, from its library loaded on first use rather than at the
// program's start: GDAL brings over a hundred libraries, whose mappings alone
// would keep the program from starting under an address space limit it
// otherwise runs in, although only a GeoTIFF or a GeoPackage needs them.
struct GdalLibrary {
#define ORBIVANE_GDAL_POINTER(name) decltype(&::name) name = nullptr;
    ORBIVANE_GDAL_FUNCTIONS(ORBIVANE_GDAL_POINTER)
#undef ORBIVANE_GDAL_POINTER
};

// GDAL, loaded with its drivers registered and its printing turned off; a
// library that could not be loaded is tried again at the next call. Null,
// with the loader's reason in why, when it cannot be loaded.
const GdalLibrary* gdalLibrary(std::string& why);

// The library once gdalLibrary has loaded it on any thread; null before.
// What the helpers below call.
const GdalLibrary* loadedGdal();

// While one of these lives on this thread, GDAL's failures are not printed
// (GDAL's handlers are per thread; the reason stays in CPLGetLastErrorMsg),
// and the temporary files of GDAL's drivers stay in memory even when
// CPL_TMPDIR names a folder. GDAL must be loaded.
class QuietGdal {
public:
    QuietGdal();
    ~QuietGdal();
    QuietGdal(const QuietGdal&) = delete;
    QuietGdal& operator=(const QuietGdal&) = delete;
};

// A dataset, closed with this.
class GdalDataset {
public:
    explicit GdalDataset(GDALDatasetH handle) : handle(handle) {}
    ~GdalDataset() { close(); }
    GdalDataset(const GdalDataset&) = delete;
    GdalDataset& operator=(const GdalDataset&) = delete;
    GDALDatasetH get() const { return handle; }
    // Ends the dataset: what a driver writes is only whole once closed.
    void close();

private:
    GDALDatasetH handle;
};

// A file in GDAL's memory named "/vsimem/orbivane-KIND-N.EXTENSION", unique
// in the process, removed with this, and any .aux.xml GDAL kept beside it.
class GdalMemoryFile {
public:
    GdalMemoryFile(const char* kind, const char* extension);
    ~GdalMemoryFile();
    GdalMemoryFile(const GdalMemoryFile&) = delete;
    GdalMemoryFile& operator=(const GdalMemoryFile&) = delete;
    const std::string name;
};

// false, with error "GDAL step: reason" (GDAL's last error message).
bool gdalFailed(std::string& error, const char* step);
