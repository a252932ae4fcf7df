#ifndef TRESSMOOR_FORMATS_RECIPETEXT_H
#define TRESSMOOR_FORMATS_RECIPETEXT_H

#include <string>
#include <vector>

#include "hair/ChildStrands.h"
#include "hair/HairRecipe.h"

// Tag and version that open the text form of a recipe, the line Tressmoor's
// hair files carry.
constexpr const char* kHairRecipeTag = "tressmoor-hair";
constexpr int kHairRecipeVersion = 1;

// Hair grown on a mesh names the mesh by its file's hash, which leaves no room
// for the numbers' names: "tressmoor-mesh 1 0123456789abcdef combed 10 1 1 1 10",
// the hash, the style and the five numbers in the table's order. A tag of its
// own, so a Tressmoor that knows no meshes takes the hair for another program's.
constexpr const char* kMeshRecipeTag = "tressmoor-mesh";
constexpr int kMeshRecipeVersion = 1;

// The text form, e.g. "tressmoor-hair 1 sphere combed length=10 restAngle=1
// hairs=1 clusters=1 parts=10", or the mesh's form above; always shorter than
// 88 bytes.
std::string formatRecipe(const HairRecipe& recipe);
// False with the reason when the text is not a recipe this version can use.
// hasTag tells whether the text opens with the recipe tag at all.
bool parseRecipe(const std::string& text, HairRecipe& recipe, bool& hasTag, std::string& problem);
// Shape and style known, every number inside its slider's range, within the store.
bool checkRecipe(const HairRecipe& recipe, std::string& problem);

// The words of a text between single spaces; an empty text is one empty word.
std::vector<std::string> splitOnSpaces(const std::string& text);

// The shortest text that reads back as the same float, as the option texts
// and the tools' help write numbers.
std::string shortestText(float value);

// How children were made, beside the recipe in the OBJ comment and the USD layer:
// "children=200 mode=around radius=4 clump=0.5 frizz=0 seed=1 rootWidth=2
// tipWidth=2 guides=keep", each number the shortest text of its float.
std::string formatChildOptions(const ChildRequest& request);

#endif
