#include "brindle/framework/RingMesh.h"

#include "brindle/geom/PolyGeom.h"

TringMesh::TringMesh(TpolyGeom& geom, uint32_t ringSize, uint32_t uvSet)
    : fGeom(geom), fBuilder(&geom), fN(ringSize), fSet(uvSet) {}

uint32_t TringMesh::addRing(const TcircleTable& table, float rho, float y) {
    const uint32_t first = fGeom.nbVertex();
    table.appendRing(fGeom.vertexArray(), rho, y);
    return first;
}

uint32_t TringMesh::addVertex(float x, float y, float z) { return fGeom.appendVertex(x, y, z); }

void TringMesh::face(uint32_t count, const int32_t* vertices, const int32_t* uvs) {
    fBuilder.createFace(count, vertices, fSet != kNoSet ? uvs : nullptr, true, fSet != kNoSet ? fSet : 0);
}

void TringMesh::band(uint32_t a, uint32_t b, int32_t uvBase, int32_t uvStride) {
    for (uint32_t i = 0; i < fN; ++i) {
        const uint32_t j = (i + 1) % fN;
        const int32_t v[4] = {int32_t(a + i), int32_t(a + j), int32_t(b + j), int32_t(b + i)};
        const int32_t k = uvBase + int32_t(i);
        const int32_t uv[4] = {k, k + 1, k + uvStride + 1, k + uvStride};
        face(4, v, uvBase >= 0 ? uv : nullptr);
    }
}

void TringMesh::fan(uint32_t a, uint32_t c, bool up, int32_t uvBase, int32_t uvPole, bool polePerTriangle) {
    for (uint32_t i = 0; i < fN; ++i) {
        const uint32_t j = (i + 1) % fN;
        const int32_t pole = polePerTriangle ? uvPole + int32_t(i) : uvPole;
        const int32_t k = uvBase + int32_t(i);
        if (up) {
            const int32_t v[3] = {int32_t(a + i), int32_t(a + j), int32_t(c)}, uv[3] = {k, k + 1, pole};
            face(3, v, uvBase >= 0 ? uv : nullptr);
        } else {
            const int32_t v[3] = {int32_t(a + j), int32_t(a + i), int32_t(c)}, uv[3] = {k + 1, k, pole};
            face(3, v, uvBase >= 0 ? uv : nullptr);
        }
    }
}

void TringMesh::polygon(uint32_t a, bool up, int32_t uvFirst) {
    fCorners.changeLogicalSizeTo(2 * fN);
    int32_t* v = fCorners.data();
    int32_t* uv = v + fN;
    for (uint32_t i = 0; i < fN; ++i) {
        const uint32_t k = up ? i : fN - 1 - i;
        v[i] = int32_t(a + k);
        uv[i] = uvFirst + int32_t(k);
    }
    face(fN, v, uvFirst >= 0 ? uv : nullptr);
}

void TringMesh::harden(uint32_t from, uint32_t to) {
    uint32_t e;
    bool reversed;
    if (fBuilder.findEdge(from, to, e, reversed)) fGeom.setHard(e);
}

void TringMesh::hardenRing(uint32_t a) {
    for (uint32_t i = 0; i < fN; ++i) harden(a + i, a + (i + 1) % fN);
}

void TringMesh::hardenBand(uint32_t a, uint32_t b) {
    for (uint32_t i = 0; i < fN; ++i) harden(a + i, b + i);
}

void TringMesh::hardenFan(uint32_t a, uint32_t c) {
    for (uint32_t i = 0; i < fN; ++i) harden(a + i, c);
}

void TringMesh::finish() {
    if (fSet == kNoSet) fGeom.maps()->clear();
}

int32_t TringMesh::appendRowGrid(TpolyMap& map, uint32_t rows, uint32_t n) {
    const int32_t first = int32_t(map.nbUV());
    for (uint32_t k = 0; k < rows; ++k)
        for (uint32_t i = 0; i <= n; ++i) map.appendUV(float(i) / float(n), float(k + 1) / float(rows + 1));
    return first;
}

int32_t TringMesh::appendDisc(TpolyMap& map, const TcircleTable& table) {
    const int32_t first = int32_t(map.nbUV());
    for (uint32_t i = 0; i < table.size(); ++i)
        map.appendUV(0.5f + 0.5f * table.cosAt(i), 0.5f + 0.5f * table.sinAt(i));
    return first;
}
