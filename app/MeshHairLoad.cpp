#include "app/MeshHairLoad.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <utility>
#include <vector>

#include "app/HairSettings.h"
#include "app/MeshCommands.h"
#include "formats/FileIo.h"
#include "formats/MeshHair.h"
#include "formats/MeshReader.h"
#include "hair/LittleEndian.h"

namespace {

// Only files that look like meshes are hashed when looking beside the hair.
constexpr const char* kMeshExtensions[] = {".obj", ".ply", ".stl", ".gltf", ".glb", ".fbx",
                                           ".dae", ".3ds", ".off", ".blend", ".x3d", ".lwo",
                                           ".ms3d", ".ac"};

bool looksLikeMesh(const std::string& name)
{
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* extension : kMeshExtensions) {
        if (hasExtension(lower, extension)) {
            return true;
        }
    }
    return false;
}

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool isMesh(const std::string& path, uint64_t hash)
{
    uint64_t fileHash = 0;
    std::string unused;
    return hashMeshFile(path, fileHash, unused) && fileHash == hash;
}

// The mesh files beside the hair, in name order so the same folder always finds the same one.
std::vector<std::string> meshesBeside(const std::string& hairPath)
{
    std::vector<std::string> found;
    const std::string folder = folderOf(hairPath);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (looksLikeMesh(entry->d_name) && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
            found.push_back(path);
        }
    }
    closedir(dir);
    std::sort(found.begin(), found.end());
    return found;
}

std::string neededMesh(const HairRecipe& recipe)
{
    return "it grew on the mesh whose file's hash is " + meshHashText(recipe.meshHash);
}

}  // namespace

bool findMeshOfHair(const HairSettings& settings, const std::string& hairPath,
                    const HairStrands& strands, const HairRecipe& recipe, MeshHairFound& found,
                    std::string& problem)
{
    std::string meshPath;
    if (!settings.meshPath.empty() && isMesh(settings.meshPath, recipe.meshHash)) {
        meshPath = settings.meshPath;
    }
    if (meshPath.empty()) {
        for (const std::string& candidate : meshesBeside(hairPath)) {
            if (isMesh(candidate, recipe.meshHash)) {
                meshPath = candidate;
                break;
            }
        }
    }
    if (meshPath.empty()) {
        meshPath = chooseMeshPath("The mesh the hair grew on (its hash is " +
                                      meshHashText(recipe.meshHash) + ")",
                                  folderOf(hairPath));
        if (meshPath.empty()) {
            problem = neededMesh(recipe) + ", and no mesh was chosen";
            return false;
        }
    }
    auto ground = std::make_unique<MeshGround>();
    std::string meshProblem;
    if (!loadMeshGround(meshPath, *ground, meshProblem)) {
        problem = neededMesh(recipe) + ", but " + meshProblem;
        return false;
    }
    if (ground->seed != recipe.meshHash) {
        problem = neededMesh(recipe) + ", but \"" + meshPath + "\" is another (its hash is " +
                  meshHashText(ground->seed) + ")";
        return false;
    }
    found.contents.recipe = recipe;
    const uint64_t points = strands.header.pointCount;
    found.contents.points.resize(3 * points);
    for (uint64_t i = 0; i < points; ++i) {
        double mesh[3];
        double fitted[3];
        for (int c = 0; c < 3; ++c) {
            mesh[c] = readF32(strands.points + 4 * (3 * i + c));
        }
        ground->fit.toFitted(mesh, fitted);
        for (int c = 0; c < 3; ++c) {
            found.contents.points[3 * i + c] = static_cast<float>(fitted[c]);
        }
    }
    found.ground = std::move(ground);
    found.meshPath = meshPath;
    return true;
}
