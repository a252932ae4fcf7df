#ifndef TRESSMOOR_APP_SHOWNCHILDREN_H
#define TRESSMOOR_APP_SHOWNCHILDREN_H

#include <optional>
#include <string>

#include "formats/HairCodec.h"
#include "view/DenseHairLines.h"

class HairSettings;
struct MeshHairFound;

// The children the window shows with its guides, made again from the guides'
// own HAIR bytes at every redraw, so that only the guides are kept in memory.
struct ShownChildren {
    HairBytes guides;
    std::optional<DenseHairLines> lines;
};

extern ShownChildren shownChildren;

// After the hair has changed: the lines of the settings' child options over the
// store's guides, or none without children, handed to the view. False with the
// reason, and no children shown, when they cannot be made.
bool showChildrenOf(HairSettings& settings, std::string& problem);

// Save the shown guides and their children as tressmoor-grow writes them for
// the same recipe, growth and child options (on a mesh, the same mesh),
// streamed to disk.
bool saveGrownHairFile(HairSettings& settings, const std::string& path, std::string& problem);

// Load hair with children Tressmoor's tools wrote: its guides become the hair
// shown, its child options the settings'. Hair grown on a mesh needs that
// mesh found, which then becomes the window's. False with the message to show
// when the file is refused; nothing shown changes then, though guides the
// file dropped have been grown again, and the growth counter says so.
bool loadDenseHairFile(HairSettings& settings, const HairBytes& file, MeshHairFound& mesh,
                       std::string& problem);

// Whether the file's information text says it is Tressmoor's hair with children.
bool claimsChildren(const HairStrands& file);

#endif
