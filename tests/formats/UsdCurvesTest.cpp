// The USD layer of Tressmoor's own hair: its structure and every number in it.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HairTestSupport.h"
#include "UsdTextSupport.h"
#include "formats/HairExport.h"
#include "formats/HairFile.h"
#include "formats/RecipeText.h"
#include "formats/StoredHair.h"
#include "geometry/UnderlyingShapes.h"
#include "hair/HairGrowth.h"
#include "hair/HairStore.h"

namespace {

// The hair's own store and the surface it grows on, handed to the code under test.
HairStore store;
NurbsSurface shapeSurface;

std::string usdText(const HairFileContents& contents)
{
    const std::vector<unsigned char> bytes =
        encodeHairFileAs(contents, shapeSurface, HairFileFormat::Usd);
    return std::string(bytes.begin(), bytes.end());
}

// The first grid sample, in row-major order, at the root's very position.
const SurfaceVertex* firstSampleAt(const std::vector<SurfaceVertex>& grid, const float* root)
{
    for (const SurfaceVertex& sample : grid) {
        if (sample.position[0] == root[0] && sample.position[1] == root[1] &&
            sample.position[2] == root[2]) {
            return &sample;
        }
    }
    return nullptr;
}

std::vector<float> expectedRootSt(const HairFileContents& contents)
{
    const HairRecipe& recipe = contents.recipe;
    const std::vector<SurfaceVertex> grid = recipe.shape == UnderlyingShape::Plane
                                                ? std::vector<SurfaceVertex>()
                                                : wholeGrid(shapeSurface);
    std::vector<float> st;
    for (size_t root = 0; root < contents.points.size(); root += 3 * recipe.parts) {
        const float* p = &contents.points[root];
        if (recipe.shape == UnderlyingShape::Plane) {
            st.push_back(static_cast<float>((double(p[0]) + 100.0) / 200.0));
            st.push_back(static_cast<float>((double(p[2]) + 100.0) / 200.0));
        } else if (const SurfaceVertex* sample = firstSampleAt(grid, p)) {
            st.push_back(sample->texCoord[0]);
            st.push_back(sample->texCoord[1]);
        } else {
            ADD_FAILURE() << "a grown root matches no sample of the grid";
        }
    }
    return st;
}

}  // namespace

