#pragma once

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "brindle/brindle.h"

// Appends one face over a vertex ring, reusing the edge between two vertices (either way round)
// or appending a new one with the given hard flag. Linear in the edge count: for small records.
inline void addRingFace(TpolyGeom& g, const std::vector<uint32_t>& ring, bool hard = false) {
    g.bgnFace(uint32_t(ring.size()));
    for (size_t i = 0; i < ring.size(); ++i) {
        const uint32_t a = ring[i], b = ring[(i + 1) % ring.size()];
        uint32_t e = TpolyBits::kNoId;
        for (uint32_t k = 0; k < g.nbEdge() && e == TpolyBits::kNoId; ++k)
            if ((g.startVertex(k) == a && g.endVertex(k) == b) || (g.startVertex(k) == b && g.endVertex(k) == a)) e = k;
        if (e == TpolyBits::kNoId) e = g.appendEdge(a, b, hard);
        g.refEdge(e, g.startVertex(e) == a ? kForward : kReversed);
    }
    g.endLoop();
    g.endFace();
}

// Unit cube, vertex id x + 2y + 4z, six outward quads; edges are made on first use, so that
// neighbouring faces use them in opposite directions.
inline void addUnitCube(TpolyGeom& g, bool hard = false) {
    for (uint32_t v = 0; v < 8; ++v) g.appendVertex(float(v & 1), float((v >> 1) & 1), float((v >> 2) & 1));
    for (const std::vector<uint32_t>& f : std::vector<std::vector<uint32_t>>{
             {0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}})
        addRingFace(g, f, hard);
}

// The v and f lines of an OBJ file: positions, and each face's corners as zero-based vertex ids
// (texture and normal indices dropped). False when the file cannot be opened.
struct ObjMesh {
    std::vector<T3dFltPoint> points;
    std::vector<std::vector<uint32_t>> faces;
};

inline bool readObj(const std::string& path, ObjMesh& mesh) {
    std::ifstream in(path);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string tag;
        s >> tag;
        if (tag == "v") {
            float x = 0, y = 0, z = 0;
            s >> x >> y >> z;
            mesh.points.emplace_back(x, y, z);
        } else if (tag == "f") {
            mesh.faces.emplace_back();
            for (std::string word; s >> word;) mesh.faces.back().push_back(uint32_t(std::stoul(word)) - 1);
        }
    }
    return true;
}

// Reads an OBJ file's mesh into a record, one edge per distinct corner pair shared by the faces
// that use it either way round. False when the file cannot be opened.
inline bool loadObj(const std::string& path, TpolyGeom& g) {
    ObjMesh mesh;
    if (!readObj(path, mesh)) return false;
    for (const T3dFltPoint& p : mesh.points) g.appendVertex(p);
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> edges;
    for (const std::vector<uint32_t>& ring : mesh.faces) {
        g.bgnFace(uint32_t(ring.size()));
        for (size_t i = 0; i < ring.size(); ++i) {
            const uint32_t a = ring[i], b = ring[(i + 1) % ring.size()];
            const auto key = std::make_pair(std::min(a, b), std::max(a, b));
            auto it = edges.find(key);
            const uint32_t e = it == edges.end() ? edges[key] = g.appendEdge(a, b) : it->second;
            g.refEdge(e, g.startVertex(e) == a ? kForward : kReversed);
        }
        g.endLoop();
        g.endFace();
    }
    return true;
}
