#include "geometry/BasisTableCache.h"

#include "geometry/Arrays.h"
#include "geometry/NurbsBasis.h"

namespace {

// The tables of one direction of a recent set-up, and what they were made from.
// Every strand of a growth has the same knots, degree and sample count, so all
// but the first copy their tables from here instead of computing them; the
// copies are the very floats a fresh computation gives, since the key holds
// every input, compared bit for bit.
struct DirectionTables {
    int degree = -1;
    int numCtrl = 0;
    int samples = -1;   // -1: coefficients only, no sampled tables yet
    float* knots = nullptr;
    float* coeff = nullptr;
    int* span = nullptr;
    float* basis = nullptr;
    float* basisDeriv = nullptr;

    int numKnots() const { return numCtrl + degree + 1; }
    int coeffCount() const { return (numCtrl - degree) * (degree + 1) * (degree + 1); }

    bool hasCoefficients(const float* k, int d, int n) const
    {
        return degree == d && numCtrl == n && sameBits(knots, k, numKnots());
    }

    void keepCoefficients(const float* k, const float* c, int d, int n)
    {
        release();
        degree = d;
        numCtrl = n;
        knots = new float[numKnots()];
        coeff = new float[coeffCount()];
        copyArray(knots, k, numKnots());
        copyArray(coeff, c, coeffCount());
    }

    // The sampled tables of these coefficients.
    void keepSamples(const int* sp, const float* b, const float* bd, int s)
    {
        const int entries = (s + 1) * (degree + 1);
        delete[] span;
        delete[] basis;
        delete[] basisDeriv;
        samples = s;
        span = new int[s + 1];
        basis = new float[entries];
        basisDeriv = new float[entries];
        copyArray(span, sp, s + 1);
        copyArray(basis, b, entries);
        copyArray(basisDeriv, bd, entries);
    }

    void release()
    {
        freeArray(knots);
        freeArray(coeff);
        freeArray(span);
        freeArray(basis);
        freeArray(basisDeriv);
        degree = -1;
        samples = -1;
    }

    ~DirectionTables() { release(); }
};

// Enough for both directions of a strand and of the underlying surface.
constexpr int kRecentTables = 4;
DirectionTables recentTables[kRecentTables];
int nextRecentSlot = 0;

DirectionTables* tablesWithCoefficients(const float* knots, int degree, int numCtrl)
{
    for (DirectionTables& tables : recentTables) {
        if (tables.hasCoefficients(knots, degree, numCtrl)) {
            return &tables;
        }
    }
    return nullptr;
}

}  // namespace

void fillCoefficients(const float* knots, int degree, int numCtrl, float* coeff)
{
    if (const DirectionTables* recent = tablesWithCoefficients(knots, degree, numCtrl)) {
        copyArray(coeff, recent->coeff, recent->coeffCount());
        return;
    }
    expandCoefficients(knots, degree, numCtrl, coeff);
    recentTables[nextRecentSlot].keepCoefficients(knots, coeff, degree, numCtrl);
    nextRecentSlot = (nextRecentSlot + 1) % kRecentTables;
}

void fillSamples(const float* knots, const float* coeff, int degree, int numCtrl, int samples,
                 int* span, float* basis, float* basisDeriv)
{
    DirectionTables* recent = tablesWithCoefficients(knots, degree, numCtrl);
    if (recent != nullptr && !sameBits(recent->coeff, coeff, recent->coeffCount())) {
        recent = nullptr;
    }
    if (recent != nullptr && recent->samples == samples) {
        const int entries = (samples + 1) * (degree + 1);
        copyArray(span, recent->span, samples + 1);
        copyArray(basis, recent->basis, entries);
        copyArray(basisDeriv, recent->basisDeriv, entries);
        return;
    }
    sampleDirection(knots, coeff, degree, numCtrl, samples, span, basis, basisDeriv);
    if (recent != nullptr) {
        recent->keepSamples(span, basis, basisDeriv, samples);
    }
}

