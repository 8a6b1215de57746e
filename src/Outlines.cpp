#include "Outlines.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace {

// One piece of a ring inside a face: from where it leaves the region across
// edge `from` to where it comes back across edge `to`, each edge given as
// (inside vertex, outside vertex).
struct Piece {
    std::uint32_t region;
    std::uint32_t fromIn, fromOut, toIn, toOut;
};

std::uint64_t edgeKey(std::uint32_t a, std::uint32_t b)
{
    return (std::uint64_t(std::min(a, b)) << 32) | std::max(a, b);
}

// The pieces of face f for every region it partly covers. Corners run
// counter-clockwise from outside; the piece runs from the crossing of the
// edge going out of the region to that of the edge coming in, which keeps
// the region on its left.
void facePieces(const IcosphereWeld& weld, std::size_t f, const Regions& regions, std::vector<Piece>& pieces)
{
    const std::uint32_t* c = &weld.cornerToVertex[3 * f];
    const std::uint32_t v[3] = {c[0], c[2], c[1]};
    for (int k = 0; k < 3; ++k) {
        const std::uint32_t region = regions.regionOf[v[k]];
        if (region == Regions::NONE)
            continue;
        bool seen = false;
        for (int j = 0; j < k; ++j)
            seen = seen || regions.regionOf[v[j]] == region;
        if (seen)
            continue;
        Piece piece{region, 0, 0, 0, 0};
        int edges = 0;
        for (int e = 0; e < 3; ++e) {
            const std::uint32_t a = v[e], b = v[(e + 1) % 3];
            const bool aIn = regions.regionOf[a] == region, bIn = regions.regionOf[b] == region;
            if (aIn && !bIn)
                piece.fromIn = a, piece.fromOut = b, ++edges;
            else if (!aIn && bIn)
                piece.toIn = b, piece.toOut = a, ++edges;
        }
        if (edges == 2)
            pieces.push_back(piece);
    }
}

std::array<double, 3> crossingPoint(const std::vector<double>& directions, const Regions& regions, std::uint32_t in,
                                    std::uint32_t out)
{
    // Kept off the edge's ends: crossings at a shared vertex would make one
    // point of several edges, and rings that repeat points or touch.
    const double t = std::clamp(regions.crossing(in, out), 1.0 / 64.0, 63.0 / 64.0);
    std::array<double, 3> p;
    double length = 0.0;
    for (int k = 0; k < 3; ++k) {
        p[k] = directions[3 * in + k] + t * (directions[3 * out + k] - directions[3 * in + k]);
        length += p[k] * p[k];
    }
    length = std::sqrt(length);
    for (double& x : p)
        x /= length;
    return p;
}

// Joins one region's pieces, [first, last) of pieces, into rings.
void joinPieces(const std::vector<Piece>& pieces, std::size_t first, std::size_t last,
                const std::vector<double>& directions, const Regions& regions, std::vector<Outline>& rings)
{
    std::unordered_map<std::uint64_t, std::size_t> leaving; // piece that leaves across an edge
    for (std::size_t i = first; i < last; ++i)
        leaving.emplace(edgeKey(pieces[i].fromIn, pieces[i].fromOut), i);
    std::vector<std::uint8_t> used(last - first, 0);
    for (std::size_t i = first; i < last; ++i) {
        if (used[i - first])
            continue;
        Outline ring{pieces[i].region, {}};
        std::size_t at = i;
        while (!used[at - first]) {
            used[at - first] = 1;
            ring.points.push_back(crossingPoint(directions, regions, pieces[at].fromIn, pieces[at].fromOut));
            const auto next = leaving.find(edgeKey(pieces[at].toIn, pieces[at].toOut));
            if (next == leaving.end())
                break;
            at = next->second;
        }
        ring.points.push_back(ring.points.front());
        rings.push_back(std::move(ring));
    }
}

} // namespace

std::vector<Outline> outlines(const IcosphereWeld& weld, const std::vector<double>& directions, const Regions& regions)
{
    std::vector<Piece> pieces;
    for (std::size_t f = 0; f < weld.faceCount(); ++f)
        facePieces(weld, f, regions, pieces);
    std::stable_sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.region < b.region; });
    std::vector<Outline> rings;
    for (std::size_t first = 0; first < pieces.size();) {
        std::size_t last = first;
        while (last < pieces.size() && pieces[last].region == pieces[first].region)
            ++last;
        joinPieces(pieces, first, last, directions, regions, rings);
        first = last;
    }
    return rings;
}

std::array<double, 2> longitudeLatitude(const std::array<double, 3>& d)
{
    const double degrees = 180.0 / std::numbers::pi;
    return {std::atan2(-d[2], d[0]) * degrees, std::atan2(d[1], std::hypot(d[0], d[2])) * degrees};
}
