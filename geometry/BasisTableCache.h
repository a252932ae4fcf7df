#ifndef TRESSMOOR_GEOMETRY_BASISTABLECACHE_H
#define TRESSMOOR_GEOMETRY_BASISTABLECACHE_H

// The tables of one direction of a set-up, and what they were made from. The
// arrays are the entry's own copies, freed by release.
struct DirectionTables {
    int degree = -1;    // -1: empty
    int numCtrl = 0;
    int samples = -1;   // -1: coefficients only, no sampled tables yet
    float* knots = nullptr;
    float* coeff = nullptr;
    int* span = nullptr;
    float* basis = nullptr;
    float* basisDeriv = nullptr;

    DirectionTables() = default;
    ~DirectionTables();
    DirectionTables(const DirectionTables&) = delete;
    DirectionTables& operator=(const DirectionTables&) = delete;

    int numKnots() const { return numCtrl + degree + 1; }
    int coeffCount() const { return (numCtrl - degree) * (degree + 1) * (degree + 1); }
    bool hasCoefficients(const float* fromKnots, int ofDegree, int ofNumCtrl) const;
    void keepCoefficients(const float* fromKnots, const float* table, int ofDegree, int ofNumCtrl);
    void keepSamples(const int* sampledSpan, const float* sampledBasis,
                     const float* sampledDeriv, int sampleCount);
    void release();
};

// Enough for both directions of the strands of two growths.
constexpr int kBasisCacheEntries = 4;

// Basis tables of recent set-ups, for surfaces that share knots: every strand
// of a growth has the same knots, degree and sample count, so all but the first
// copy their tables from here instead of computing them. The copies are the very
// floats a fresh computation gives, since an entry's key holds every input,
// compared bit for bit. Entries are replaced oldest first.
class BasisTableCache {
public:
    BasisTableCache() = default;
    ~BasisTableCache();
    BasisTableCache(const BasisTableCache&) = delete;
    BasisTableCache& operator=(const BasisTableCache&) = delete;

    // Coefficient table of one direction, copied from an entry of the same knots
    // and degree, or computed and kept in a new entry.
    void fillCoefficients(const float* knots, int degree, int numCtrl, float* coeff);

    // Sampled tables of one direction, copied from an entry of the same knots,
    // coefficients and sample count, or sampled and kept with the coefficients
    // they were sampled from.
    void fillSamples(const float* knots, const float* coeff, int degree, int numCtrl, int samples,
                     int* span, float* basis, float* basisDeriv);

    // Empties every entry.
    void release();

    DirectionTables entries[kBasisCacheEntries];
    int nextEntry = 0;

private:
    DirectionTables* entryWithCoefficients(const float* knots, int degree, int numCtrl);
};

#endif
