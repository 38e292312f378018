#include "brindle/framework/RemoverFty.h"

#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/PolyCompact.h"

// Abstract: no construction function.
const Tmetaclass TpolyRemoverFty::sMetaclass("TpolyRemoverFty", sizeof(TpolyRemoverFty), nullptr, 0,
                                             &TmidModifierFty::sMetaclass);

bool TpolyRemoverFty::hasMap(int kind) const {
    return kind >= kPolyGrpVertex && kind <= kPolyGrpFace && mapOf(TpolyGrpType(kind)) != nullptr;
}

void TpolyRemoverFty::createDefaultIdMap(int kind) {
    if (!hasMap(kind)) return;
    TuInt32Array& m = *mapOf(TpolyGrpType(kind));
    for (uint32_t i = 0; i < m.size(); ++i) m[i] = i;
}

void TpolyRemoverFty::changeIdMapperArraySizes(uint32_t vertices, uint32_t edges, uint32_t faces) {
    const uint32_t sizes[3] = {vertices, edges, faces};
    for (int k = 0; k < 3; ++k)
        if (TuInt32Array* m = mapOf(TpolyGrpType(kPolyGrpVertex + k))) m->changeLogicalSizeTo(sizes[k]);
}

void TpolyRemoverFty::prepareForAction(const TmidBody* body) {
    TmidModifierFty::prepareForAction(body);
    if (!fMapper || !body || !body->polyGeom()) return;
    const TpolyGeom& g = *body->polyGeom();
    const uint32_t counts[3] = {g.nbVertex(), g.nbEdge(), g.nbFace()};
    for (int k = 0; k < 3; ++k) {
        TuInt32Array* m = mapOf(TpolyGrpType(kPolyGrpVertex + k));
        if (m && m->size() < counts[k]) m->changeLogicalSizeTo(counts[k]);
    }
}

// Blind data and vertex-face groups follow the renumbering too, so that no element is left on
// a removed or shifted id.
void TpolyRemoverFty::handleUnusedVertices(TpolyGeom* geom) { TpolyCompact::removeUnusedVertices(*geom, vertexMap()); }

void TpolyRemoverFty::handleUnusedEdges(TpolyGeom* geom) { TpolyCompact::removeUnusedEdges(*geom, edgeMap()); }