TEST(UsdCurves, GrownHairOfEveryShapeHasTheLayerAndItsNumbers)
{
    for (UnderlyingShape shape :
         {UnderlyingShape::Plane, UnderlyingShape::Sphere, UnderlyingShape::Torus}) {
        const HairRecipe recipe = makeRecipe(shape, HairStyle::Combed, 2, 3, 10, 12, 20);
        SCOPED_TRACE(describe(recipe));
        growQuietly(recipe, shapeSurface, store);
        HairFileContents contents;
        std::string problem;
        ASSERT_TRUE(storedHairContents(store, recipe, contents, problem)) << problem;
        const UsdLayer layer = parseUsdLayer(usdText(contents));
        ASSERT_EQ(layer.problem, "");

        EXPECT_EQ(layer.metadata, (std::vector<std::string>{
                                      "defaultPrim = \"hair\"", "metersPerUnit = 0.001", "upAxis = \"Y\"",
                                      "customLayerData = {",
                                      "string tressmoorRecipe = \"" + formatRecipe(recipe) + "\"", "}"}));
        EXPECT_EQ(layer.primMetadata, std::vector<std::string>{"prepend apiSchemas = [\"GroomAPI\"]"});
        EXPECT_EQ(layer.attributeOrder,
                  (std::vector<std::string>{"type", "curveVertexCounts", "points", "widths", "extent",
                                            "primvars:clusterId", "primvars:st",
                                            "primvars:groom_group_id", "primvars:groom_root_uv",
                                            "primvars:groom_guide"}));
        const auto& a = layer.attributes;
        EXPECT_EQ(a.at("type").type, "uniform token");
        EXPECT_EQ(a.at("type").value, "\"linear\"");
        EXPECT_EQ(a.at("curveVertexCounts").type, "int[]");
        EXPECT_EQ(usdIntegers(a.at("curveVertexCounts").value), std::vector<long long>(12, 10));
        EXPECT_EQ(a.at("points").type, "point3f[]");
        EXPECT_EQ(bitDifference(contents.points, usdFloats(a.at("points").value)), "");
        EXPECT_EQ(a.at("widths").type, "float[]");
        EXPECT_EQ(a.at("widths").value, "[2]");
        EXPECT_EQ(a.at("widths").interpolation, "constant");

        // The tubes reach their radius, 1, past the points.
        std::vector<float> extent = {1e30f, 1e30f, 1e30f, -1e30f, -1e30f, -1e30f};
        for (size_t i = 0; i < contents.points.size(); ++i) {
            extent[i % 3] = std::min(extent[i % 3], contents.points[i]);
            extent[3 + i % 3] = std::max(extent[3 + i % 3], contents.points[i]);
        }
        for (int axis = 0; axis < 3; ++axis) {
            extent[axis] -= 1.0f;
            extent[3 + axis] += 1.0f;
        }
        EXPECT_EQ(a.at("extent").type, "float3[]");
        EXPECT_EQ(bitDifference(extent, usdFloats(a.at("extent").value)), "");

        EXPECT_EQ(a.at("primvars:clusterId").type, "int[]");
        EXPECT_EQ(a.at("primvars:clusterId").interpolation, "uniform");
        EXPECT_EQ(usdIntegers(a.at("primvars:clusterId").value),
                  (std::vector<long long>{0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}));
        EXPECT_EQ(a.at("primvars:st").type, "texCoord2f[]");
        EXPECT_EQ(a.at("primvars:st").interpolation, "uniform");
        const std::vector<float> st = usdFloats(a.at("primvars:st").value);
        EXPECT_EQ(bitDifference(expectedRootSt(contents), st), "");
        for (float value : st) {
            EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << value;
        }

        // The groom importers' names carry the same values; no strand is a guide.
        EXPECT_EQ(a.at("primvars:groom_group_id").type, "int[]");
        EXPECT_EQ(a.at("primvars:groom_group_id").interpolation, "uniform");
        EXPECT_EQ(a.at("primvars:groom_group_id").value, a.at("primvars:clusterId").value);
        EXPECT_EQ(a.at("primvars:groom_root_uv").type, "float2[]");
        EXPECT_EQ(a.at("primvars:groom_root_uv").interpolation, "uniform");
        EXPECT_EQ(a.at("primvars:groom_root_uv").value, a.at("primvars:st").value);
        EXPECT_EQ(usdIntegers(a.at("primvars:groom_guide").value), std::vector<long long>(12, 0));
    }
}

// The pole row of the sphere collapses onto the pole (within a unit in the last
// place): a root there takes the coordinates of the row's first sample at the
// very same position. A root off the grid has none at all.
TEST(UsdCurves, RootsOnTheSpherePoleTakeTheFirstSampleAndRootsOffTheGridNone)
{
    setupSphereSurface(shapeSurface);
    const std::vector<SurfaceVertex> grid = wholeGrid(shapeSurface);
    ASSERT_EQ(grid.size(), 441u);
    const SurfaceVertex& pole = grid[5 * 21 + 7];
    ASSERT_EQ(memcmp(pole.position, grid[5 * 21].position, sizeof pole.position), 0);

    HairFileContents contents;
    contents.recipe = makeRecipe(UnderlyingShape::Sphere, HairStyle::Messy, 1, 2, 8);
    for (int strand = 0; strand < 2; ++strand) {
        for (int r = 0; r < 8; ++r) {
            const SurfaceVertex& root = strand == 0 ? pole : grid[17 * 21 + 4];
            for (int axis = 0; axis < 3; ++axis) {
                contents.points.push_back(root.position[axis] + (axis == 1 ? r : 0));
            }
        }
    }
    UsdLayer layer = parseUsdLayer(usdText(contents));
    ASSERT_EQ(layer.problem, "");
    const SurfaceVertex* other = firstSampleAt(grid, grid[17 * 21 + 4].position);
    EXPECT_EQ(bitDifference({grid[5 * 21].texCoord[0], 0.0f, other->texCoord[0], other->texCoord[1]},
                            usdFloats(layer.attributes["primvars:st"].value)),
              "");
    EXPECT_EQ(grid[5 * 21].texCoord[0], 0.25f);

    contents.points[8 * 3] += 0.5f;
    layer = parseUsdLayer(usdText(contents));
    ASSERT_EQ(layer.problem, "");
    EXPECT_EQ(layer.attributes.count("primvars:st"), 0u);
    EXPECT_EQ(layer.attributes.count("primvars:clusterId"), 1u);
}
