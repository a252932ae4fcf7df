// Any checked HAIR file written as USD, OBJ or HAIR, and the buffered, atomic
// output underneath.
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstring>
#include <cmath>
#include <random>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairFileSupport.h"
#include "UsdTextSupport.h"
#include "formats/FileIo.h"
#include "formats/HairExport.h"
#include "formats/OutputBuffer.h"
#include "formats/UsdWriter.h"

namespace {

// Two strands by another program: three points, then a strand of one point.
HandMadeHairFile foreignFileWithEveryArray()
{
    HandMadeHairFile file;
    file.strandCount = 2;
    file.pointCount = 4;
    file.flags = 0x1F;
    file.info = "made by another tool";
    file.segments = {2, 0};
    file.points = {0, 0, 0, 1, 2, 3, -1.5f, 0.25f, 4, 10, -20, 30};
    file.thickness = {1, 2, 3, 0.5f};
    file.transparency = {0, 0.25f, 0.5f, 1};
    file.colour = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0.5f, 0.5f, 0.5f};
    return file;
}

std::string written(const Bytes& file, HairFileFormat format, LengthUnit unit = kDefaultLengthUnit)
{
    HairStrands strands;
    std::string problem;
    EXPECT_TRUE(decodeHairStrands(file.data(), file.size(), FLT_MAX, strands, problem)) << problem;
    std::vector<unsigned char> bytes;
    OutputBuffer out(appendingTo(bytes), 64);
    const std::optional<StrandStream> stream =
        StrandStream::make(strands, UnderlyingShape::NoShape, ChildRequest(), problem);
    ExportSettings settings;
    settings.displayPrimvars = true;
    settings.unit = unit;
    writeHairFileAs(*stream, TressmoorStrands(), format, settings, out);
    EXPECT_TRUE(out.finish());
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(HairExport, EveryArrayOfAForeignFileBecomesAVertexPrimvar)
{
    const std::string usd = written(foreignFileWithEveryArray().bytes(), HairFileFormat::Usd);
    EXPECT_EQ(usd,
              "#usda 1.0\n(\n    defaultPrim = \"hair\"\n    metersPerUnit = 0.001\n    upAxis = \"Y\"\n)\n\n"
              "def Xform \"hair\"\n{\n    def BasisCurves \"strands\" (\n"
              "        prepend apiSchemas = [\"GroomAPI\"]\n    )\n    {\n"
              "        uniform token type = \"linear\"\n"
              "        int[] curveVertexCounts = [3, 2]\n"
              "        point3f[] points = [(0, 0, 0), (1, 2, 3), (-1.5, 0.25, 4), (10, -20, 30), (10, -20, 30)]\n"
              "        float[] widths = [1, 2, 3, 0.5, 0.5] (\n            interpolation = \"vertex\"\n        )\n"
              "        float3[] extent = [(-3, -21.5, -1.5), (11.5, 3.5, 31.5)]\n"
              "        color3f[] primvars:displayColor = [(1, 0, 0), (0, 1, 0), (0, 0, 1), (0.5, 0.5, 0.5), "
              "(0.5, 0.5, 0.5)] (\n            interpolation = \"vertex\"\n        )\n"
              "        float[] primvars:displayOpacity = [1, 0.75, 0.5, 0, 0] (\n"
              "            interpolation = \"vertex\"\n        )\n"
              "        int[] primvars:groom_guide = [0, 0] (\n"
              "            interpolation = \"uniform\"\n        )\n"
              "    }\n}\n");

    EXPECT_EQ(written(foreignFileWithEveryArray().bytes(), HairFileFormat::Obj),
              "v 0 0 0\nv 1 2 3\nv -1.5 0.25 4\nv 10 -20 30\nl 1 2 3\nl 4 4\n");
}

// The unit is stated and nothing else changes: the coordinates are the same
// numbers in every unit, and OBJ, which has no place for it, is the same file.
TEST(HairExport, EveryUnitIsStatedAsMetersPerUnitWithTheSameCoordinates)
{
    const Bytes file = foreignFileWithEveryArray().bytes();
    const std::string inMillimetres = written(file, HairFileFormat::Usd);
    const struct {
        LengthUnit unit;
        const char* stated;
    } units[] = {{LengthUnit::Millimetre, "metersPerUnit = 0.001"},
                 {LengthUnit::Centimetre, "metersPerUnit = 0.01"},
                 {LengthUnit::Metre, "metersPerUnit = 1"},
                 {LengthUnit::Inch, "metersPerUnit = 0.0254"}};
    for (const auto& u : units) {
        SCOPED_TRACE(lengthUnitName(u.unit));
        const std::string usd = written(file, HairFileFormat::Usd, u.unit);
        const UsdLayer layer = parseUsdLayer(usd);
        ASSERT_EQ(layer.problem, "");
        EXPECT_EQ(layer.metadata[1], u.stated);
        std::string rest = usd;
        rest.replace(rest.find(u.stated), strlen(u.stated), "metersPerUnit = 0.001");
        EXPECT_EQ(rest, inMillimetres);
        EXPECT_EQ(written(file, HairFileFormat::Obj, u.unit), written(file, HairFileFormat::Obj));
        LengthUnit named;
        ASSERT_TRUE(lengthUnitFromName(lengthUnitName(u.unit), named));
        EXPECT_EQ(named, u.unit);
    }
}

TEST(HairExport, WithoutOptionalArraysTheHeaderDefaultsAreConstant)
{
    HandMadeHairFile file;
    file.strandCount = 3;
    file.pointCount = 6;
    file.defaultSegments = 1;
    for (int n = 0; n < 18; ++n) {
        file.points.push_back(n * 0.1f);
    }
    const UsdLayer layer = parseUsdLayer(written(file.bytes(), HairFileFormat::Usd));
    ASSERT_EQ(layer.problem, "");
    EXPECT_EQ(layer.metadata, (std::vector<std::string>{"defaultPrim = \"hair\"", "metersPerUnit = 0.001",
                                                        "upAxis = \"Y\""}));
    EXPECT_EQ(layer.attributeOrder,
              (std::vector<std::string>{"type", "curveVertexCounts", "points", "widths", "extent",
                                        "primvars:displayColor", "primvars:displayOpacity",
                                        "primvars:groom_guide"}));
    const auto& a = layer.attributes;
    EXPECT_EQ(usdIntegers(a.at("curveVertexCounts").value), (std::vector<long long>{2, 2, 2}));
    EXPECT_EQ(bitDifference(file.points, usdFloats(a.at("points").value)), "");
    EXPECT_EQ(a.at("widths").value, "[2]");
    EXPECT_EQ(a.at("widths").interpolation, "constant");
    EXPECT_EQ(a.at("primvars:displayColor").value, "[(0.1, 0.5, 0.8)]");
    EXPECT_EQ(a.at("primvars:displayColor").interpolation, "constant");
    EXPECT_EQ(a.at("primvars:displayOpacity").value, "[1]");
    EXPECT_EQ(a.at("primvars:displayOpacity").interpolation, "constant");
}

TEST(HairExport, HairKeepsTheHeaderAndEveryArrayTheFileHas)
{
    HandMadeHairFile bare;
    bare.strandCount = 1;
    bare.pointCount = 2;
    bare.defaultSegments = 1;
    bare.points = {1, 2, 3, 4, 5, 6};
    for (const Bytes& file : {foreignFileWithEveryArray().bytes(), bare.bytes()}) {
        const std::string copy = written(file, HairFileFormat::Hair);
        EXPECT_TRUE(Bytes(copy.begin(), copy.end()) == file);
    }
}

// Any finite float, -0 and subnormals included, reads back as the same bits.
TEST(HairExport, SeededRandomPointsReadBackBitForBitFromUsdAndObj)
{
    for (unsigned seed = 1; seed <= 10; ++seed) {
        std::mt19937 random(seed);
        HandMadeHairFile file;
        file.strandCount = 1 + random() % 20;
        file.defaultSegments = random() % 6;
        file.pointCount = file.strandCount * (file.defaultSegments + 1);
        for (uint32_t i = 0; i < 3 * file.pointCount; ++i) {
            uint32_t bits = static_cast<uint32_t>(random());
            float value;
            memcpy(&value, &bits, 4);
            const float specials[] = {-0.0f, FLT_MIN / 8, FLT_MAX, -FLT_MAX, 1e-45f, 0.1f};
            if (!std::isfinite(value) || random() % 4 == 0) {
                value = specials[random() % 6];
            }
            file.points.push_back(value);
        }
        const UsdLayer layer = parseUsdLayer(written(file.bytes(), HairFileFormat::Usd));
        ASSERT_EQ(layer.problem, "") << "seed " << seed;
        std::vector<float> points = usdFloats(layer.attributes.at("points").value);
        std::vector<float> expected;
        for (uint32_t s = 0; s < file.strandCount; ++s) {
            const uint32_t count = file.defaultSegments + 1;
            for (uint32_t k = 0; k < (count == 1 ? 2 : count); ++k) {
                const uint32_t n = s * count + k % count;
                expected.insert(expected.end(), &file.points[3 * n], &file.points[3 * n + 3]);
            }
        }
        EXPECT_EQ(bitDifference(expected, points), "") << "seed " << seed;
        for (float bound : usdFloats(layer.attributes.at("extent").value)) {
            EXPECT_TRUE(std::isfinite(bound)) << "seed " << seed;
        }

        const std::string obj = written(file.bytes(), HairFileFormat::Obj);
        std::vector<float> objPoints;
        for (size_t line = 0; obj.compare(line, 2, "v ") == 0; line = obj.find('\n', line) + 1) {
            const std::vector<float> v = usdFloats(obj.substr(line + 2, obj.find('\n', line) - line - 2));
            objPoints.insert(objPoints.end(), v.begin(), v.end());
        }
        EXPECT_EQ(bitDifference(file.points, objPoints), "") << "seed " << seed;
    }
}

TEST(HairExport, UsdStringsEscapeQuotesBackslashesAndControlCharacters)
{
    std::vector<unsigned char> bytes;
    OutputBuffer out(appendingTo(bytes));
    appendUsdString(out, "a \"b\" \\ c\nd");
    out.finish();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "\"a \\\"b\\\" \\\\ c\\x0ad\"");
}

