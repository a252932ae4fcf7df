#include "geometry/BasisTableCache.h"

#include "geometry/Arrays.h"
#include "geometry/NurbsBasis.h"

DirectionTables::~DirectionTables()
{
    release();
}

bool DirectionTables::hasCoefficients(const float* fromKnots, int ofDegree, int ofNumCtrl) const
{
    return degree == ofDegree && numCtrl == ofNumCtrl && sameBits(knots, fromKnots, numKnots());
}

void DirectionTables::keepCoefficients(const float* fromKnots, const float* table, int ofDegree,
                                       int ofNumCtrl)
{
    release();
    degree = ofDegree;
    numCtrl = ofNumCtrl;
    knots = new float[numKnots()];
    coeff = new float[coeffCount()];
    copyArray(knots, fromKnots, numKnots());
    copyArray(coeff, table, coeffCount());
}

void DirectionTables::keepSamples(const int* sampledSpan, const float* sampledBasis,
                                  const float* sampledDeriv, int sampleCount)
{
    const int count = (sampleCount + 1) * (degree + 1);
    freeArray(span);
    freeArray(basis);
    freeArray(basisDeriv);
    samples = sampleCount;
    span = new int[sampleCount + 1];
    basis = new float[count];
    basisDeriv = new float[count];
    copyArray(span, sampledSpan, sampleCount + 1);
    copyArray(basis, sampledBasis, count);
    copyArray(basisDeriv, sampledDeriv, count);
}

void DirectionTables::release()
{
    freeArray(knots);
    freeArray(coeff);
    freeArray(span);
    freeArray(basis);
    freeArray(basisDeriv);
    degree = -1;
    numCtrl = 0;
    samples = -1;
}

BasisTableCache::~BasisTableCache()
{
    release();
}

DirectionTables* BasisTableCache::entryWithCoefficients(const float* knots, int degree, int numCtrl)
{
    for (DirectionTables& entry : entries) {
        if (entry.hasCoefficients(knots, degree, numCtrl)) {
            return &entry;
        }
    }
    return nullptr;
}

void BasisTableCache::fillCoefficients(const float* knots, int degree, int numCtrl, float* coeff)
{
    if (const DirectionTables* entry = entryWithCoefficients(knots, degree, numCtrl)) {
        copyArray(coeff, entry->coeff, entry->coeffCount());
        return;
    }
    expandCoefficients(knots, degree, numCtrl, coeff);
    entries[nextEntry].keepCoefficients(knots, coeff, degree, numCtrl);
    nextEntry = (nextEntry + 1) % kBasisCacheEntries;
}

void BasisTableCache::fillSamples(const float* knots, const float* coeff, int degree, int numCtrl,
                                  int samples, int* span, float* basis, float* basisDeriv)
{
    DirectionTables* entry = entryWithCoefficients(knots, degree, numCtrl);
    if (entry != nullptr && !sameBits(entry->coeff, coeff, entry->coeffCount())) {
        entry = nullptr;
    }
    if (entry != nullptr && entry->samples == samples) {
        const int count = (samples + 1) * (degree + 1);
        copyArray(span, entry->span, samples + 1);
        copyArray(basis, entry->basis, count);
        copyArray(basisDeriv, entry->basisDeriv, count);
        return;
    }
    sampleDirection(knots, coeff, degree, numCtrl, samples, span, basis, basisDeriv);
    if (entry != nullptr) {
        entry->keepSamples(span, basis, basisDeriv, samples);
    }
}

void BasisTableCache::release()
{
    for (DirectionTables& entry : entries) {
        entry.release();
    }
    nextEntry = 0;
}
