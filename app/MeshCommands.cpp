#include "app/MeshCommands.h"

#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <FL/Fl_Native_File_Chooser.H>

#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "formats/HairExport.h"
#include "formats/MeshHair.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"

namespace {

// The formats assimp reads that people bring most; "All files" lets any other through.
constexpr const char* kMeshFilter =
    "Meshes\t*.{obj,ply,stl,gltf,glb,fbx,dae,3ds,off,blend,x3d,lwo,ms3d,ac}\nAll files\t*";

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string chooseMeshThroughDialog(const std::string& title, const std::string& folder)
{
    Fl_Native_File_Chooser chooser;
    chooser.title(title.c_str());
    chooser.directory(folder.c_str());
    chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.filter(kMeshFilter);
    return runChooser(chooser);
}

std::string (*chooseMeshPath)(const std::string& title, const std::string& folder) =
    chooseMeshThroughDialog;

void openMeshThroughChooser(HairSettings& settings)
{
    const std::string folder =
        settings.meshFolder.empty() ? chooserFolder(settings) : settings.meshFolder;
    const std::string path = chooseMeshPath("Mesh", folder);
    if (!path.empty()) {
        const std::string chosenFolder = folderOf(path);
        if (!chosenFolder.empty()) {
            settings.meshFolder = chosenFolder;
        }
        openMeshFile(settings, path);
    }
    // The bar marked "Mesh..." as it was picked; a cancel or a bad file puts the
    // mark back on the shape still shown.
    if (theAppWindow != nullptr) {
        theAppWindow->markShapeAndStyle(settings.shape, settings.style);
    }
}

bool openMeshFile(HairSettings& settings, const std::string& path)
{
    // Read into a ground of its own, so that a bad file leaves the shown one.
    auto ground = std::make_unique<MeshGround>();
    std::string problem;
    if (!loadMeshGround(path, *ground, problem)) {
        showHairFileMessage(HairFileMessage::Problem, "Cannot open the mesh " + problem + ".");
        return false;
    }
    settings.meshGround = std::move(ground);
    settings.meshPath = path;
    settings.buildMesh();
    return true;
}

bool saveMeshHairFile(HairSettings& settings, const std::string& path, std::string& problem)
{
    const MeshGround* ground = settings.meshGround.get();
    if (ground == nullptr || !ground->ready()) {
        problem = "the mesh the hair grew on is gone";
        return false;
    }
    HairRecipe recipe = recipeFromSettings(settings);
    HairBytes hair;
    if (!adoptStoreLayout(hairStore, recipe, problem) ||
        !storedHairStrands(hairStore, recipe, hair, problem) ||
        !toMeshUnits(hair, ground->fit, problem)) {
        return false;
    }
    // The roots' uvs are found from the points in the mesh's units, as the tools find them.
    TressmoorStrands own = tressmoorStrandsOf(hair.strands, recipe, underlyingSurface);
    own.growth = settings.growth;
    own.rootSt = meshRootSt(hair.strands, *ground, true);
    const std::optional<StrandStream> stream =
        StrandStream::make(hair.strands, recipe.shape, ChildRequest(), problem);
    const HairFileFormat format = formatForPath(path);
    if (!stream || !canWrite(*stream, format, problem)) {
        return false;
    }
    ExportSettings exportSettings;
    exportSettings.mesh = ground;
    return saveHairFileAs(path, *stream, own, format, exportSettings, problem);
}
