#pragma once

#include <cstdint>

// Shared enumerations, bit layouts and sentinels of the polygon record.

enum TedgeDirection : uint32_t { kForward = 0, kReversed = 1 };
enum Tside : uint32_t { kLeft = 0, kRight = 1 };
enum TpolyGrpType : int32_t {
    kPolyGrpNone = 0,
    kPolyGrpVertex = 1,
    kPolyGrpEdge = 2,
    kPolyGrpFace = 3,
    kPolyGrpUV = 4,
    kPolyGrpVertexFace = 5
};
enum TpolyFaceInfo : int32_t { kFaceInfoCornerMean = 0, kFaceInfoOutlineCentre = 1 };

namespace TpolyBits {
// Edge words: the start word carries the hard flag in its top bit; both words mask it off.
inline constexpr uint32_t kHardFlag = 0x80000000u;
inline constexpr uint32_t kVertexMask = 0x7FFFFFFFu;

// Face-description entry.
inline constexpr uint32_t kEdgeMask = 0x1FFFFFFFu;
inline constexpr uint32_t kEndOfFace = 0x20000000u;
inline constexpr uint32_t kEndOfLoop = 0x40000000u;
inline constexpr uint32_t kReversedUse = 0x80000000u;

// Sentinels.
inline constexpr uint32_t kNoId = 0xFFFFFFFFu;
inline constexpr uint32_t kNoFace = 0x80000000u;  // also the end of an iteration
inline constexpr uint32_t kNoEdge = 0x10000000u;  // vertex without edges
}  // namespace TpolyBits

// Dirty-mask bits: each names derived data that is out of date.
enum TpolyDirty : uint32_t {
    dirtyFaceOffsets = 0x001,
    dirtyVertexToEdge = 0x002,
    dirtyEdgeToFace = 0x004,
    dirtyFaceVectors = 0x008,
    dirtyFaceNormalize = 0x010,
    dirtyTriangles = 0x020,
    dirtyNormalTopo = 0x040,
    dirtyVertexNormals = 0x080,
    dirtyVertexNormalize = 0x100,
    dirtyDisplay = 0x200,
    dirtyTangents = 0x800,
    dirtyAll = 0xFFFFFFFFu,
    // The fixed masks that edits set.
    dirtyMoved = 0x3B8,
    dirtyHardness = 0x3E0,
    dirtyReversed = 0x3E6,
    dirtyRetopologised = 0x3E7,
    dirtyLocalSplit = 0x3A0
};

// Component bits of copy, share and unShare.
enum TpolyComponent : uint32_t {
    kCompVertices = 0x001,
    kCompTopology = 0x002,
    kCompNormals = 0x004,
    kCompTriangulation = 0x008,
    kCompGroups = 0x010,
    kCompUVSets = 0x020,
    kCompColorSets = 0x040,
    kCompBlindData = 0x080,
    kCompTangents = 0x100,
    kCompAll = 0x1FF
};

// Parts checked by TpolyGeom::checkObject (the UV ids are always checked).
enum TpolyCheck : unsigned { kCheckEdges = 0x1, kCheckDescription = 0x2, kCheckFaceOffsets = 0x4, kCheckAll = 0x7 };

// One edge: start word (vertex id, hard flag in bit 31) and end word (vertex id; bit 31 unused).
struct TpolyEdge {
    uint32_t v[2] = {0, 0};

    uint32_t start() const { return v[0] & TpolyBits::kVertexMask; }
    uint32_t end() const { return v[1] & TpolyBits::kVertexMask; }
    bool isHard() const { return (v[0] & TpolyBits::kHardFlag) != 0; }
    bool operator==(const TpolyEdge&) const = default;
};
static_assert(sizeof(TpolyEdge) == 8);
