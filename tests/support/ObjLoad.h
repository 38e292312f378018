#pragma once

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

// Reads the v and f lines of an OBJ file into a record (edges shared between the faces that use
// them, either way round); other lines are ignored. False when the file cannot be opened.
inline bool loadObj(const std::string& path, TpolyGeom& g) {
    std::ifstream in(path);
    if (!in) return false;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> edges;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string tag;
        s >> tag;
        if (tag == "v") {
            float x = 0, y = 0, z = 0;
            s >> x >> y >> z;
            g.appendVertex(x, y, z);
        } else if (tag == "f") {
            std::vector<uint32_t> ring;
            for (std::string word; s >> word;) ring.push_back(uint32_t(std::stoul(word)) - 1);
            g.bgnFace(uint32_t(ring.size()));
            for (size_t i = 0; i < ring.size(); ++i) {
                const uint32_t a = ring[i], b = ring[(i + 1) % ring.size()];
                auto it = edges.find({std::min(a, b), std::max(a, b)});
                uint32_t e = 0;
                if (it == edges.end())
                    e = edges[{std::min(a, b), std::max(a, b)}] = g.appendEdge(a, b);
                else
                    e = it->second;
                g.refEdge(e, g.startVertex(e) == a ? kForward : kReversed);
            }
            g.endLoop();
            g.endFace();
        }
    }
    return true;
}
