#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ArrayOwner.h"
#include "brindle/framework/MidBody.h"

class TpolyGeom;

// What a Python Mesh holds: one body (whose record an operation may replace), the names of the
// record's face groups for OBJ output, and the owners of the numpy views into its arrays. Every
// edit that may move or resize an array runs through edit(), which pins the viewed arrays around
// it, so no view ever points at freed memory.
class TpyMesh {
public:
    TpyMesh();
    explicit TpyMesh(TpolyGeom* geom, std::vector<std::string> groupNames = {});
    TpyMesh(const TpyMesh&) = delete;
    TpyMesh& operator=(const TpyMesh&) = delete;
    ~TpyMesh();

    TmidBody& body() { return *fBody; }
    TpolyGeom& geom() { return *fBody->polyGeom(); }
    const std::vector<std::string>& groupNames() const { return fGroupNames; }

    // The live owner whose views alias the array of that kind (and UV set) now, or null.
    TpyArrayOwner* owner(TpyArrayKind kind, const std::string& uvSet);
    void attach(TpyArrayOwner* owner) { fOwners.push_back(owner); }
    void detach(TpyArrayOwner* owner);

    // Positions and UVs may have been written through a view since the last look: derived data
    // (normals, triangles, accelerators) is marked out of date before anything reads it.
    void noteViewWrites();

    // Runs edit with every viewed array pinned; the owners are unpinned whatever edit does.
    template <typename Edit>
    auto edit(Edit&& run) {
        noteViewWrites();
        struct Pins {
            TpyMesh& mesh;
            explicit Pins(TpyMesh& m) : mesh(m) {
                for (TpyArrayOwner* o : mesh.fOwners) o->pin(mesh.geom());
            }
            ~Pins() {
                for (TpyArrayOwner* o : mesh.fOwners) o->unpin(mesh.geom());
            }
        } pins(*this);
        return run();
    }

private:
    std::unique_ptr<TmidBody> fBody;
    std::vector<std::string> fGroupNames;
    std::vector<TpyArrayOwner*> fOwners;
};
