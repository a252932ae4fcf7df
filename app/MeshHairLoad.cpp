#include "app/MeshHairLoad.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/HairSettings.h"
#include "app/MeshCommands.h"
#include "formats/MeshFiles.h"
#include "formats/MeshHair.h"
#include "formats/MeshReader.h"

namespace {

std::string folderOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The name without its folder and without what follows its first dot, so that
// "fur.hair" finds "fur.ply" and "fur.mesh.xml".
std::string stemOf(const std::string& name)
{
    const size_t slash = name.find_last_of('/');
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    return base.substr(0, base.find('.'));
}

bool isMesh(const std::string& path, uint64_t hash)
{
    uint64_t fileHash = 0;
    std::string unused;
    return hashMeshFile(path, fileHash, unused) && fileHash == hash;
}

// The files beside the hair that assimp would import, in the order they are
// hashed: those of the hair file's stem first, then the rest by name, so that
// the same folder always finds the same one. Every hash reads a whole file,
// so nothing else in the folder is read.
std::vector<std::string> meshesBeside(const std::string& hairPath)
{
    std::vector<std::string> found;
    const std::string folder = folderOf(hairPath);
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        return found;
    }
    const MeshFileNames meshNames;
    while (const dirent* entry = readdir(dir)) {
        const std::string path = folder + "/" + entry->d_name;
        struct stat info;
        if (meshNames.matches(entry->d_name) && stat(path.c_str(), &info) == 0 &&
            S_ISREG(info.st_mode)) {
            found.push_back(path);
        }
    }
    closedir(dir);
    const std::string stem = stemOf(hairPath);
    std::sort(found.begin(), found.end(), [&stem](const std::string& a, const std::string& b) {
        const bool aNamed = stemOf(a) == stem;
        const bool bNamed = stemOf(b) == stem;
        return aNamed != bNamed ? aNamed : a < b;
    });
    return found;
}

std::string neededMesh(uint64_t meshHash)
{
    return "it grew on the mesh whose file's hash is " + meshHashText(meshHash);
}

}  // namespace

bool findMeshOfHair(const HairSettings& settings, const std::string& hairPath, uint64_t meshHash,
                    MeshHairFound& found, std::string& problem)
{
    std::string meshPath;
    if (!settings.meshPath.empty() && isMesh(settings.meshPath, meshHash)) {
        meshPath = settings.meshPath;
    }
    if (meshPath.empty()) {
        for (const std::string& candidate : meshesBeside(hairPath)) {
            if (isMesh(candidate, meshHash)) {
                meshPath = candidate;
                break;
            }
        }
    }
    if (meshPath.empty()) {
        meshPath = chooseMeshPath("The mesh the hair grew on (its hash is " +
                                      meshHashText(meshHash) + ")",
                                  folderOf(hairPath));
        if (meshPath.empty()) {
            problem = neededMesh(meshHash) + ", and no mesh was chosen";
            return false;
        }
    }
    auto ground = std::make_unique<MeshGround>();
    std::string meshProblem;
    if (!loadMeshGround(meshPath, *ground, meshProblem)) {
        problem = neededMesh(meshHash) + ", but " + meshProblem;
        return false;
    }
    if (ground->seed != meshHash) {
        problem = neededMesh(meshHash) + ", but \"" + meshPath + "\" is another (its hash is " +
                  meshHashText(ground->seed) + ")";
        return false;
    }
    found.ground = std::move(ground);
    found.meshPath = meshPath;
    return true;
}

void adoptFoundMesh(HairSettings& settings, MeshHairFound& found)
{
    if (found.ground != nullptr) {
        settings.meshGround = std::move(found.ground);
        settings.meshPath = found.meshPath;
    }
}
