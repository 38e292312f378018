#pragma once

#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>

#include "brindle/brindle.h"
#include "support/AttributedGrid.h"
#include "support/ObjLoad.h"

namespace opstest {

inline std::unique_ptr<TmidBody> bodyOf(std::unique_ptr<TpolyGeom> g) {
    return std::make_unique<TmidBody>(g.release());
}

// A list of every id below n.
template <typename List>
List allOf(uint32_t n) {
    List list;
    if (n) list.addRange(0, n - 1);
    return list;
}

// A face list of the given ids.
inline TmidFaceComponent facesOf(std::initializer_list<uint32_t> ids) {
    TmidFaceComponent list;
    for (uint32_t f : ids) list.addElement(f);
    return list;
}

// A sample mesh of tests/data read through the importer and decorated, or null when it is missing.
inline std::unique_ptr<TpolyGeom> decoratedSample(const char* file) {
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g(TobjImport::read((std::string(BRINDLE_DATA_DIR) + "/" + file).c_str(), report));
    if (!g) return nullptr;
    while (g->nbMapSet()) g->removeMapSet(0);
    g->loadUserNormal(T4dFltVectorArray(16));
    attributed::decorate(*g);
    return g;
}

// The decorated bunny, or null when the sample is missing.
inline std::unique_ptr<TpolyGeom> bunny() { return decoratedSample("stanford-bunny.obj"); }

template <typename T>
void appendBytes(std::string& out, const T* data, size_t n) {
    out.append(reinterpret_cast<const char*>(data), n * sizeof(T));
}

// Every stored (non-derived) byte of a record that an operation could change: positions, edges,
// description, UV and colour sets, groups with their values, user normals. Two records with the
// same state are byte-identical for the host, NaN positions included.
inline std::string recordState(const TpolyGeom& g) {
    std::string s;
    appendBytes(s, g.vertexArray().data(), g.nbVertex());
    appendBytes(s, g.edgeArray().data(), g.nbEdge());
    appendBytes(s, g.faceDescArray().data(), g.faceDescLength());
    for (uint32_t m = 0; m < g.nbMapSet(); ++m) {
        for (uint32_t i = 0; i < g.nbUV(m); ++i) appendBytes(s, g.uvFloatConst(i, m), 2);
        appendBytes(s, g.getUVIdArray(m), g.nbUVRef(m));
    }
    for (uint32_t c = 0; c < g.nbColorSet(); ++c) {
        for (uint32_t i = 0; i < g.colorCount(c); ++i) appendBytes(s, g.getColor(i, c), 1);
        appendBytes(s, g.getColorIdArray(c), g.nbColorRef(c));
    }
    for (uint32_t k = 0; k < g.nbGroup(); ++k) {
        const TpolyGrpDesc& d = g.groupConst(k);
        // Raw words rather than text: the name, the kind, then the members.
        const int32_t head[2] = {d.fName, int32_t(d.fType)};
        appendBytes(s, head, 2);
        if (const TsingleIndexedComponent* l = d.singleItems())
            for (uint32_t id : *l) appendBytes(s, &id, 1);
        if (const TlongDoubleIndexedComponent* p = d.pairItems())
            for (const TidPair& pair : *p) appendBytes(s, &pair, 1);
        if (d.data()) appendBytes(s, d.data()->data(), d.data()->size());
    }
    for (uint32_t n = 0; n < g.nbUserNormal(); ++n) appendBytes(s, &g.userNormalConst(n), 1);
    return s;
}

}  // namespace opstest
