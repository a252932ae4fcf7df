#include "app/ShownChildren.h"

#include <cstdlib>

#include "app/AppWindow.h"
#include "app/HairSettings.h"
#include "app/MeshHairLoad.h"
#include "formats/DenseHairSource.h"
#include "formats/HairExport.h"
#include "formats/MeshHair.h"
#include "formats/StoredHair.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"
#include "view/HairView.h"

ShownChildren shownChildren;

namespace {

void handToView(const HairSettings& settings)
{
    if (theAppWindow == nullptr || theAppWindow->view == nullptr) {
        return;
    }
    HairView& view = *theAppWindow->view;
    view.childLines = shownChildren.lines ? &*shownChildren.lines : nullptr;
    view.guideTubes = settings.children.output.keepGuides;
}

// The mesh the shown hair grew on, which its children are made on; none on a shape.
const MeshGround* groundOf(const HairSettings& settings)
{
    return settings.shape == UnderlyingShape::Mesh ? settings.meshGround.get() : nullptr;
}

}  // namespace

bool claimsChildren(const HairStrands& file)
{
    DenseHairInfo info;
    bool hasTag = false;
    std::string problem;
    return parseDenseHairInfo(file.header.info, info, hasTag, problem) || hasTag;
}

bool showChildrenOf(HairSettings& settings, std::string& problem)
{
    shownChildren.lines.reset();
    shownChildren.guides = HairBytes();
    bool shown = true;
    if (settings.children.generation.children > 0 && hairStore.hairGrown) {
        HairRecipe recipe = recipeFromSettings(settings);
        shown = adoptStoreLayout(hairStore, recipe, problem) &&
                storedHairStrands(hairStore, recipe, shownChildren.guides, problem);
        if (shown) {
            // The guides' bytes stay where they are: the lines read them in place.
            shownChildren.lines =
                DenseHairLines::make(guideStrandsOf(shownChildren.guides.strands), recipe.shape,
                                     settings.children.generation, false, problem,
                                     groundOf(settings));
            shown = shownChildren.lines.has_value();
        }
    }
    handToView(settings);
    return shown;
}

bool saveGrownHairFile(HairSettings& settings, const std::string& path, std::string& problem)
{
    HairRecipe recipe = recipeFromSettings(settings);
    const MeshGround* ground = groundOf(settings);
    if (recipe.shape == UnderlyingShape::Mesh && (ground == nullptr || !ground->ready())) {
        problem = "the mesh the hair grew on is gone";
        return false;
    }
    HairBytes guides;
    if (!adoptStoreLayout(hairStore, recipe, problem) ||
        !storedHairStrands(hairStore, recipe, guides, problem) ||
        (ground != nullptr && !toMeshUnits(guides, ground->fit, problem))) {
        return false;
    }
    const std::optional<StrandStream> stream =
        StrandStream::make(guides.strands, recipe.shape, settings.children, problem, ground);
    const HairFileFormat format = formatForPath(path);
    if (!stream || !canWrite(*stream, format, problem)) {
        return false;
    }
    TressmoorStrands own = tressmoorStrandsOf(guides.strands, recipe, underlyingSurface);
    own.growth = settings.growth;
    ExportSettings exportSettings;
    if (ground != nullptr) {
        // The roots' uvs are found from the points in the mesh's units, as the tools find them.
        own.rootSt = meshRootSt(guides.strands, *ground, true);
        exportSettings.mesh = ground;
    }
    return saveHairFileAs(path, *stream, own, format, exportSettings, problem);
}

bool loadDenseHairFile(HairSettings& settings, const HairBytes& file, MeshHairFound& mesh,
                       std::string& problem)
{
    // A text this version cannot read says why itself: damaged, or from a newer version.
    DenseHairInfo info;
    bool hasTag = false;
    if (!parseDenseHairInfo(file.strands.header.info, info, hasTag, problem)) {
        return false;
    }
    HairFileContents shown;
    const bool hadHair = hairStore.hairGrown;
    HairRecipe shownRecipe = recipeFromSettings(settings);
    std::string unused;
    const bool keepsShown = hadHair && adoptStoreLayout(hairStore, shownRecipe, unused) &&
                            storedHairContents(hairStore, shownRecipe, shown, unused);
    bool regrown = false;
    const MeshGround* ground = mesh.ground.get();
    // A fresh run's growth N: the generator as it starts, then N growths.
    const GuideGrowth growGuides = [&](const HairRecipe& recipe, int growth) {
        regrown = true;
        srand(1);
        settings.growthsRun = 0;
        for (int g = 1; g <= growth; ++g) {
            if (!growWindowHair(recipe, ground)) {
                return false;
            }
            settings.growthsRun = g;
        }
        return true;
    };
    DenseHairSource source;
    bool claimed = false;
    HairFileContents guides;
    // The children must be drawable before anything shown changes.
    const auto drawable = [&]() {
        return source.info.request.generation.children == 0 ||
               DenseHairLines::make(guideStrandsOf(source.guides.strands),
                                    source.info.recipe.shape, source.info.request.generation,
                                    false, problem, ground)
                   .has_value();
    };
    // Guides on a mesh are held in its units, and shown in fitted ones.
    const auto shownGuides = [&]() {
        return ground != nullptr ? fittedContents(source.guides.strands, source.info.recipe,
                                                  ground->fit, guides, problem)
                                 : decodeHairFile(source.guides.bytes.data(),
                                                  source.guides.bytes.size(), guides, problem);
    };
    if (!readDenseHairSource(file, hairStore, growGuides, source, claimed, problem, ground) ||
        !shownGuides() || !drawable()) {
        problem = "it is Tressmoor's hair with children, but " + problem;
        if (regrown) {
            if (keepsShown) {
                applyHairFile(shown, underlyingSurface, hairStore);
            } else {
                hairStore.hairGrown = hadHair;
            }
        }
        return false;
    }
    applyRecipe(guides.recipe, settings);
    adoptFoundMesh(settings, mesh);
    settings.children = source.info.request;
    settings.growth = source.info.growth;
    applyHairFile(guides, underlyingSurface, hairStore);
    return showChildrenOf(settings, problem);
}
