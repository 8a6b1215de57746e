#pragma once

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_vsi.h>
#include <gdal.h>

#include <string>

// The GDAL functions the GeoTIFF maps use.
#define ORBIVANE_GDAL_FUNCTIONS(X)                                                                                    \
    X(CPLErrorReset) X(CPLGetLastErrorMsg) X(CPLGetLastErrorType) X(CPLPopErrorHandler) X(CPLPushErrorHandler)       \
    X(CPLQuietErrorHandler) X(CPLSetErrorHandler) X(CPLSetThreadLocalConfigOption) X(GDALAddBand)                     \
    X(GDALAllRegister) X(GDALBuildOverviews) X(GDALClose) X(GDALCreate) X(GDALCreateColorTable) X(GDALCreateCopy)   \
    X(GDALDestroyColorTable) X(GDALGetDataTypeSizeBytes) X(GDALGetDriverByName) X(GDALGetMetadataItem) X(GDALGetOverview)     \
    X(GDALGetRasterBand) X(GDALGetRasterBandXSize) X(GDALGetRasterBandYSize) X(GDALOpenEx) X(GDALRasterIO) X(GDALSetColorEntry) X(GDALSetDescription) X(GDALSetGeoTransform)            \
    X(GDALSetMetadataItem) X(GDALSetProjection) X(GDALSetRasterColorInterpretation) X(GDALSetRasterColorTable)      \
    X(GDALSetRasterOffset) X(GDALSetRasterScale) X(GDALSetRasterUnitType) X(VSIFCloseL) X(VSIFileFromMemBuffer)      \
    X(VSIGetMemFileBuffer) X(VSIUnlink)

// GDAL's functions, from its library loaded on first use rather than at the
// program's start: GDAL brings over a hundred libraries, whose mappings alone
// would keep the program from starting under an address space limit it
// otherwise runs in, although only a GeoTIFF needs them.
struct GdalLibrary {
#define ORBIVANE_GDAL_POINTER(name) decltype(&::name) name = nullptr;
    ORBIVANE_GDAL_FUNCTIONS(ORBIVANE_GDAL_POINTER)
#undef ORBIVANE_GDAL_POINTER
};

// GDAL, loaded with its drivers registered and its printing turned off; a
// library that could not be loaded is tried again at the next call. Null,
// with the loader's reason in why, when it cannot be loaded.
const GdalLibrary* gdalLibrary(std::string& why);