TEST(OutputBuffer, HandsOnChunksInOrderAndStopsAtTheFirstRefusal)
{
    std::vector<size_t> chunks;
    std::string received;
    OutputBuffer out([&](const unsigned char* data, size_t size) {
        chunks.push_back(size);
        received.append(reinterpret_cast<const char*>(data), size);
        return true;
    }, 100);
    const std::string big(250, 'b');
    for (int i = 0; i < 50; ++i) {
        out.appendFloat(i * 0.37f);
        out.append(' ');
        out.appendInteger(uint64_t(i) << 40);
        out.append(i % 10 == 0 ? big : std::string("; "));
    }
    ASSERT_TRUE(out.finish());
    EXPECT_EQ(out.bytesHandedOn(), received.size());
    std::string again;
    for (int i = 0; i < 50; ++i) {
        char number[32];
        again.append(number, std::to_chars(number, number + 32, i * 0.37f).ptr);
        again += ' ' + std::to_string(uint64_t(i) << 40) + (i % 10 == 0 ? big : std::string("; "));
    }
    EXPECT_EQ(received, again);
    // No buffer is smaller than the largest reservation a writer makes.
    const size_t chunk = std::max<size_t>(100, OutputBuffer::kLargestReservation);
    for (size_t size : chunks) {
        EXPECT_TRUE(size <= chunk || size == big.size()) << size;
    }

    int calls = 0;
    OutputBuffer refusing([&](const unsigned char*, size_t) { return ++calls < 2; }, 64);
    for (int i = 0; i < 1000; ++i) {
        refusing.appendFloat(1.0f / (i + 1));
    }
    EXPECT_FALSE(refusing.finish());
    EXPECT_EQ(calls, 2) << "nothing is handed on after a refusal";
}

