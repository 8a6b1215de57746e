#include "FaultTreeKernels.h"

#include <atomic>
#include <cstring>
#include <immintrin.h>

namespace treekernels {

namespace {

// Lanes of one register of the instruction set a kernel is built for: 16
// for AVX-512, 8 for AVX2, 4 for SSE. Wider vectors than the registers would
// be split element by element.
template <int N>
struct Lanes {
    typedef float Floats __attribute__((vector_size(4 * N)));
    typedef int Ints __attribute__((vector_size(4 * N)));
};

// Lanes from memory; filled through a reference, since a returned vector
// would take a different calling convention in each kernel's instruction set.
template <class V, class T>
[[gnu::always_inline]] inline void load(V& lanes, const T* p)
{
    std::memcpy(&lanes, p, sizeof lanes);
}

// Sets keep[i] to 1 for the planes of in that may cut the node, 0 for the
// others; returns the sum of the steps the others give the whole node. The
// lists have room for a whole register past their count.
template <int N>
[[gnu::always_inline]] inline int classifyBody(const PlaneList& in, const NodeBall& ball, int* keep)
{
    using Floats = typename Lanes<N>::Floats;
    using Ints = typename Lanes<N>::Ints;
    const float reach = ball.radius + SIDE_MARGIN;
    const float bx = ball.centre[0], by = ball.centre[1], bz = ball.centre[2];
    const Ints none = {};
    Ints lane;
    for (int l = 0; l < N; ++l)
        lane[l] = l;
    Ints steps = {};
    for (int i = 0; i < in.count; i += N) {
        Floats x, y, z, lengthSquared, length;
        Ints sign;
        load(x, in.x + i);
        load(y, in.y + i);
        load(z, in.z + i);
        load(lengthSquared, in.lengthSquared + i);
        load(length, in.length + i);
        load(sign, in.sign + i);
        const Floats s = bx * x + by * y + bz * z - lengthSquared;
        const Floats t = reach * length;
        const Ints inList = lane < in.count - i;
        Ints step = s > t ? sign : none;
        step = s < -t ? none - sign : step;
        steps += inList ? step : none;
        Ints cut = inList ? none + 1 : none;
        cut = s > t ? none : cut;
        cut = s < -t ? none : cut;
        std::memcpy(keep + i, &cut, sizeof cut);
    }
    int total = 0;
    for (int l = 0; l < N; ++l)
        total += steps[l];
    return total;
}

// Adds to k, for the vertices x, y, z (a multiple of G N), the steps of
// every plane: the side test of sideValue in the same order of operations,
// so that every decision is the same bit for bit. G registers of vertices at
// a time stay in registers across the planes.
template <int N, int G>
[[gnu::always_inline]] inline void leafBody(const PlaneList& planes, const float* x, const float* y, const float* z,
                                            int* k, int count)
{
    using Floats = typename Lanes<N>::Floats;
    using Ints = typename Lanes<N>::Ints;
    int inner = 0; // every plane's inner step; an outer vertex gets 2 sign more
    for (int i = 0; i < planes.count; ++i)
        inner -= planes.sign[i];
    for (int o = 0; o < count; o += G * N) {
        Floats vx[G], vy[G], vz[G];
        Ints steps[G];
        for (int g = 0; g < G; ++g) {
            load(vx[g], x + o + g * N);
            load(vy[g], y + o + g * N);
            load(vz[g], z + o + g * N);
            load(steps[g], k + o + g * N);
            steps[g] += inner;
        }
        for (int i = 0; i < planes.count; ++i) {
            const float px = planes.x[i], py = planes.y[i], pz = planes.z[i];
            const int twice = 2 * planes.sign[i];
            for (int g = 0; g < G; ++g) {
                const Floats d = (vy[g] - py) * py + (vx[g] - px) * px + (vz[g] - pz) * pz;
                steps[g] = d > 0.0f ? steps[g] + twice : steps[g];
            }
        }
        for (int g = 0; g < G; ++g)
            std::memcpy(k + o + g * N, &steps[g], sizeof steps[g]);
    }
}

__attribute__((target("avx512f"))) void leafAvx512(const PlaneList& p, const float* x, const float* y,
                                                   const float* z, int* k, int count)
{
    count == LATTICE_POINTS ? leafBody<16, 1>(p, x, y, z, k, count) : leafBody<16, 3>(p, x, y, z, k, count);
}
__attribute__((target("avx2"))) void leafAvx2(const PlaneList& p, const float* x, const float* y, const float* z,
                                              int* k, int count)
{
    count == LATTICE_POINTS ? leafBody<8, 2>(p, x, y, z, k, count) : leafBody<8, 3>(p, x, y, z, k, count);
}
void leafPlain(const PlaneList& p, const float* x, const float* y, const float* z, int* k, int count)
{
    count == LATTICE_POINTS ? leafBody<4, 4>(p, x, y, z, k, count) : leafBody<4, 3>(p, x, y, z, k, count);
}

// Moves into out the planes of in that may cut the node, keep[i] telling
// which; returns the sum of the steps the others give the whole node.
int compactPlanes(const PlaneList& in, const int* keep, PlaneList& out)
{
    const int count = in.count;
    float* __restrict x = out.x;
    float* __restrict y = out.y;
    float* __restrict z = out.z;
    float* __restrict lengthSquared = out.lengthSquared;
    float* __restrict length = out.length;
    int* __restrict sign = out.sign;
    int kept = 0;
    for (int i = 0; i < count; ++i) {
        x[kept] = in.x[i];
        y[kept] = in.y[i];
        z[kept] = in.z[i];
        lengthSquared[kept] = in.lengthSquared[i];
        length[kept] = in.length[i];
        sign[kept] = in.sign[i];
        kept += keep[i];
    }
    return kept;
}

// The split of a node's planes: the planes that may cut it go to out (which
// has room for a register past in.count), the sum of the others' steps is
// returned. keep is scratch room for in.count flags.
__attribute__((target("avx2"))) int splitAvx2(const PlaneList& in, const NodeBall& ball, PlaneList& out, int* keep)
{
    const int steps = classifyBody<8>(in, ball, keep);
    out.count = compactPlanes(in, keep, out);
    return steps;
}

int splitPlain(const PlaneList& in, const NodeBall& ball, PlaneList& out, int* keep)
{
    const int steps = classifyBody<4>(in, ball, keep);
    out.count = compactPlanes(in, keep, out);
    return steps;
}

// The same with the compaction in registers: each field of sixteen planes is
// compressed to the kept ones and stored whole at the end of out.
__attribute__((target("avx512f"))) int splitAvx512(const PlaneList& in, const NodeBall& ball, PlaneList& out, int*)
{
    const __m512 bx = _mm512_set1_ps(ball.centre[0]), by = _mm512_set1_ps(ball.centre[1]);
    const __m512 bz = _mm512_set1_ps(ball.centre[2]), reach = _mm512_set1_ps(ball.radius + SIDE_MARGIN);
    const __m512i lane = _mm512_set_epi32(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    __m512i steps = _mm512_setzero_si512();
    int kept = 0;
    for (int i = 0; i < in.count; i += 16) {
        const __mmask16 inList = _mm512_cmplt_epi32_mask(lane, _mm512_set1_epi32(in.count - i));
        const __m512 x = _mm512_loadu_ps(in.x + i), y = _mm512_loadu_ps(in.y + i), z = _mm512_loadu_ps(in.z + i);
        const __m512 lengthSquared = _mm512_loadu_ps(in.lengthSquared + i);
        const __m512 length = _mm512_loadu_ps(in.length + i);
        const __m512i sign = _mm512_loadu_si512(in.sign + i);
        const __m512 s = _mm512_sub_ps(
            _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(bx, x), _mm512_mul_ps(by, y)), _mm512_mul_ps(bz, z)), lengthSquared);
        const __m512 t = _mm512_mul_ps(reach, length);
        const __mmask16 outer = _mm512_mask_cmp_ps_mask(inList, s, t, _CMP_GT_OQ);
        const __mmask16 inner = _mm512_mask_cmp_ps_mask(inList, s, _mm512_sub_ps(_mm512_setzero_ps(), t), _CMP_LT_OQ);
        steps = _mm512_mask_sub_epi32(_mm512_mask_add_epi32(steps, outer, steps, sign), inner, steps, sign);
        const __mmask16 cut = inList & static_cast<__mmask16>(~(outer | inner));
        _mm512_storeu_ps(out.x + kept, _mm512_maskz_compress_ps(cut, x));
        _mm512_storeu_ps(out.y + kept, _mm512_maskz_compress_ps(cut, y));
        _mm512_storeu_ps(out.z + kept, _mm512_maskz_compress_ps(cut, z));
        _mm512_storeu_ps(out.lengthSquared + kept, _mm512_maskz_compress_ps(cut, lengthSquared));
        _mm512_storeu_ps(out.length + kept, _mm512_maskz_compress_ps(cut, length));
        _mm512_storeu_si512(out.sign + kept, _mm512_maskz_compress_epi32(cut, sign));
        kept += __builtin_popcount(cut);
    }
    out.count = kept;
    int lanes[16];
    _mm512_storeu_si512(lanes, steps);
    int total = 0;
    for (int l : lanes)
        total += l;
    return total;
}

std::atomic<TreeKernel> chosenKernel{bestTreeKernel()};

} // namespace

Kernels kernels()
{
    switch (chosenKernel) {
    case TreeKernel::Avx512:
        return {splitAvx512, leafAvx512};
    case TreeKernel::Avx2:
        return {splitAvx2, leafAvx2};
    default:
        return {splitPlain, leafPlain};
    }
}

} // namespace treekernels

TreeKernel bestTreeKernel()
{
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return TreeKernel::Avx512;
    if (__builtin_cpu_supports("avx2"))
        return TreeKernel::Avx2;
    return TreeKernel::Plain;
}

void setTreeKernel(TreeKernel kernel)
{
    treekernels::chosenKernel = kernel;
}
