#pragma once

// The meshes the core benchmarks compare on, as flat arrays a host hands over: the scanned bunny
// and cow, the quad-dominant suzanne from the sample meshes, and a generated grid of 100k quads.
// Each is read once per program.

#include <cstdint>
#include <string>
#include <vector>

#include "support/ObjLoad.h"

struct FlatMesh {
    std::string name;
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<int32_t> counts, ids;
    uint32_t nbVertex() const { return uint32_t(positions.size() / 3); }
    uint32_t nbFace() const { return uint32_t(counts.size()); }
};

inline FlatMesh flatFromObj(const std::string& name) {
    FlatMesh m;
    m.name = name;
    ObjMesh obj;
    readObj(std::string(BRINDLE_DATA_DIR) + "/" + name + ".obj", obj);
    for (const T3dFltPoint& p : obj.points) m.positions.insert(m.positions.end(), {p.x, p.y, p.z});
    for (const std::vector<uint32_t>& f : obj.faces) {
        m.counts.push_back(int32_t(f.size()));
        for (uint32_t v : f) m.ids.push_back(int32_t(v));
    }
    return m;
}

inline FlatMesh flatQuadGrid(uint32_t n) {
    FlatMesh m;
    m.name = "grid";
    const uint32_t row = n + 1;
    for (uint32_t j = 0; j <= n; ++j)
        for (uint32_t i = 0; i <= n; ++i) m.positions.insert(m.positions.end(), {float(i), float(j), 0.0f});
    for (uint32_t j = 0; j < n; ++j)
        for (uint32_t i = 0; i < n; ++i) {
            const int32_t v = int32_t(j * row + i);
            m.counts.push_back(4);
            m.ids.insert(m.ids.end(), {v, v + 1, v + 1 + int32_t(row), v + int32_t(row)});
        }
    return m;
}

// 0 bunny, 1 cow, 2 suzanne, 3 grid of 316 x 316 quads.
inline const FlatMesh& meshInput(int which) {
    static const std::vector<FlatMesh> all = [] {
        std::vector<FlatMesh> v;
        for (const char* name : {"stanford-bunny", "cow", "suzanne"}) v.push_back(flatFromObj(name));
        v.push_back(flatQuadGrid(316));
        return v;
    }();
    return all[size_t(which)];
}

inline void meshInputs(benchmark::internal::Benchmark* b) {
    b->ArgName("mesh");
    for (int i = 0; i < 4; ++i) b->Arg(i);
}

// A record built from the mesh through the vertex builder, as a host builds one.
inline TpolyGeom* buildRecord(const FlatMesh& m) {
    TpolyVertexBuilder b;
    b.create(m.nbVertex(), m.nbFace(), uint32_t(m.ids.size()), reinterpret_cast<const T3Float*>(m.positions.data()),
             m.counts.data(), m.ids.data());
    b.ownResult();
    return b.complete();
}
