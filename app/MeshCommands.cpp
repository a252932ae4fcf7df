#include "app/MeshCommands.h"

#include <memory>
#include <utility>

#include <FL/Fl_Native_File_Chooser.H>

#include "app/AppWindow.h"
#include "app/HairFileCommands.h"
#include "app/HairSettings.h"
#include "formats/MeshFiles.h"
#include "formats/MeshHair.h"

namespace {

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
    // Every format assimp reads; "All files" lets any other through.
    const std::string filter = "Meshes\t" + MeshFileNames().pattern() + "\nAll files\t*";
    chooser.filter(filter.c_str());
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
