#include "Mesh.h"

#include <algorithm>

#include "brindle/geom/PolyGeom.h"

TpyMesh::TpyMesh() : TpyMesh(new TpolyGeom) {}

TpyMesh::TpyMesh(TpolyGeom* geom, std::vector<std::string> groupNames)
    : fBody(std::make_unique<TmidBody>(geom)), fGroupNames(std::move(groupNames)) {}

// Owners keep their Mesh alive, so none is left when a Mesh goes.
TpyMesh::~TpyMesh() = default;

TpyArrayOwner* TpyMesh::owner(TpyArrayKind kind, const std::string& uvSet) {
    for (TpyArrayOwner* o : fOwners)
        if (o->kind() == kind && o->uvSet() == uvSet && o->aliases(geom())) return o;
    return nullptr;
}

void TpyMesh::detach(TpyArrayOwner* owner) { std::erase(fOwners, owner); }

void TpyMesh::noteViewWrites() {
    // UV ids are viewed read-only; positions and UV values may have changed.
    const bool writable = std::any_of(fOwners.begin(), fOwners.end(), [](const TpyArrayOwner* o) {
        return !o->detached() && o->kind() != TpyArrayKind::kUVIds;
    });
    if (writable) geom().markDirty(dirtyMoved);
}
