#ifndef TRESSMOOR_HAIR_CHILDSAMPLING_H
#define TRESSMOOR_HAIR_CHILDSAMPLING_H

#include <cmath>
#include <cstdint>

#include "hair/ChildStrands.h"

// What the child strands draw their random points with, and the little vector
// arithmetic they share.

// SplitMix64: small, fast and the same on every machine. Each brood seeds its own
// from the options' seed and the brood's guide, so broods may be made in any
// order, and a brood's state can be carried from one child to the next.
class ChildRandom {
public:
    // SplitMix64's step: 2^64 divided by the golden ratio, odd, so the state
    // runs through every 64-bit value before it repeats.
    static constexpr uint64_t kGoldenStep = 0x9E3779B97F4A7C15ull;
    // Keeps a brood whose guide number equals the seed from cancelling it
    // (mix(s) ^ mix(s) is 0); any fixed odd number would do.
    static constexpr uint64_t kBroodOffset = 0x632BE59BD9B4E019ull;

    ChildRandom(uint64_t seed, uint64_t brood) : state(mix(seed) ^ mix(brood + kBroodOffset)) {}
    explicit ChildRandom(uint64_t state) : state(state) {}

    uint64_t next()
    {
        state += kGoldenStep;
        return mix(state);
    }

    // Uniform in [0, 1): 24 random bits, exact in a float.
    float unit() { return static_cast<float>(next() >> 40) * 0x1p-24f; }
    float signedUnit() { return 2.0f * unit() - 1.0f; }

    uint64_t state;

private:
    // SplitMix64's finaliser: its published shifts and multipliers.
    static uint64_t mix(uint64_t z)
    {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
};

// Points are drawn by rejection, with no sine or cosine, so that children come
// out bit for bit alike wherever the C library's trigonometry differs.
inline void pointInDisc(ChildRandom& random, float& x, float& y)
{
    do {
        x = random.signedUnit();
        y = random.signedUnit();
    } while (x * x + y * y > 1.0f);
}

inline void pointInBall(ChildRandom& random, float out[3])
{
    do {
        out[0] = random.signedUnit();
        out[1] = random.signedUnit();
        out[2] = random.signedUnit();
    } while (out[0] * out[0] + out[1] * out[1] + out[2] * out[2] > 1.0f);
}

inline float dot(const float a[3], const float b[3])
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// How far along its strand point i of n lies, from 0 at the root to 1 at the tip.
inline float fractionAlong(uint64_t i, uint64_t n)
{
    return n > 1 ? static_cast<float>(i) / static_cast<float>(n - 1) : 0.0f;
}

// A child's point, strayed by frizz that grows from nothing at the root. The
// stray is drawn only when there is frizz, so the draws of a child are known
// from its point count (see ChildGenerator::skip).
inline void appendFrizzed(StrandRun& run, const float point[3], float frizz, float along,
                          ChildRandom& random)
{
    float stray[3] = {0.0f, 0.0f, 0.0f};
    if (frizz > 0.0f) {
        pointInBall(random, stray);
    }
    const float reach = frizz * along;
    for (int a = 0; a < 3; ++a) {
        run.points.push_back(point[a] + reach * stray[a]);
    }
}

// The frame at a root of a mesh with the interpolated normal there (ChildStrands.cpp).
RootFrame meshFrame(const float root[3], const float normal[3]);

// A root spread uniformly by area over the shape (ChildBetween.cpp).
void rootOnShape(UnderlyingShape shape, ChildRandom& random, float out[3]);

#endif
