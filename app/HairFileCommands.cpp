#include "app/HairFileCommands.h"

#include <unistd.h>

#include <cerrno>
#include <cfloat>

#include <vector>

#include <FL/Fl_Native_File_Chooser.H>
#include <FL/Fl_Value_Slider.H>
#include <FL/fl_ask.H>

#include "app/AppWindow.h"
#include "app/DialogText.h"
#include "app/HairSettings.h"
#include "app/MeshHairLoad.h"
#include "app/ShownChildren.h"
#include "formats/FileIo.h"
#include "formats/HairExport.h"
#include "formats/HairFile.h"
#include "formats/MeshHair.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairStore.h"

namespace {

// Hair with children Tressmoor's tools write may be far larger than the hair the
// window grows; the file is read whole, as tressmoor-render reads it.
constexpr size_t kMaxLoadedFileSize = size_t(4) << 30;

// The save chooser's filters, in order, with the extension each gives a bare name.
constexpr const char* kHairFilter = "Hair strands\t*.hair\nOBJ curves\t*.obj\nUSD curves\t*.usda";
constexpr const char* kFilterExtensions[] = {".hair", ".obj", ".usda"};
constexpr int kFilterCount = sizeof kFilterExtensions / sizeof kFilterExtensions[0];

bool hasSaveExtension(const std::string& path)
{
    for (const char* extension : kFilterExtensions) {
        if (hasExtension(path, extension)) {
            return true;
        }
    }
    return false;
}

std::string workingFolder()
{
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return ".";
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// The folder holding the file, made absolute, so that the choosers find it again
// whatever the working folder is then.
std::string absoluteFolderOf(const std::string& path)
{
    const std::string absolute = path.empty() || path[0] != '/' ? workingFolder() + "/" + path : path;
    const size_t slash = absolute.find_last_of('/');
    return slash == 0 ? "/" : absolute.substr(0, slash);
}

// An empty string when the person cancels.
std::string chooseFileToSave(const std::string& folder)
{
    Fl_Native_File_Chooser chooser;
    chooser.title("Save Hair Data");
    chooser.directory(folder.c_str());
    chooser.type(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM | Fl_Native_File_Chooser::NEW_FOLDER);
    chooser.filter(kHairFilter);
    chooser.preset_file("hair.hair");
    std::string path = runChooser(chooser);
    if (!path.empty() && !hasSaveExtension(path)) {
        const int filter = chooser.filter_value();
        path += kFilterExtensions[filter >= 0 && filter < kFilterCount ? filter : 0];
        // The chooser confirmed the name as typed, not the one with the extension.
        if (access(path.c_str(), F_OK) == 0) {
            const std::string question =
                messageDialogText("\"" + path + "\" already exists.") + "\nDo you want to replace it?";
            if (fl_choice("%s", "Cancel", "Replace", nullptr, question.c_str()) != 1) {
                return "";
            }
        }
    }
    return path;
}

std::string chooseFileToLoad(const std::string& folder)
{
    Fl_Native_File_Chooser chooser;
    chooser.title("Load Hair Data");
    chooser.directory(folder.c_str());
    chooser.type(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.filter("Hair strands\t*.hair");
    return runChooser(chooser);
}

// Sets the sliders without running their callbacks, so loading prints nothing.
void showRecipeOnSliders(const HairRecipe& recipe)
{
    if (theAppWindow == nullptr) {
        return;
    }
    const struct {
        Fl_Value_Slider* slider;
        int value;
    } sliders[] = {{theAppWindow->lengthSlider, recipe.length},
                   {theAppWindow->restAngleSlider, recipe.restAngle},
                   {theAppWindow->hairsSlider, recipe.hairs},
                   {theAppWindow->clustersSlider, recipe.clusters},
                   {theAppWindow->partsSlider, recipe.parts}};
    for (const auto& s : sliders) {
        if (s.slider != nullptr) {
            s.slider->value(s.value);
        }
    }
}

}  // namespace

std::string runChooser(Fl_Native_File_Chooser& chooser)
{
    int result = chooser.show();
    if (result < 0) {
        showHairFileMessage(HairFileMessage::Problem,
                            std::string("The file chooser failed: ") + chooser.errmsg());
    }
    if (result != 0 || chooser.filename() == nullptr) {
        return "";
    }
    return chooser.filename();
}

void showHairFileMessageInDialog(HairFileMessage kind, const std::string& text)
{
    const std::string shown = messageDialogText(text);
    if (kind == HairFileMessage::Problem) {
        fl_alert("%s", shown.c_str());
    } else {
        fl_message("%s", shown.c_str());
    }
}

void (*showHairFileMessage)(HairFileMessage kind, const std::string& text) = showHairFileMessageInDialog;

const char* const kNothingToSaveMessage =
    "There is no hair to save yet. Pick a shape from \"Under Lying Shape\" to grow some.";

std::string chooserFolder(const HairSettings& settings)
{
    return settings.hairFileFolder.empty() ? workingFolder() : settings.hairFileFolder;
}

void saveHairThroughChooser(HairSettings& settings)
{
    if (!hairStore.hairGrown) {
        showHairFileMessage(HairFileMessage::Information, kNothingToSaveMessage);
        return;
    }
    std::string path = chooseFileToSave(chooserFolder(settings));
    if (!path.empty()) {
        saveHairFile(settings, path);
    }
}

void loadHairThroughChooser(HairSettings& settings)
{
    std::string path = chooseFileToLoad(chooserFolder(settings));
    if (!path.empty()) {
        loadHairFile(settings, path);
    }
}

bool saveHairFile(HairSettings& settings, const std::string& path)
{
    if (!hairStore.hairGrown) {
        showHairFileMessage(HairFileMessage::Information, kNothingToSaveMessage);
        return false;
    }
    HairRecipe recipe = recipeFromSettings(settings);
    std::vector<unsigned char> bytes;
    std::string problem;
    const bool saved =
        settings.shape == UnderlyingShape::Mesh || makesDenseFile(settings.children)
            ? saveGrownHairFile(settings, path, problem)
            : adoptStoreLayout(hairStore, recipe, problem) &&
                  encodeStoredHair(hairStore, underlyingSurface, recipe, formatForPath(path),
                                   bytes, problem) &&
                  writeFileAtomically(path, bytes, problem);
    if (!saved) {
        showHairFileMessage(HairFileMessage::Problem,
                            "Cannot save \"" + path + "\": " + problem + ".");
        return false;
    }
    settings.hairFileFolder = absoluteFolderOf(path);
    return true;
}

bool loadHairFile(HairSettings& settings, const std::string& path)
{
    HairBytes file;
    HairFileContents contents;
    std::string problem;
    bool read = readWholeFile(path, kMaxLoadedFileSize, file.bytes, problem) &&
                decodeHairStrands(file.bytes.data(), file.bytes.size(), FLT_MAX, file.strands,
                                  problem);
    const bool dense = read && claimsChildren(file.strands);
    // Hair on a mesh holds its points in the mesh's own units: only the mesh places them.
    HairRecipe meshRecipe;
    MeshHairFound mesh;
    if (read && meshRecipeOf(file.strands, meshRecipe)) {
        read = findMeshOfHair(settings, path, meshRecipe.meshHash, mesh, problem);
    }
    if (read && dense) {
        read = loadDenseHairFile(settings, file, mesh, problem);
    } else if (read && mesh.ground != nullptr) {
        read = fittedContents(file.strands, meshRecipe, mesh.ground->fit, contents, problem);
    } else if (read) {
        read = decodeHairFile(file.bytes.data(), file.bytes.size(), contents, problem);
    }
    if (!read) {
        showHairFileMessage(HairFileMessage::Problem,
                            "Cannot load \"" + path + "\": " + problem + ".");
        return false;
    }
    file = HairBytes();
    const HairRecipe recipe = dense ? recipeFromSettings(settings) : contents.recipe;
    if (!dense) {
        applyRecipe(recipe, settings);
        settings.children = ChildRequest();
        adoptFoundMesh(settings, mesh);
        // The surface is set up as its builder does, but nothing grows.
        applyHairFile(contents, underlyingSurface, hairStore);
        std::string unused;
        showChildrenOf(settings, unused);
    }
    showRecipeOnSliders(recipe);
    if (theAppWindow != nullptr) {
        theAppWindow->markShapeAndStyle(recipe.shape, recipe.style);
    }
    settings.hairFileFolder = absoluteFolderOf(path);
    redrawView();
    return true;
}