TEST(AtomicFileWriter, StreamsManyPiecesAndLeavesTheOldFileOnEveryFailure)
{
    const std::string folder = freshFolder("atomic-writer");
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "/hair.usda";
    const Bytes old(300, 'o');
    writeBytes(path, old);
    std::string problem;
    Bytes expected;
    {
        AtomicFileWriter writer;
        ASSERT_TRUE(writer.open(path, problem)) << problem;
        AtomicFileWriter second;
        EXPECT_FALSE(second.open(folder + "/other.usda", problem));
        EXPECT_EQ(problem, "another save is still in progress");
        for (int i = 0; i < 3000; ++i) {
            const Bytes piece(1 + i % 4000, static_cast<unsigned char>(i));
            ASSERT_TRUE(writer.write(piece.data(), piece.size()));
            expected.insert(expected.end(), piece.begin(), piece.end());
        }
        EXPECT_EQ(readBytes(path), old) << "nothing shows until the commit";
        ASSERT_TRUE(writer.commit(problem)) << problem;
    }
    EXPECT_TRUE(readBytes(path) == expected);

    writeBytes(path, old);
    {
        AtomicFileWriter abandoned;
        ASSERT_TRUE(abandoned.open(path, problem));
        abandoned.write(expected.data(), expected.size());
    }
    EXPECT_EQ(readBytes(path), old) << "a writer never committed changes nothing";

    signal(SIGXFSZ, SIG_IGN);
    rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 1 << 16;
    setrlimit(RLIMIT_FSIZE, &small);
    AtomicFileWriter full;
    bool taken = full.open(path, problem);
    for (int i = 0; taken && i < 100; ++i) {
        taken = full.write(expected.data(), 4096);
    }
    const bool committed = full.commit(problem);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_FALSE(committed);
    EXPECT_EQ(problem, "writing failed: File too large");
    EXPECT_EQ(readBytes(path), old);
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{"hair.usda"}) << "no temporary file is left";
}
