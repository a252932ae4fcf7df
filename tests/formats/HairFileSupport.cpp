#include "HairFileSupport.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

void appendU32(Bytes& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<unsigned char>(value >> shift));
    }
}

void appendFloats(Bytes& out, const std::vector<float>& values)
{
    for (float value : values) {
        uint32_t bits;
        memcpy(&bits, &value, 4);
        appendU32(out, bits);
    }
}

}  // namespace

Bytes HandMadeHairFile::bytes() const
{
    Bytes out = {'H', 'A', 'I', 'R'};
    appendU32(out, strandCount);
    appendU32(out, pointCount);
    appendU32(out, flags);
    appendU32(out, defaultSegments);
    appendFloats(out, std::vector<float>(defaults, defaults + 5));
    out.insert(out.end(), info.begin(), info.end());
    out.resize(128, 0);
    for (uint16_t s : segments) {
        out.push_back(static_cast<unsigned char>(s));
        out.push_back(static_cast<unsigned char>(s >> 8));
    }
    appendFloats(out, points);
    appendFloats(out, thickness);
    appendFloats(out, transparency);
    appendFloats(out, colour);
    return out;
}

HandMadeHairFile tressmoorFile(int clusters, int hairs, int parts)
{
    HandMadeHairFile file;
    file.strandCount = clusters * clusters * hairs;
    file.pointCount = file.strandCount * parts;
    file.defaultSegments = parts - 1;
    file.info = "tressmoor-hair 1 torus combed length=7 restAngle=3 hairs=" + std::to_string(hairs) +
                " clusters=" + std::to_string(clusters) + " parts=" + std::to_string(parts);
    for (uint32_t n = 0; n < file.pointCount * 3; ++n) {
        file.points.push_back(0.5f * n - 40.0f);
    }
    return file;
}

Bytes readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool fileExists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

std::vector<std::string> folderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

std::string freshFolder(const std::string& name)
{
    std::string folder = std::string(TRESSMOOR_TEST_OUTPUT) + "/" + name;
    std::string command = "rm -rf '" + folder + "' && mkdir -p '" + folder + "'";
    if (system(command.c_str()) != 0) {
        return "";
    }
    return folder;
}
