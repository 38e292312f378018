// Face triangulation of the record.
// Keeps true: after triangulate every face f owns the triangles firstTriangle(f) up to
// firstTriangle(f + 1), the last one carrying the end-of-face bit, each corner number a corner of
// that face. A face the triangulation function cannot cut (or whose function writes a corner out
// of range) gets a fan from its first corner instead, its last triangle marked bad; no face is
// ever dropped.

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "brindle/base/Alloca.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/geom/PolyTriangulator.h"

namespace {

// Largest face whose corner numbers fit the 15 bits of a triangle word.
constexpr uint32_t kMaxTrgCorners = 0x8000;

// Shape of one face read from its description entries.
struct FaceShape {
    uint32_t corners = 0;
    uint32_t holes = 0;
    uint32_t outer = 0;  // entries of the outer loop

    explicit FaceShape(const TpolyGeom& g, uint32_t offset, uint32_t cornerCount) : corners(cornerCount) {
        uint32_t loops = 0;
        for (uint32_t i = 0; i < cornerCount; ++i) {
            if (!g.endOfLoop(offset + i)) continue;
            if (loops++ == 0) outer = i + 1;
        }
        if (loops == 0) outer = cornerCount;
        holes = loops > 1 ? loops - 1 : 0;
    }
    // Triangles a cut of this face yields: c + 2h - 2, at least one for the fallback fan.
    uint32_t expected() const { return std::max<int64_t>(int64_t(corners) + 2 * holes - 2, 0); }
    uint32_t room() const { return std::max(expected(), 1u); }
};

// The oriented start vertex of every corner exists; a record that fails this would make the
// triangulation read outside the vertex array.
bool cornersValid(const TpolyGeom& g, uint32_t offset, uint32_t count) {
    const uint32_t nEdge = g.nbEdge(), nVertex = g.nbVertex();
    for (uint32_t o = offset, end = offset + count; o < end; ++o)
        if (g.getEdge(o) >= nEdge || g.getStartVertex(o) >= nVertex) return false;
    return true;
}

// Fan (0, k, k + 1) from the first corner, k running over the outer loop and starting again at 1
// when it reaches the loop's last corner; numbers are kept below the corner count so that even a
// face too short to be a polygon gets corners of its own. The last triangle is marked bad.
void writeFan(unsigned short* out, uint32_t count, uint32_t outer, uint32_t corners) {
    const uint32_t top = std::min(corners, kMaxTrgCorners) - 1;
    uint32_t k = 1;
    for (uint32_t i = 0; i < count; ++i) {
        out[3 * i] = 0;
        out[3 * i + 1] = static_cast<unsigned short>(std::min(k, top));
        out[3 * i + 2] = static_cast<unsigned short>(std::min(k + 1, top));
        if (++k + 1 >= outer) k = 1;
    }
    out[3 * count - 2] |= TpolyTriangle::kFlag;
}

bool numbersInRange(const unsigned short* t, int count, uint32_t corners) {
    for (int i = 0; i < 3 * count; ++i)
        if (t[i] >= corners) return false;
    return true;
}

// Faces that have a description: a face counter running ahead of the end-of-face bits leaves the
// extra faces without corners, hence without triangles.
uint32_t describedFaces(const TpolyGeom& g) {
    const TuInt32Array& offsets = g.faceOffsetArray();
    return std::min(g.nbFace(), offsets.empty() ? 0u : offsets.size() - 1);
}

// The record's face normal while it is up to date, else the outer loop's own Newell vector.
T4dFltVector frameNormal(const TpolyGeom& g, uint32_t f, uint32_t offset) {
    const T3dFltPointArray& normals = g.norm()->fFaceNormals;
    if (!g.isDirty(dirtyFaceVectors) && f < normals.size())
        return T4dFltVector(normals[f].x, normals[f].y, normals[f].z);
    return g.computeLoopVector(offset);
}

const T3dFltPoint* cornerNormal(const TpolyGeom& g, uint32_t offset) {
    const TpolyNorm& n = *g.norm();
    if (n.fVertexNormals.empty()) return nullptr;
    uint32_t id = offset < n.fNormalIds.size() ? n.fNormalIds[offset] : 0;
    if (id >= n.fVertexNormals.size()) id = 0;
    return &n.fVertexNormals[id];
}

}  // namespace

