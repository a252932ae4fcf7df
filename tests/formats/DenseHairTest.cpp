// Grown hair with its children, written to each format and read back.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "UsdTextSupport.h"
#include "formats/HairExport.h"
#include "formats/HairFile.h"
#include "formats/RecipeText.h"
#include "formats/StoredHair.h"
#include "formats/StrandStream.h"
#include "formats/UsdWriter.h"
#include "hair/HairStore.h"

namespace {

HairStore store;
NurbsSurface shapeSurface;

// A growth as its HAIR file holds it, ready to be written with children.
struct GrownHair {
    std::vector<unsigned char> bytes;
    HairStrands strands;
    TressmoorStrands own;
};

void grow(const HairRecipe& recipe, GrownHair& hair)
{
    srand(1);
    growQuietly(recipe, shapeSurface, store);
    HairFileContents contents;
    std::string problem;
    ASSERT_TRUE(storedHairContents(store, recipe, contents, problem)) << problem;
    hair.bytes = encodeHairFile(contents);
    ASSERT_TRUE(decodeHairStrands(hair.bytes.data(), hair.bytes.size(), FLT_MAX, hair.strands, problem))
        << problem;
    hair.own = tressmoorStrandsOf(hair.strands, recipe, shapeSurface);
}

std::string written(const GrownHair& hair, const ChildRequest& options, HairFileFormat format)
{
    std::string problem;
    const std::optional<StrandStream> stream =
        StrandStream::make(hair.strands, hair.own.recipe.shape, options, problem);
    EXPECT_TRUE(stream && canWrite(*stream, format, problem)) << problem;
    std::vector<unsigned char> bytes;
    OutputBuffer out(appendingTo(bytes), 4096);
    writeHairFileAs(*stream, hair.own, format, ExportSettings(), out);
    EXPECT_TRUE(out.finish());
    return std::string(bytes.begin(), bytes.end());
}

// The guides' points, then every brood of children, as the generator makes them.
std::vector<float> expectedPoints(const GrownHair& hair, const ChildRequest& options,
                                  std::vector<uint32_t>* followed = nullptr)
{
    const GuideStrands guides = guideStrandsOf(hair.strands);
    std::vector<float> points;
    for (uint64_t n = 0; options.output.keepGuides && n < hair.strands.header.pointCount; ++n) {
        float xyz[3];
        guides.point(n, xyz);
        points.insert(points.end(), xyz, xyz + 3);
    }
    std::string problem;
    const std::optional<ChildGenerator> generator =
        ChildGenerator::make(guides, hair.own.recipe.shape, options.generation, problem);
    for (uint64_t g = 0; g < guides.strandCount(); ++g) {
        StrandRun batch;
        generator->generate(g, batch);
        points.insert(points.end(), batch.points.begin(), batch.points.end());
        if (followed != nullptr) {
            followed->insert(followed->end(), batch.guides.begin(), batch.guides.end());
        }
    }
    return points;
}

ChildRequest taperedChildren(ChildMode mode, uint32_t children)
{
    ChildRequest options;
    options.generation.children = children;
    options.generation.mode = mode;
    options.generation.frizz = 1.5f;
    options.output.rootWidth = 3.0f;
    options.output.tipWidth = 0.5f;
    options.output.widthsGiven = true;
    return options;
}

}  // namespace

