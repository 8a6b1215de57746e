#pragma once

#include "LiveGeneration.h"
#include "StopRequest.h"

#include <atomic>
#include <memory>
#include <climits>
#include <cstdint>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

class Planet;

// The process-wide random source of landscape generation, reseeded at every
// generation start. Batch workers draw under rngMutex; a live thread is its
// only user while it runs.
extern std::mt19937 MersenneTwister;
extern std::mutex rngMutex;

// A fault plane: it passes through p and is perpendicular to p's direction.
// With sign +1 the outer side (away from the centre) rises.
struct FaultPlane {
    float p[3];
    int sign;
};

// A draw r as a unit value r / 4294967295 in [0, 1], in double precision.
inline double unitValue(std::uint32_t r) { return r * 2.3283064370807974e-10; }

// The plane four draws make: r1 gives the sign, r2 the distance from the
// centre (0 to 1), r3 the azimuth and r4 the polar angle of its normal.
FaultPlane planeFromDraws(std::uint32_t r1, std::uint32_t r2, std::uint32_t r3, std::uint32_t r4);

// The progress entry after done of planes planes, in percent; 64-bit
// arithmetic, since done * 100 overflows an int from 21474837 planes on.
int progressPercent(int done, int planes);

// Writes one progress entry, "N%..  ", at once.
void printProgress(int percent);

// Planes from one progress entry to the next: a twentieth, at least 1.
int progressStep(int planes);

// Takes the four draws of one plane from MersenneTwister.
FaultPlane randomPlanePoint();

// Draws count planes in draw order, holding rngMutex for all of them.
std::vector<FaultPlane> drawPlanes(int count);

// The side test: > 0 on the outer side; 0 or less is the inner side.
inline float sideValue(const FaultPlane& plane, float x, float y, float z)
{
    return (y - plane.p[1]) * plane.p[1] + (x - plane.p[0]) * plane.p[0] + (z - plane.p[2]) * plane.p[2];
}

// Adds the plane's step to the counter of every vertex: +sign on the outer
// side, -sign on the inner. xyz holds count vertices of three floats.
void applyPlaneToCounters(const FaultPlane& plane, const float* xyz, int count, int* counters);

// Scales every vertex of xyz to radius |a/1500 + b/1500| times its own.
void scaleByCounters(float* xyz, int count, const int* a, const int* b);

// The seed every generation of this process uses instead of the calendar
// time; nothing means the time.
void setFixedSeed(std::optional<std::uint32_t> seed);

// The pace of every live generation of this process from now on
// (LivePace.h); the default, LivePace{}, is as fast as the machine goes,
// at once.
void setLivePace(const LivePace& pace);

// Reseeds MersenneTwister for a new generation and returns the seed used:
// wanted when given, otherwise the fixed seed or the time.
std::uint32_t seedGenerator(std::optional<std::uint32_t> wanted = std::nullopt);

// Batch worker argument.
struct GenerationJob {
    Planet* planet;
    int* counters;     // one per vertex
    int iterations;    // this worker's share of the planes
    bool showProgress; // only one worker prints the progress line
};

// One worker of the brute-force batch: draws its planes one at a time and
// tests every vertex against each.
void faultWorker(GenerationJob* job);

// The batch as two brute-force workers do it, each with its own counters; the
// land is the same as generateBatch's, bit for bit. Kept as the reference.
void generateBatchBruteForce(Planet& planet, int iterations);

// Deforms the planet's land to completion with two workers: the planes are
// drawn first, then applied through the subdivision tree (FaultTree.h). Set,
// stop ends it part way (a planet no longer wanted), its land half made.
void generateBatch(Planet& planet, int iterations, std::optional<std::uint32_t> seed = std::nullopt,
                   StopRequest stop = nullptr);

// Working memory of a batch generation over vertexCount vertices, in bytes:
// one pass's planes and the tree's plane lists, and one counter per vertex
// when the planes take more than one pass. The default is the most any
// iteration count needs.
std::uint64_t generationBytes(int vertexCount, int iterations = INT_MAX);

// Last step of the Planet constructor: deforms the land, in batch (returns
// when done) or live (returns at once, a thread goes on).
void startLandscapeGeneration(Planet& planet, int iterations, bool liveGeneration,
                              std::optional<std::uint32_t> seed = std::nullopt, StopRequest stop = nullptr);
