#ifndef TRESSMOOR_FORMATS_DENSEHAIRSOURCE_H
#define TRESSMOOR_FORMATS_DENSEHAIRSOURCE_H

#include <functional>
#include <string>

#include "formats/DenseHairFile.h"

class HairStore;

// Tressmoor's own hair with children, read back to be made again: how the
// children were made, and the guides as the hair's plain file holds them,
// taken from the file or grown again when it dropped them.
struct DenseHairSource {
    DenseHairInfo info;
    HairBytes guides;
};

// Grows the recipe's hair into the store as the given growth of a fresh run.
using GuideGrowth = std::function<bool(const HairRecipe& recipe, int growth)>;

// False when the file is not such hair, or does not hold exactly what its
// guides and child options make; claimed then tells whether its header says it
// is, and problem why it is not taken as such. Guides the file dropped are
// grown again into the store by growGuides. Hair grown on a mesh needs the
// ground of the mesh its recipe names for its children, and its guides grown
// again are moved into the mesh's units.
bool readDenseHairSource(const HairBytes& file, HairStore& store, const GuideGrowth& growGuides,
                         DenseHairSource& source, bool& claimed, std::string& problem,
                         const MeshGround* ground = nullptr);

#endif