// The HAIR file holds the guides bit for bit, then the children as the
// generator makes them, with a thickness array tapering along every strand.
TEST(DenseHair, HairHoldsGuidesThenChildrenWithTaperedThickness)
{
    GrownHair hair;
    grow(makeRecipe(UnderlyingShape::Sphere, HairStyle::Combed, 2, 3, 8), hair);
    const ChildRequest options = taperedChildren(ChildMode::Around, 5);
    const std::string text = written(hair, options, HairFileFormat::Hair);
    const std::vector<unsigned char> bytes(text.begin(), text.end());

    HairStrands dense;
    std::string problem;
    ASSERT_TRUE(decodeHairStrands(bytes.data(), bytes.size(), FLT_MAX, dense, problem)) << problem;
    EXPECT_EQ(dense.header.strandCount, 12u * 6);
    EXPECT_EQ(dense.header.pointCount, 12u * 6 * 8);
    EXPECT_EQ(dense.header.defaultSegments, 7u);
    EXPECT_EQ(dense.segments, nullptr) << "strands of one length need no segments array";
    ASSERT_NE(dense.thickness, nullptr);
    EXPECT_EQ(dense.header.info.rfind("tressmoor-dense 1 sphere combed 10 1 3 2 8 children=5 around", 0), 0u)
        << dense.header.info;

    const std::vector<float> expected = expectedPoints(hair, options);
    std::vector<float> actual(3 * dense.header.pointCount);
    for (uint64_t n = 0; n < dense.header.pointCount; ++n) {
        for (int axis = 0; axis < 3; ++axis) {
            actual[3 * n + axis] = dense.coordinate(n, axis);
        }
    }
    EXPECT_EQ(bitDifference(expected, actual), "");
    for (uint64_t n = 0; n < dense.header.pointCount; ++n) {
        const uint32_t i = n % 8;
        EXPECT_EQ(dense.thicknessOf(n), strandWidth(options.output, i, 8)) << "point " << n;
    }
    EXPECT_EQ(dense.thicknessOf(0), 3.0f);
    EXPECT_EQ(dense.thicknessOf(7), 0.5f);
}

// The USD layer holds the same points, tapering widths per vertex, each child in
// its guide's cluster (between guides, the nearest guide's) with its own root's
// coordinates, the guide flags, and the child options beside the recipe.
TEST(DenseHair, UsdCarriesWidthsClustersRootsAndGuideFlagsForEveryChild)
{
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        GrownHair hair;
        grow(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 3, 4, 10), hair);
        const ChildRequest options = taperedChildren(mode, 7);
        const std::string label = childModeName(mode);
        const UsdLayer layer = parseUsdLayer(written(hair, options, HairFileFormat::Usd));
        ASSERT_EQ(layer.problem, "") << label;

        const uint64_t guides = 36;
        const uint64_t strands = guides * 8;
        std::vector<uint32_t> followed;
        const std::vector<float> expected = expectedPoints(hair, options, &followed);
        EXPECT_EQ(bitDifference(expected, usdFloats(layer.attributes.at("points").value)), "") << label;
        EXPECT_EQ(usdIntegers(layer.attributes.at("curveVertexCounts").value),
                  std::vector<long long>(strands, 10))
            << label;

        const UsdAttribute& widths = layer.attributes.at("widths");
        EXPECT_EQ(widths.interpolation, "vertex") << label;
        const std::vector<float> width = usdFloats(widths.value);
        ASSERT_EQ(width.size(), strands * 10) << label;
        for (size_t n = 0; n < width.size(); ++n) {
            EXPECT_EQ(width[n], strandWidth(options.output, n % 10, 10)) << label << " vertex " << n;
        }

        const std::vector<long long> clusters = usdIntegers(layer.attributes.at("primvars:clusterId").value);
        const std::vector<float> st = usdFloats(layer.attributes.at("primvars:st").value);
        const std::vector<long long> flags = usdIntegers(layer.attributes.at("primvars:guide").value);
        ASSERT_EQ(clusters.size(), strands) << label;
        ASSERT_EQ(st.size(), 2 * strands) << label;
        ASSERT_EQ(flags.size(), strands) << label;
        for (uint64_t s = 0; s < strands; ++s) {
            const uint64_t guide = s < guides ? s : followed[s - guides];
            EXPECT_EQ(clusters[s], static_cast<long long>(guide / 4)) << label << " strand " << s;
            EXPECT_EQ(flags[s], s < guides ? 1 : 0) << label << " strand " << s;
            // On the plane, s and t are x and z mapped from -100..100; a child rooted
            // just past the edge takes the edge's.
            const float* root = &expected[3 * 10 * s];
            EXPECT_NEAR(st[2 * s], std::clamp((root[0] + 100.0f) / 200.0f, 0.0f, 1.0f), 1e-6f)
                << label << " strand " << s;
            EXPECT_NEAR(st[2 * s + 1], std::clamp((root[2] + 100.0f) / 200.0f, 0.0f, 1.0f), 1e-6f)
                << label << " strand " << s;
        }
        // The groom importers' names carry the very same values.
        const auto& a = layer.attributes;
        EXPECT_EQ(a.at("primvars:groom_group_id").value, a.at("primvars:clusterId").value) << label;
        EXPECT_EQ(a.at("primvars:groom_root_uv").value, a.at("primvars:st").value) << label;
        EXPECT_EQ(a.at("primvars:groom_guide").value, a.at("primvars:guide").value) << label;
        bool saysChildren = false;
        for (const std::string& line : layer.metadata) {
            saysChildren = saysChildren || line == "string tressmoorChildren = \"" +
                                                       formatChildOptions(options) + "\"";
        }
        EXPECT_TRUE(saysChildren) << label;
    }
}

