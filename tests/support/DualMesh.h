#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/ObjLoad.h"

// The dual of an OBJ mesh, as a record: one vertex at the corner mean of each face, and one face
// for each vertex whose faces close a single fan around it, its corners the centres of those faces
// in counter-clockwise order (vertices on a border or where an edge is used twice the same way are
// left out, leaving holes). A triangle mesh becomes a mesh of mostly pentagons, hexagons and
// heptagons, neither planar nor always convex: the n-gons a modeller meets. Each edge joins the
// centres of the two faces of one original edge. False when the file cannot be opened.
inline bool loadObjDual(const std::string& path, TpolyGeom& g) {
    ObjMesh mesh;
    if (!readObj(path, mesh)) return false;
    using Key = std::pair<uint32_t, uint32_t>;
    std::map<Key, uint32_t> faceOfEdge;  // directed edge -> the face using it that way
    std::vector<uint32_t> anyFace(mesh.points.size(), TpolyBits::kNoId);
    std::vector<bool> skip(mesh.points.size(), false);
    for (uint32_t f = 0; f < mesh.faces.size(); ++f) {
        const std::vector<uint32_t>& ring = mesh.faces[f];
        T3dFltPoint centre(0, 0, 0);
        for (size_t i = 0; i < ring.size(); ++i) {
            const uint32_t a = ring[i], b = ring[(i + 1) % ring.size()];
            if (!faceOfEdge.emplace(Key(a, b), f).second) skip[a] = skip[b] = true;
            anyFace[a] = f;
            centre = centre + mesh.points[a] * (1.0f / float(ring.size()));
        }
        g.appendVertex(centre);
    }
    std::map<Key, uint32_t> dualEdge;  // undirected original edge -> edge between its faces' centres
    std::vector<uint32_t> fan, across;
    for (uint32_t v = 0; v < mesh.points.size(); ++v) {
        if (skip[v] || anyFace[v] == TpolyBits::kNoId) continue;
        // Walk round v: from a face over its edge leaving v to the face using that edge back.
        fan.clear();
        across.clear();
        uint32_t f = anyFace[v];
        bool closed = false;
        while (fan.size() <= mesh.faces.size()) {
            fan.push_back(f);
            const std::vector<uint32_t>& ring = mesh.faces[f];
            const size_t at = size_t(std::find(ring.begin(), ring.end(), v) - ring.begin());
            const uint32_t w = ring[(at + 1) % ring.size()];
            across.push_back(w);
            const auto it = faceOfEdge.find(Key(w, v));
            if (it == faceOfEdge.end()) break;
            f = it->second;
            if (f == fan.front()) {
                closed = true;
                break;
            }
        }
        if (!closed || fan.size() < 3) continue;
        // The walk turns clockwise seen from outside; the face runs the other way.
        g.bgnFace(uint32_t(fan.size()));
        for (size_t i = fan.size(); i-- > 0;) {
            const uint32_t a = fan[(i + 1) % fan.size()], b = fan[i], w = across[i];
            const Key key(std::min(v, w), std::max(v, w));
            auto it = dualEdge.find(key);
            const uint32_t e = it == dualEdge.end() ? dualEdge[key] = g.appendEdge(a, b) : it->second;
            g.refEdge(e, g.startVertex(e) == a ? kForward : kReversed);
        }
        g.endLoop();
        g.endFace();
    }
    return true;
}