void TpolyGeom::triangulate() {
    update(dirtyFaceOffsets);
    const uint32_t nFace = nbFace();
    const uint32_t described = describedFaces(*this);

    uint32_t total = 0, largest = 1;
    bool allTriangles = true;
    for (uint32_t f = 0; f < described; ++f) {
        const FaceShape shape(*this, faceOffset(f), faceVertexCount(f));
        total += shape.room();
        largest = std::max(largest, shape.room());
        allTriangles = allTriangles && shape.corners == 3;
    }
    if (!allTriangles || fUserTrgFunct) update(dirtyFaceVectors | dirtyVertexNormalize);

    const bool byDefault = fTrgFunct == &TpolyGeom::triangulateFaceFromOffset;
    fTrg->fTriangles.changeLogicalSizeTo(total);
    fTrg->fFirstTriangle.changeLogicalSizeTo(nFace + 1);
    fTrg->fFirstTriangle[0] = 0;
    std::vector<unsigned short> scratch(3 * size_t(largest));
    TpolyTriangle* triangles = fTrg->fTriangles.data();
    uint32_t written = 0;
    for (uint32_t f = 0; f < nFace; ++f) {
        if (f < described) {
            const uint32_t offset = faceOffset(f);
            const FaceShape shape(*this, offset, faceVertexCount(f));
            int count = 0;
            if (byDefault && shape.corners == 3) {
                scratch[0] = 0, scratch[1] = 1, scratch[2] = 2;
                count = 1;
            } else {
                count = fTrgFunct(this, offset, shape.holes, shape.corners, true, frameNormal(*this, f, offset),
                                  scratch.data());
            }
            if (count <= 0 || uint32_t(count) > shape.room() || shape.corners > kMaxTrgCorners ||
                !numbersInRange(scratch.data(), count, shape.corners)) {
                count = static_cast<int>(shape.room());
                writeFan(scratch.data(), shape.room(), shape.outer, shape.corners);
            }
            for (int t = 0; t < count; ++t)
                triangles[written + t] = TpolyTriangle{{scratch[3 * t], scratch[3 * t + 1], scratch[3 * t + 2]}};
            written += count;
            triangles[written - 1].setEndOfFace(true);
        }
        fTrg->fFirstTriangle[f + 1] = written;
    }
    fTrg->fTriangles.changeLogicalSizeTo(written);
    markClean(dirtyTriangles);
}

int TpolyGeom::triangulateFace(uint32_t face, unsigned short* out) {
    update(dirtyFaceOffsets);
    if (face >= describedFaces(*this)) return -1;
    const uint32_t offset = faceOffset(face);
    const FaceShape shape(*this, offset, faceVertexCount(face));
    // The default function finds its own frame; only a user function is handed the normal.
    const bool byDefault = fTrgFunct == &TpolyGeom::triangulateFaceFromOffset;
    const int count = fTrgFunct(this, offset, shape.holes, shape.corners, false,
                                byDefault ? T4dFltVector() : frameNormal(*this, face, offset), out);
    if (count > 0) return count;
    writeFan(out, shape.room(), shape.outer, shape.corners);
    return static_cast<int>(shape.room());
}

int TpolyGeom::triangulateFaceFromOffset(const TpolyGeom* geom, uint32_t offset, uint32_t holeCount,
                                         uint32_t cornerCount, bool useNormals, const T4dFltVector&,
                                         unsigned short* out) {
    const TpolyGeom& g = *geom;
    uint32_t outer = cornerCount;
    if (holeCount > 0) {
        outer = 0;
        while (outer < cornerCount && !g.endOfLoop(offset + outer)) ++outer;
        ++outer;
    } else if (cornerCount == 3) {
        out[0] = 0, out[1] = 1, out[2] = 2;
    }
    if (outer < 3 || outer > cornerCount) return -1;
    if (cornerCount > kMaxTrgCorners || !cornersValid(g, offset, cornerCount)) return -1;

    // The frame looks at the face from behind, so that its outer loop runs clockwise in 2D.
    const T4dFltVector loop = g.computeLoopVector(offset);
    T4dFltVector m(-loop.x, -loop.y, -loop.z);
    m.normalize();
    try {
        Talloca scratch;
        const uint32_t nPoints = cornerCount + holeCount;
        float* points = scratch.allocateArray<float>(2 * size_t(nPoints));
        const double r = std::sqrt(double(m.x) * m.x + double(m.y) * m.y);
        const bool tilted = r > 1e-5;
        const double xx = tilted ? m.z * m.x / r : 0, xy = tilted ? m.z * m.y / r : 0;
        const double yx = tilted ? -m.y / r : 0, yy = tilted ? m.x / r : 0;
        for (uint32_t i = 0; i < cornerCount; ++i) {
            const T3dFltPoint& p = g.vertexConst(g.getStartVertex(offset + i));
            double x = p.x, y = p.y;
            if (tilted) {
                x = xx * p.x + xy * p.y - r * p.z;
                y = yx * p.x + yy * p.y;
            } else if (!(m.z > 0)) {
                y = -y;  // a mirror, not a half turn: it has to reverse the winding
            }
            points[2 * i] = static_cast<float>(x);
            points[2 * i + 1] = static_cast<float>(y);
        }
        // Marker j: the local index of hole j's first corner; missing loop ends give empty holes.
        uint32_t marker = 0;
        for (uint32_t i = outer; i < cornerCount && marker < holeCount; ++i)
            if (g.endOfLoop(offset + i - 1)) points[2 * (cornerCount + marker++)] = static_cast<float>(i);
        for (; marker < holeCount; ++marker) points[2 * (cornerCount + marker)] = static_cast<float>(cornerCount);
        for (uint32_t j = 0; j < holeCount; ++j) points[2 * (cornerCount + j) + 1] = 0;

        float* normals = nullptr;
        if (useNormals) {
            normals = scratch.allocateArray<float>(3 * size_t(cornerCount));
            for (uint32_t i = 0; i < cornerCount; ++i) {
                const T3dFltPoint* n = cornerNormal(g, offset + i);
                if (!n) return -2;
                std::copy(&n->x, &n->x + 3, normals + 3 * i);
            }
        }

        const int result =
            kvPolyTriangulate::compute(useNormals, normals, points, int(outer), holeCount, cornerCount, out);
        if (result > 0) return result;
        // Exact ties (collinear or coincident corners) are what most often leaves no ear; a tiny
        // deterministic shift breaks them without moving any point visibly.
        for (uint32_t i = 0; i < nPoints; ++i) {
            points[2 * i] += float((i % 9) * 1e-6);
            points[2 * i + 1] += float(((i + 1) % 9) * 1e-6);
        }
        return kvPolyTriangulate::compute(useNormals, normals, points, int(outer), holeCount, cornerCount, out);
    } catch (const std::bad_alloc&) {
        return -3;
    }
}

