#include "geometry/MeshWelding.h"

#include <cmath>
#include <algorithm>
#include <cstring>
#include <new>

#include "geometry/Arrays.h"
#include "geometry/BothCores.h"

namespace {

constexpr uint32_t kEmptySlot = 0xFFFFFFFFu;
// A slot's low bits hold the index, the rest the top of the vertex's hash.
// The empty slot's index is past any vertex the welder takes.
constexpr int kIndexBits = 25;
constexpr uint32_t kIndexMask = (1u << kIndexBits) - 1;
constexpr uint64_t kFirstSlots = 1024;
// Where a vertex's faces have no area to give it a direction.
constexpr float kFallbackNormal[3] = {0.0f, 0.0f, 1.0f};
constexpr float kNoNormal[3] = {0.0f, 0.0f, 0.0f};

uint32_t floatBits(float x)
{
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

uint64_t pairBits(const float* pair)
{
    return uint64_t(floatBits(pair[0])) | (uint64_t(floatBits(pair[1])) << 32);
}

// Murmur3's finaliser: every input bit reaches the low bits the table uses.
uint64_t finalMix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

uint64_t positionHash(const float* p)
{
    return finalMix(pairBits(p) * 0x9E3779B97F4A7C15ull ^ uint64_t(floatBits(p[2])) * 0xC2B2AE3D27D4EB4Full);
}

bool samePosition(const float* a, const float* b)
{
    return floatBits(a[0]) == floatBits(b[0]) && floatBits(a[1]) == floatBits(b[1]) &&
           floatBits(a[2]) == floatBits(b[2]);
}

// The normal as a unit vector, or false when it has no direction.
bool unitNormal(const float* normal, float out[3])
{
    if (normal == nullptr) return false;
    const double length = std::sqrt(double(normal[0]) * normal[0] + double(normal[1]) * normal[1] +
                                    double(normal[2]) * normal[2]);
    if (!(length > 0.0) || !std::isfinite(length)) return false;
    for (int a = 0; a < 3; ++a) {
        // + 0.0f turns a negative zero into the zero it equals, so the two weld.
        out[a] = static_cast<float>(normal[a] / length) + 0.0f;
    }
    return true;
}

uint32_t tagOf(uint64_t hash)
{
    return uint32_t(hash >> (64 - (32 - kIndexBits))) << kIndexBits;
}

uint64_t slotCountFor(uint64_t entries)
{
    uint64_t count = kFirstSlots;
    while (count < entries * 2) count *= 2;
    return count;
}

}  // namespace

void triangleNormal(const float a[3], const float b[3], const float c[3], double normal[3])
{
    const double e1[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double e2[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    normal[0] = e1[1] * e2[2] - e1[2] * e2[1];
    normal[1] = e1[2] * e2[0] - e1[0] * e2[2];
    normal[2] = e1[0] * e2[1] - e1[1] * e2[0];
}

void MeshWelder::begin(int64_t vertexCapacity, int64_t triangleCapacity, bool withUvs, bool fileNormals)
{
    release();
    // Beyond the slots' index bits; no file the reader takes comes near it.
    if (vertexCapacity >= int64_t(kIndexMask)) throw std::bad_alloc();
    built.allocate(static_cast<int>(vertexCapacity), static_cast<int>(triangleCapacity), withUvs);
    built.vertexCount = 0;
    built.triangleCount = 0;
    withNormals = fileNormals;
    anyMissingNormal = !withNormals;
    missingNormal = withNormals ? new uint8_t[size_t(vertexCapacity)] : nullptr;
    // A closed mesh has about half as many vertices as triangles, so this size
    // is rarely outgrown.
    const uint64_t slotCount = slotCountFor(uint64_t(triangleCapacity) / 2);
    slotMask = slotCount - 1;
    slots = new uint32_t[slotCount];
    std::fill(slots, slots + slotCount, kEmptySlot);
}

void MeshWelder::release()
{
    built.release();
    freeArray(missingNormal);
    freeArray(slots);
    slotMask = 0;
    anyMissingNormal = false;
    withNormals = true;
}

uint64_t MeshWelder::vertexHash(const float* p, const float* n, const float* uv) const
{
    uint64_t h = pairBits(p) * 0x9E3779B97F4A7C15ull;
    h ^= (uint64_t(floatBits(p[2])) | (uint64_t(floatBits(n[0])) << 32)) * 0xC2B2AE3D27D4EB4Full;
    h ^= pairBits(n + 1) * 0x165667B19E3779F9ull;
    if (built.uvs != nullptr) h ^= pairBits(uv) * 0x27D4EB2F165667C5ull;
    return finalMix(h);
}

void MeshWelder::growSlots()
{
    const uint64_t count = slotCountFor(uint64_t(built.vertexCount) + 1);
    freeArray(slots);
    slots = new uint32_t[count];
    std::fill(slots, slots + count, kEmptySlot);
    slotMask = count - 1;
    for (int32_t v = 0; v < built.vertexCount; ++v) {
        // Without the file's normals, every vertex was hashed with none.
        const float* normal = withNormals ? built.normals + size_t(v) * 3 : kNoNormal;
        const uint64_t hash = vertexHash(built.positions + size_t(v) * 3, normal,
                                         built.uvs + (built.uvs != nullptr ? size_t(v) * 2 : 0));
        uint64_t s = hash & slotMask;
        while (slots[s] != kEmptySlot) s = (s + 1) & slotMask;
        slots[s] = tagOf(hash) | uint32_t(v);
    }
}

void MeshWelder::prepare(const float position[3], const float* normal, const float* uv, Prepared& vertex) const
{
    for (int a = 0; a < 3; ++a) vertex.position[a] = position[a] + 0.0f;
    vertex.hasNormal = unitNormal(normal, vertex.normal);
    if (!vertex.hasNormal) vertex.normal[0] = vertex.normal[1] = vertex.normal[2] = 0.0f;
    vertex.uv[0] = uv != nullptr && built.uvs != nullptr ? uv[0] + 0.0f : 0.0f;
    vertex.uv[1] = uv != nullptr && built.uvs != nullptr ? uv[1] + 0.0f : 0.0f;
    vertex.hash = vertexHash(vertex.position, vertex.normal, vertex.uv);
    __builtin_prefetch(slots + (vertex.hash & slotMask));
}

int32_t MeshWelder::add(const Prepared& vertex)
{
    // The table may have grown since the vertex was prepared; the hash holds.
    uint64_t s = vertex.hash & slotMask;
    const uint32_t tag = tagOf(vertex.hash);
    while (slots[s] != kEmptySlot) {
        const int32_t other = int32_t(slots[s] & kIndexMask);
        if ((slots[s] & ~kIndexMask) == tag && samePosition(built.positions + size_t(other) * 3, vertex.position) &&
            (!withNormals || samePosition(built.normals + size_t(other) * 3, vertex.normal)) &&
            (built.uvs == nullptr || pairBits(built.uvs + size_t(other) * 2) == pairBits(vertex.uv))) {
            return other;
        }
        s = (s + 1) & slotMask;
    }
    const int32_t added = built.vertexCount;
    std::memcpy(built.positions + size_t(added) * 3, vertex.position, sizeof vertex.position);
    if (built.uvs != nullptr) std::memcpy(built.uvs + size_t(added) * 2, vertex.uv, sizeof vertex.uv);
    slots[s] = tag | uint32_t(added);
    if (withNormals) {
        std::memcpy(built.normals + size_t(added) * 3, vertex.normal, sizeof vertex.normal);
        missingNormal[added] = vertex.hasNormal ? 0 : 1;
        anyMissingNormal = anyMissingNormal || !vertex.hasNormal;
    }
    ++built.vertexCount;
    // Kept at most half full, so a probe ends soon.
    if (uint64_t(built.vertexCount) * 2 > slotMask + 1) growSlots();
    return added;
}

int32_t MeshWelder::addVertex(const float position[3], const float* normal, const float* uv)
{
    Prepared vertex;
    prepare(position, normal, uv, vertex);
    return add(vertex);
}

void MeshWelder::dropVerticesFrom(int first)
{
    if (first < 0 || first >= built.vertexCount) return;
    // Linear probing: a vertex added later never lies on the probe path of an
    // earlier one, so emptying the later ones leaves every earlier one found.
    for (uint64_t s = 0; s <= slotMask; ++s) {
        if (slots[s] != kEmptySlot && int32_t(slots[s] & kIndexMask) >= first) slots[s] = kEmptySlot;
    }
    built.vertexCount = first;
    anyMissingNormal = !withNormals || (first > 0 && std::memchr(missingNormal, 1, size_t(first)) != nullptr);
}

// Vertices at one position share the faces around it, whatever their uvs, so a
// seam in the texture does not crease the surface.
void MeshWelder::makeSmoothNormals()
{
    const int32_t count = built.vertexCount;
    // When no vertex has a normal or a uv, each position is one vertex, and the
    // faces' normals are summed straight into the vertices' own. Otherwise each
    // vertex's group is its first vertex at the same position, where the sum goes.
    const bool positionsAreUnique =
        built.uvs == nullptr && (!withNormals || !std::memchr(missingNormal, 0, size_t(count)));
    int32_t* group = nullptr;
    float* sums = built.normals;
    if (!positionsAreUnique) {
        group = new int32_t[size_t(count)];
        sums = new float[size_t(count) * 3];
        const uint64_t slotCount = slotCountFor(uint64_t(count));
        freeArray(slots);
        slots = new uint32_t[slotCount];
        std::fill(slots, slots + slotCount, kEmptySlot);
        const uint64_t mask = slotCount - 1;
        // Here a slot holds a bare index: the first vertex at its position.
        for (int32_t v = 0; v < count; ++v) {
            const float* p = built.positions + size_t(v) * 3;
            uint64_t s = positionHash(p) & mask;
            while (slots[s] != kEmptySlot && !samePosition(built.positions + size_t(slots[s]) * 3, p)) {
                s = (s + 1) & mask;
            }
            if (slots[s] == kEmptySlot) slots[s] = uint32_t(v);
            group[v] = int32_t(slots[s]);
        }
        freeArray(slots);
    }
    std::fill(sums, sums + size_t(count) * 3, 0.0f);
    // The sums are single precision: faces are measured against the mesh's
    // size, so any finite mesh, however large or small, keeps them in range.
    double largest = 0.0;
    for (size_t i = 0; i < size_t(count) * 3; ++i) largest = std::max(largest, std::fabs(double(built.positions[i])));
    const double toUnit = largest > 0.0 ? 1.0 / (largest * largest) : 1.0;
    for (int t = 0; t < built.triangleCount; ++t) {
        const int32_t* corner = built.triangles + size_t(t) * 3;
        double normal[3];
        triangleNormal(built.positions + size_t(corner[0]) * 3, built.positions + size_t(corner[1]) * 3,
                       built.positions + size_t(corner[2]) * 3, normal);
        for (int k = 0; k < 3; ++k) {
            float* sum = sums + size_t(group != nullptr ? group[corner[k]] : corner[k]) * 3;
            sum[0] += static_cast<float>(normal[0] * toUnit);
            sum[1] += static_cast<float>(normal[1] * toUnit);
            sum[2] += static_cast<float>(normal[2] * toUnit);
        }
    }
    auto normalise = [&](int32_t first, int32_t end) {
        for (int32_t v = first; v < end; ++v) {
            if (withNormals && !missingNormal[v]) continue;
            const float* sum = sums + size_t(group != nullptr ? group[v] : v) * 3;
            const double length =
                std::sqrt(double(sum[0]) * sum[0] + double(sum[1]) * sum[1] + double(sum[2]) * sum[2]);
            float* n = built.normals + size_t(v) * 3;
            const float direction[3] = {sum[0], sum[1], sum[2]};
            for (int a = 0; a < 3; ++a) {
                n[a] = length > 0.0 ? static_cast<float>(direction[a] / length) : kFallbackNormal[a];
            }
        }
    };
    runInHalves(count, normalise);
    if (group != nullptr) {
        delete[] sums;
        delete[] group;
    }
}

void MeshWelder::remapTriangles(int first, const int32_t* remap, bool turnOver)
{
    for (int t = first; t < built.triangleCount; ++t) {
        int32_t* corner = built.triangles + size_t(t) * 3;
        const int32_t a = remap[corner[0]];
        const int32_t b = remap[corner[1]];
        const int32_t c = remap[corner[2]];
        corner[0] = a;
        corner[1] = turnOver ? c : b;
        corner[2] = turnOver ? b : c;
    }
}

void MeshWelder::finish(TriangleMesh& mesh)
{
    freeArray(slots);
    if (anyMissingNormal) makeSmoothNormals();
    mesh.takeFrom(built);
    release();
}
