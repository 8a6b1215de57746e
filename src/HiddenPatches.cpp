#include "HiddenPatches.h"

#include "DetailLevels.h"

#include <algorithm>
#include <cmath>

namespace {

// Allowance for the float positions and the rounding of the angles, radians.
constexpr double ANGLE_SLACK = 1e-6;

void unit(double (&v)[3])
{
    const double length = std::hypot(v[0], v[1], v[2]);
    for (double& c : v)
        c /= length;
}

std::vector<IndexRun> whole(int level)
{
    return {{0, std::uint32_t(60) << (2 * level)}};
}

// The cosine of the widest angle from a level's triangle's centre to its
// corners (0.65 radians for the icosahedron, about halved at each level):
// a flat triangle whose corners lie at least r from the centre comes no
// nearer than r times this.
double flatTriangleFactor(int level)
{
    return std::cos(0.8 / std::ldexp(1.0, level));
}

} // namespace

std::vector<PatchCone> patchCones(const IcosphereWeld& weld, const float* soup)
{
    if (weldSubdivisions(weld) < PATCH_LEVEL)
        return {};
    const std::vector<std::uint32_t> corners = levelTriangles(weld, PATCH_LEVEL);
    std::vector<PatchCone> cones(corners.size() / 3);
    for (std::size_t p = 0; p < cones.size(); ++p) {
        double direction[3][3];
        PatchCone& cone = cones[p];
        std::fill(std::begin(cone.axis), std::end(cone.axis), 0.0);
        for (int k = 0; k < 3; ++k) {
            const float* xyz = soup + 3 * std::size_t(weld.vertexToCorner[corners[3 * p + k]]);
            std::copy(xyz, xyz + 3, direction[k]);
            unit(direction[k]);
            for (int i = 0; i < 3; ++i)
                cone.axis[i] += direction[k][i];
        }
        unit(cone.axis);
        cone.halfAngle = 0.0;
        for (const auto& corner : direction) {
            const double cosine = cone.axis[0] * corner[0] + cone.axis[1] * corner[1] + cone.axis[2] * corner[2];
            cone.halfAngle = std::max(cone.halfAngle, std::acos(std::clamp(cosine, -1.0, 1.0)));
        }
    }
    return cones;
}

bool eyeOf(const double (&modelView)[16], double (&eye)[3])
{
    // The eye sits at the origin of eye space: the model point p with
    // A p + t = 0, A the upper 3 x 3 (a[row][column]) and t the last column.
    double a[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            a[r][c] = modelView[4 * c + r];
    const double t[3] = {modelView[12], modelView[13], modelView[14]};
    // Cramer's rule: each coordinate is a determinant with -t in its column.
    const auto det = [](const double (&m)[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double whole = det(a);
    if (!(std::abs(whole) > 1e-12))
        return false;
    for (int k = 0; k < 3; ++k) {
        double replaced[3][3];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                replaced[r][c] = c == k ? -t[r] : a[r][c];
        eye[k] = det(replaced) / whole;
    }
    return true;
}

std::vector<IndexRun> seenRuns(const std::vector<PatchCone>& cones, int level, const Sight& sight)
{
    const double distance = std::hypot(sight.eye[0], sight.eye[1], sight.eye[2]);
    const double inner = sight.nearest * flatTriangleFactor(level);
    if (cones.empty() || level < PATCH_LEVEL || !(inner > 0.0) || !(distance > inner) ||
        !(sight.farthest >= sight.nearest))
        return whole(level);
    // A point r from the centre is hidden once its angle from the eye's
    // direction passes the ball's horizon seen from the eye plus the
    // ball's horizon seen from the point.
    const double limit =
        std::acos(inner / distance) + std::acos(std::min(1.0, inner / sight.farthest)) + ANGLE_SLACK;
    const std::uint32_t span = 3u << (2 * (level - PATCH_LEVEL)); // indices a patch
    std::vector<IndexRun> runs;
    for (std::size_t p = 0; p < cones.size(); ++p) {
        const PatchCone& cone = cones[p];
        const double cosine =
            (cone.axis[0] * sight.eye[0] + cone.axis[1] * sight.eye[1] + cone.axis[2] * sight.eye[2]) / distance;
        if (std::acos(std::clamp(cosine, -1.0, 1.0)) - cone.halfAngle > limit)
            continue;
        const auto first = static_cast<std::uint32_t>(p) * span;
        if (!runs.empty() && runs.back().first + runs.back().count == first)
            runs.back().count += span;
        else
            runs.push_back({first, span});
    }
    return runs;
}