int TpolyGeom::customTriangulateFace(const TpolyGeom* geom, uint32_t offset, uint32_t holeCount, uint32_t cornerCount,
                                     bool, const T4dFltVector& normal, unsigned short* out) {
    const TpolyGeom& g = *geom;
    if (!g.fUserTrgFunct || !cornersValid(g, offset, cornerCount)) return -1;
    try {
        Talloca scratch;
        float* points = scratch.allocateArray<float>(3 * size_t(cornerCount));
        float* normals = scratch.allocateArray<float>(3 * size_t(cornerCount));
        int* loopSizes = scratch.allocateArray<int>(size_t(holeCount) + 1);
        const T3dFltPoint* first = cornerNormal(g, offset);
        const T3dFltPoint faceNormal = first ? *first : T3dFltPoint(normal.x, normal.y, normal.z);
        std::fill(loopSizes, loopSizes + holeCount + 1, 0);
        uint32_t loop = 0;
        for (uint32_t i = 0; i < cornerCount; ++i) {
            const T3dFltPoint& p = g.vertexConst(g.getStartVertex(offset + i));
            std::copy(&p.x, &p.x + 3, points + 3 * i);
            std::copy(&faceNormal.x, &faceNormal.x + 3, normals + 3 * i);
            ++loopSizes[loop];
            if (g.endOfLoop(offset + i) && loop < holeCount) ++loop;
        }
        const int expected = int(cornerCount) + 2 * int(holeCount) - 2;
        g.fUserTrgFunct(points, normals, loopSizes, int(holeCount) + 1, expected, out);
        return expected;
    } catch (const std::bad_alloc&) {
        return -3;
    }
}

void TpolyGeom::setUserTrgFunct(TuserTrgFunction fn) {
    fUserTrgFunct = fn;
    fTrgFunct = fn ? &TpolyGeom::customTriangulateFace : &TpolyGeom::triangulateFaceFromOffset;
    markDirty(dirtyTriangles);
}

uint32_t TpolyGeom::triangleNumber(uint32_t face) {
    update(dirtyFaceOffsets);
    return FaceShape(*this, faceOffset(face), faceVertexCount(face)).expected();
}

uint32_t TpolyGeom::computeNbTriangle() {
    if (!isDirty(dirtyTriangles)) return nbTriangle();
    update(dirtyFaceOffsets);
    uint32_t sum = 0;
    for (uint32_t f = 0, described = describedFaces(*this); f < described; ++f)
        sum += FaceShape(*this, faceOffset(f), faceVertexCount(f)).expected();
    return sum;
}

bool TpolyGeom::isTriangulationOk() const {
    if (isDirty(dirtyTriangles)) return false;
    return std::none_of(fTrg->fTriangles.begin(), fTrg->fTriangles.end(),
                        [](const TpolyTriangle& t) { return t.bad(); });
}

bool TpolyGeom::getFaceTriangle(uint32_t f, uint32_t i, uint32_t* offsets) const {
    if (f + 1 >= fTrg->fFirstTriangle.size() || i >= trgFaceOrder(f)) return false;
    const TpolyTriangle& t = fTrg->fTriangles[firstTriangle(f) + i];
    for (uint32_t k = 0; k < 3; ++k) offsets[k] = faceOffset(f) + t.number(k);
    return true;
}