TEST(DenseHair, ObjAndDroppedGuidesHoldTheChildrenAlone)
{
    GrownHair hair;
    grow(makeRecipe(UnderlyingShape::Torus, HairStyle::Messy, 1, 5, 8), hair);
    ChildRequest options;
    options.generation.children = 3;
    options.output.keepGuides = false;
    const std::string obj = written(hair, options, HairFileFormat::Obj);
    const std::vector<float> expected = expectedPoints(hair, options);
    ASSERT_EQ(expected.size(), 15u * 8 * 3);

    std::vector<float> points;
    std::vector<std::string> comments;
    size_t lines = 0;
    size_t at = 0;
    while (at < obj.size()) {
        const size_t end = obj.find('\n', at);
        const std::string line = obj.substr(at, end - at);
        at = end + 1;
        if (line[0] == '#') {
            comments.push_back(line);
        } else if (line[0] == 'v') {
            for (float value : usdFloats(line.substr(1))) {
                points.push_back(value);
            }
        } else if (line[0] == 'l') {
            ++lines;
        }
    }
    EXPECT_EQ(bitDifference(expected, points), "");
    EXPECT_EQ(lines, 15u);
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_EQ(comments[1], "# " + formatChildOptions(options));

    const UsdLayer layer = parseUsdLayer(written(hair, options, HairFileFormat::Usd));
    EXPECT_EQ(usdIntegers(layer.attributes.at("primvars:guide").value), std::vector<long long>(15, 0));
    EXPECT_EQ(layer.attributes.at("widths").interpolation, "constant");
}

// A stream with nothing asked of it writes what the file held, for every format.
TEST(DenseHair, WithoutChildrenEveryFormatIsTheFileItself)
{
    GrownHair hair;
    grow(makeRecipe(UnderlyingShape::Torus, HairStyle::Combed, 2, 2, 12), hair);
    EXPECT_EQ(written(hair, ChildRequest(), HairFileFormat::Hair),
              std::string(hair.bytes.begin(), hair.bytes.end()));
    const UsdLayer layer = parseUsdLayer(written(hair, ChildRequest(), HairFileFormat::Usd));
    EXPECT_EQ(layer.attributes.count("primvars:guide"), 0u);
    for (const std::string& line : layer.metadata) {
        EXPECT_EQ(line.find("tressmoorChildren"), std::string::npos);
    }
}

