#include "HairFileSupport.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "hair/HairStore.h"

namespace {

template <typename T>
void append(Bytes& out, const T* values, int count)
{
    if (values != nullptr && count > 0) {
        const unsigned char* raw = reinterpret_cast<const unsigned char*>(values);
        out.insert(out.end(), raw, raw + sizeof(T) * count);
    }
}

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

std::vector<Bytes> currentStrands()
{
    std::vector<Bytes> strands;
    for (int p = 0; p < hairStore.clusterCount; ++p) {
        const HairCluster& cluster = hairStore.hairClusters[p];
        for (int k = 0; k < cluster.strandCount; ++k) {
            const NurbsSurface& s = cluster.strands[k];
            Bytes b;
            const int counts[] = {s.degreeU, s.degreeV, s.numCtrlU, s.numCtrlV, s.numKnotsU,
                                  s.numKnotsV, s.samplesU, s.samplesV};
            append(b, counts, 8);
            append(b, s.controlNet, s.numCtrlU * s.numCtrlV);
            append(b, s.knotsU, s.numKnotsU);
            append(b, s.knotsV, s.numKnotsV);
            append(b, s.basisCoeffU, s.orderU * s.orderU * s.numSpansU);
            append(b, s.basisCoeffV, s.orderV * s.orderV * s.numSpansV);
            append(b, s.basisU, (s.samplesU + 1) * s.orderU);
            append(b, s.basisV, (s.samplesV + 1) * s.orderV);
            append(b, s.spanU, s.samplesU + 1);
            append(b, s.spanV, s.samplesV + 1);
            strands.push_back(b);
        }
    }
    return strands;
}

std::string firstDifference(const std::vector<Bytes>& expected, const std::vector<Bytes>& actual)
{
    if (expected.size() != actual.size()) {
        return "strand counts differ: " + std::to_string(expected.size()) + " and " +
               std::to_string(actual.size());
    }
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] != actual[i]) {
            return "strand " + std::to_string(i) + " differs";
        }
    }
    return "";
}

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
