#include "ArrayOwner.h"

#include <algorithm>

#include "Mesh.h"
#include "brindle/geom/PolyGeom.h"

static_assert(sizeof(T3dFltPoint) == 3 * sizeof(float), "positions view as (n, 3) float32");
static_assert(sizeof(T2FloatPair) == 2 * sizeof(float), "UVs view as (n, 2) float32");

TpyArrayOwner::TpyArrayOwner(pybind11::object meshObject, TpyMesh& mesh, TpyArrayKind kind, std::string uvSet)
    : fMeshObject(std::move(meshObject)), fMesh(mesh), fKind(kind), fUVSet(std::move(uvSet)) {
    switch (kind) {
        case TpyArrayKind::kPositions:
            fHeld.emplace<T3dFltPointArray>();
            break;
        case TpyArrayKind::kUVs:
            fHeld.emplace<T2FloatArray>();
            break;
        case TpyArrayKind::kUVIds:
            fHeld.emplace<Tint32Array>();
            break;
    }
    withSource(mesh.geom(), [this](auto* source) {
        if (!source) return;
        fData = source->data();
        fSize = source->size();
    });
    fMesh.attach(this);
}

TpyArrayOwner::~TpyArrayOwner() { fMesh.detach(this); }

template <typename F>
void TpyArrayOwner::withSource(TpolyGeom& g, F&& f) {
    if (fKind == TpyArrayKind::kPositions) return f(&g.vertexArray());
    uint32_t s = 0;
    TpolyMap* map = g.findMapSet(fUVSet, s) ? &(*g.maps())[s] : nullptr;
    if (fKind == TpyArrayKind::kUVs) return f(map ? &map->uvArray() : static_cast<T2FloatArray*>(nullptr));
    f(map ? &map->indexArray() : static_cast<Tint32Array*>(nullptr));
}

bool TpyArrayOwner::aliases(TpolyGeom& g) {
    bool same = false;
    withSource(
        g, [&](auto* source) { same = !fDetached && source && source->data() == fData && source->size() == fSize; });
    return same;
}

void TpyArrayOwner::pin(TpolyGeom& g) {
    if (fDetached || fPinned) return;
    if (!aliases(g)) {
        fDetached = true;
        return;
    }
    withSource(g, [this](auto* source) {
        auto& held = std::get<std::remove_pointer_t<decltype(source)>>(fHeld);
        held.setSizeIncrement(source->sizeIncrement());
        held.copy(*source);
        held.swap(*source);
    });
    fPinned = true;
}

void TpyArrayOwner::unpin(TpolyGeom& g) {
    if (!fPinned) return;
    fPinned = false;
    withSource(g, [this](auto* source) {
        using Array = std::remove_pointer_t<decltype(source)>;
        Array& held = std::get<Array>(fHeld);
        if (!source || source->size() != held.size()) {
            fDetached = true;
            return;
        }
        std::copy(source->begin(), source->end(), held.begin());
        held.swap(*source);
        held = Array();
    });
}