// Broods far larger than a unit are cut into pieces: every unit holds at most
// kUnitPoints points, the units cover every strand once, and a file of many
// spans and rounds holds, point for point, the guides and then every brood as
// the generator makes it whole.
TEST(DenseHair, AFileOfManySpansHoldsEveryBroodAsTheGeneratorMakesIt)
{
    for (ChildMode mode : {ChildMode::Around, ChildMode::Between}) {
        const std::string label = childModeName(mode);
        GrownHair hair;
        grow(makeRecipe(UnderlyingShape::Sphere, HairStyle::Messy, 2, 3, 8), hair);
        // 12 guides with 6000 children of 8 points: 576,000 points, over four spans.
        const ChildRequest options = taperedChildren(mode, 6000);
        std::string problem;
        const std::optional<StrandStream> stream =
            StrandStream::make(hair.strands, hair.own.recipe.shape, options, problem);
        ASSERT_TRUE(stream) << problem;
        EXPECT_GT(stream->pointCount(), 4 * StrandStream::kSpanPoints);
        ASSERT_EQ(stream->firstStrandOf(0), 0u);
        for (uint64_t unit = 0; unit < stream->unitCount(); ++unit) {
            uint64_t points = 0;
            stream->forEachStrand(unit, unit + 1, [&](uint64_t, uint32_t n, uint64_t) { points += n; });
            EXPECT_GT(stream->firstStrandOf(unit + 1), stream->firstStrandOf(unit)) << label;
            EXPECT_LE(points, StrandStream::kUnitPoints) << label << " unit " << unit;
        }
        EXPECT_EQ(stream->firstStrandOf(stream->unitCount()), stream->strandCount()) << label;

        const std::string text = written(hair, options, HairFileFormat::Hair);
        const std::vector<unsigned char> bytes(text.begin(), text.end());
        HairStrands dense;
        ASSERT_TRUE(decodeHairStrands(bytes.data(), bytes.size(), FLT_MAX, dense, problem)) << problem;
        ASSERT_EQ(dense.header.pointCount, 12u * 6001 * 8) << label;
        std::vector<float> actual(3 * size_t(dense.header.pointCount));
        for (uint64_t n = 0; n < dense.header.pointCount; ++n) {
            for (int axis = 0; axis < 3; ++axis) {
                actual[3 * n + axis] = dense.coordinate(n, axis);
            }
        }
        const std::vector<float> expected = expectedPoints(hair, options);
        EXPECT_EQ(bitDifference(expected, actual), "") << label;
        ASSERT_NE(dense.thickness, nullptr) << label;
        for (uint64_t n = 0; n < dense.header.pointCount; n += 97) {
            EXPECT_EQ(dense.thicknessOf(n), strandWidth(options.output, n % 8, 8)) << label << " point " << n;
        }

        // OBJ's spans number their points on from the spans before them.
        const std::string obj = written(hair, options, HairFileFormat::Obj);
        std::vector<float> points;
        uint64_t nextIndex = 1;
        size_t strands = 0;
        for (size_t at = 0; at < obj.size();) {
            const size_t end = obj.find('\n', at);
            const std::string line = obj.substr(at, end - at);
            at = end + 1;
            if (line[0] == 'v') {
                for (float value : usdFloats(line.substr(1))) {
                    points.push_back(value);
                }
            } else if (line[0] == 'l') {
                std::string indices;
                for (int i = 0; i < 8; ++i) {
                    indices += " " + std::to_string(nextIndex++);
                }
                ASSERT_EQ(line, "l" + indices) << label << " strand " << strands;
                ++strands;
            }
        }
        EXPECT_EQ(strands, 12u * 6001) << label;
        EXPECT_EQ(bitDifference(expected, points), "") << label;
    }
}

// A child whose root has no coordinates on the shape fails the layer with the
// reason, and nothing after it is handed on.
TEST(DenseHair, AChildRootWithoutSurfaceCoordinatesFailsTheLayer)
{
    GrownHair hair;
    grow(makeRecipe(UnderlyingShape::Plane, HairStyle::Messy, 2, 2, 8), hair);
    ASSERT_FALSE(hair.own.rootSt.empty());
    ChildRequest options;
    options.generation.children = 3;
    std::string problem;
    // Strands of no known shape, yet with their guides' coordinates.
    const std::optional<StrandStream> stream =
        StrandStream::make(hair.strands, UnderlyingShape::NoShape, options, problem);
    ASSERT_TRUE(stream) << problem;
    UsdCurvesExtras extras;
    extras.rootSt = hair.own.rootSt;
    std::vector<unsigned char> bytes;
    OutputBuffer out(appendingTo(bytes), 4096);
    writeUsdCurves(*stream, extras, out);
    EXPECT_FALSE(out.finish());
    EXPECT_NE(out.failure().find("surface coordinates"), std::string::npos) << out.failure();
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.find("primvars:st"), std::string::npos) << "what was buffered when it failed is not handed on";
}
