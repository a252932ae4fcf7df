#ifndef TRESSMOOR_HAIR_HAIRSTORE_H
#define TRESSMOOR_HAIR_HAIRSTORE_H

#include "geometry/BasisTableCache.h"
#include "geometry/NurbsSurface.h"

constexpr int kMaxClusters = 100;
constexpr int kMaxStrandsPerCluster = 102;
constexpr int kStrandRingPoints = 9;    // control points around a strand tube
constexpr int kStrandDegree = 3;
constexpr int kStrandSamples = 20;      // sample intervals per direction of a tube
// Centreline points a strand may have, even, in this range. The store's least is
// not the parts slider's (8, kPartsRange): six is the fewest that give a tube at
// all (with four its first and last evaluated knots coincide and its u range is
// empty), so the store builds every strand that has a shape, while the window,
// its files and tressmoor-grow keep to the slider's 8 to 16. The most, sixteen,
// is the slider's.
constexpr int kMinStrandParts = 6;
constexpr int kMaxStrandParts = 16;

// The unit ring in the x-z plane swept along every centreline.
extern const ControlPoint kStrandCrossSection[kStrandRingPoints];
// The v knots of every strand tube.
extern const float kStrandKnotsV[13];

struct HairCluster {
    NurbsSurface strands[kMaxStrandsPerCluster];
    int strandCount = 0;
};

// Every grown strand surface, by cluster record. Records and strands beyond the
// current counts keep what an earlier growth left in them and are not drawn.
class HairStore {
public:
    HairCluster hairClusters[kMaxClusters];
    int clusterCount = 0;
    bool hairGrown = false;
    // The strands' basis tables: every strand of a growth has the same knots.
    BasisTableCache strandBasisTables;
};

// The window's hair. Only the window and the programs' mains name it; everything
// else is handed the store it works on.
extern HairStore hairStore;

// Whether a strand may have this many centreline points: even, within the limits.
bool isValidStrandParts(int parts);

// Fill the parts + 4 u knots shared by every strand of one growth.
void buildStrandKnotsU(int parts, float* strandKnotsU);

// Turn the centreline (parts points, root first) into the tube of strand k of
// record p of the store, using the caller's scratch net of parts x 9 points.
// Returns false, touching nothing, when p, k or parts lie outside what the store
// can hold.
bool buildStrand(HairStore& store, int p, int k, const float* pathX, const float* pathY,
                 const float* pathZ, int parts, const float* strandKnotsU,
                 ControlPoint* scratchNet);

#endif
