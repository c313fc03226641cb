// The query entry points leave the YMM registers' upper halves clear, so that
// their legacy-encoded SSE code does not run behind a host's AVX state (1.4
// to 1.7 times slower where it did).
#include <gtest/gtest.h>

#include <cstdint>

#include "collision/closest_point.h"
#include "collision/contact_state.h"
#include "collision/sweep_first.h"
#include "collision/sweep_query.h"
#include "support/test_scenes.h"

#if defined(__x86_64__) && !defined(__AVX__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>

namespace sweepview {
namespace {

// Whether XGETBV can report which state components are in use (XINUSE).
bool reportsStateInUse() {
    unsigned a = 0, b = 0, c = 0, d = 0;
    return __builtin_cpu_supports("avx") && __get_cpuid_count(0xd, 1, &a, &b, &c, &d) != 0 && (a & 4u) != 0;
}

// Bit 2 of XINUSE: the upper halves of YMM0 to YMM15 are in use.
bool upperHalvesInUse() {
    unsigned low = 0, high = 0;
    asm volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return (low & 4u) != 0;
}

void dirtyUpperHalves() { asm volatile("vpcmpeqd %%ymm15, %%ymm15, %%ymm15" ::: "xmm15"); }

TEST(CleanUpperState, EveryQueryEntryClearsWhatAHostLeft) {
    if (!reportsStateInUse()) {
        GTEST_SKIP() << "no AVX, or XGETBV cannot report the state in use";
    }
    const auto scene = roomScene();
    const SweptSphere sphere(Vec3(0.0f, 0.0f, 0.0f), Vec3(1.0f, 0.5f, 0.0f), 1.0f);
    dirtyUpperHalves();
    ASSERT_TRUE(upperHalvesInUse());  // the probe itself works

    sweepFirst(*scene, sphere);
    EXPECT_FALSE(upperHalvesInUse()) << "sweepFirst";

    dirtyUpperHalves();
    ContactState state;
    sweepQuery(*scene, sphere, state);
    EXPECT_FALSE(upperHalvesInUse()) << "sweepQuery";

    dirtyUpperHalves();
    closestPoint(*scene, Vec3(0.0f, 0.0f, 0.0f), 100.0f);
    EXPECT_FALSE(upperHalvesInUse()) << "closestPoint";
}

}  // namespace
}  // namespace sweepview

#endif
