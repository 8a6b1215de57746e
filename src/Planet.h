#pragma once

#include "BigArray.h"
#include "Hypsometry.h"
#include "IcosphereWeld.h"
#include "PlaneGate.h"
#include "StopRequest.h"
#include "WorldShape.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class PlanetBuffers;
class RiverBuffers;
class Shader;
struct LiveJob;
struct PlanetClimate;

using Vec3 = std::array<float, 3>;

// Unit icosahedron; every face below runs clockwise seen from outside.
extern const Vec3 ICOSAHEDRON_VERTICES[12];
extern const int ICOSAHEDRON_FACES[20][3];

// Index, in floats, of the next free slot of the vertex arrays being built.
extern std::size_t emitCursor;

// base to the power exponent by repeated squaring, in single precision.
float intPow(float base, int exponent);

// Land vertices of an icosphere: 60 * 4^subdivisions, or -1 when that count
// does not fit a 32-bit int (or subdivisions is negative).
int icosphereVertexCount(int subdivisions);

// The undeformed sea sphere: the land as it was built, emitted beside it.
class Water {
public:
    Water(BigArray<float> seaVertices, int count);
    virtual ~Water() = default;

    Shader* shader = nullptr;    // not owned; set once the window's context exists
    BigArray<float> vertices;    // x, y, z per vertex, radius 1
    int vertexCount = 0;
};

// One generated planet: the land mesh (triangles as consecutive vertex
// triples, no indices), its sea sphere, and its rotation state.
class Planet {
public:
    // subdivisions: 0 up to the largest count whose vertex count fits an int;
    // throws std::invalid_argument below 0, std::bad_alloc when the arrays
    // (land, sea, weld) cannot be had and std::system_error when a generation
    // thread cannot start (every thread started is joined first). Batch
    // generation has finished when this returns; live generation runs on in
    // its own thread. seed: the generator's seed; nothing means the run's
    // (--seed, or the time). Set, stop cuts a batch generation short for a
    // planet no longer wanted: its land is then half made, not to be used.
    Planet(int subdivisions, int iterations, bool liveGeneration, std::optional<std::uint32_t> seed = std::nullopt,
           StopRequest stop = nullptr);
    virtual ~Planet();
    Planet(const Planet&) = delete;
    Planet& operator=(const Planet&) = delete;

    // Builds the land and, in the same pass, the sea (water).
    void buildIcosphere(int subdivisions);

    std::mutex mutex;              // guards vertices while live generation writes them
    PlaneGate planeGate;           // held by a live generation for each whole plane (LandSnapshot)
    Shader* landShader = nullptr;  // not owned
    PlanetBuffers* buffers = nullptr; // not owned; the GL copy while a window shows the planet
    RiverBuffers* rivers = nullptr;   // not owned; its rivers and lakes while a window shows it
    std::unique_ptr<Water> water;
    IcosphereWeld weld;            // which soup corners are one vertex; holds for every state of the land
    float angle[3];                // degrees about x, y, z
    float speed[3];                // degrees per millisecond about x, y, z
    bool rotating;
    BigArray<float> vertices;      // land: x, y, z per vertex; radius 1 is sea level
    // Planes a live generation has finished applying to vertices; the window
    // uploads the land again when it has moved on.
    std::atomic<std::uint64_t> landVersion{0};
    // A window draws the planet: its live generation gives way to the frames.
    std::atomic<bool> watched{false};
    int vertexCount = 0;
    std::uint32_t seed = 0;        // generator seed of this planet's landscape
    int subdivisions = 0;          // as asked, to name what is saved from the planet
    int iterations = 0;
    bool exported = false;         // written to the --export and map files already
    WorldShape shape;              // the sea and relief it is shown, mapped and saved with
    bool shapeSettled = false;     // its sea level is set: the generation has ended
    bool shapeShort = false;       // --land or --erosion could not be applied for want of memory
    double radiusKm = 6371.0;      // the sea's radius, km (--radius-km)
    double highestMetres = 8000.0; // where its highest land stands, m (--highest)
    Hypsometry hypsometry = Hypsometry::Earth; // how its heights become metres (--hypsometry)
    std::optional<double> riverAreaKm2; // a river's catchment, km² (--river-area); nothing: the mesh's default
    // Earth's curve fitted to its land once its sea is set, before any
    // erosion, and kept: erosion moves heights along it. Null until then.
    std::atomic<std::shared_ptr<const HeightCurve>> heightCurve;
    std::optional<double> landPercent; // --land its sea was set by, 0 to 100; nothing: the sea at radius 1
    // The climate of its final land, made once when first asked for (PlanetClimate.h).
    std::mutex climateMutex;
    std::shared_ptr<const PlanetClimate> climate;
    int erosionSteps = 0;          // erosion steps its land has had (--erosion); 0: as generated
    std::unique_ptr<LiveJob> liveJob; // the running live generation, if any
};

// Where emitTriangle writes: the land and the sea, the same floats in each.
struct EmitTarget {
    float* land;
    float* sea;
};

void subdivideTriangle(const Vec3& p1, const Vec3& p2, const Vec3& p3, int depth, const EmitTarget& out);
void emitTriangle(const Vec3& p1, const Vec3& p2, const Vec3& p3, const EmitTarget& out);
