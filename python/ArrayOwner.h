#pragma once

#include <pybind11/pybind11.h>

#include <cstdint>
#include <string>
#include <variant>

#include "brindle/base/Array.h"
#include "brindle/base/Math.h"

class TpolyGeom;
class TpyMesh;

// The record arrays a numpy view may alias: their element layout is the array's memory layout.
enum class TpyArrayKind { kPositions, kUVs, kUVIds };

// The base object of the numpy views into one record array. It keeps the Python Mesh alive, and
// across an edit it keeps the viewed memory valid: pin takes the viewed buffer out of the record,
// which edits a copy, and unpin puts the buffer back holding the edited values when the array kept
// its length. When it did not (or the UV set is gone) the owner is detached: its views keep the
// values from before the edit in memory the owner holds, and no longer alias the record.
class TpyArrayOwner {
public:
    TpyArrayOwner(pybind11::object meshObject, TpyMesh& mesh, TpyArrayKind kind, std::string uvSet);
    TpyArrayOwner(const TpyArrayOwner&) = delete;
    TpyArrayOwner& operator=(const TpyArrayOwner&) = delete;
    ~TpyArrayOwner();

    TpyArrayKind kind() const { return fKind; }
    const std::string& uvSet() const { return fUVSet; }
    bool detached() const { return fDetached; }
    // The viewed memory and its element count, as when the owner was made.
    void* data() const { return fData; }
    uint32_t size() const { return fSize; }
    // Whether the record's array is the one this owner's views alias.
    bool aliases(TpolyGeom& g);

    void pin(TpolyGeom& g);
    void unpin(TpolyGeom& g);

private:
    // Calls f with a pointer to the record's array of this owner's kind (null when the UV set is gone).
    template <typename F>
    void withSource(TpolyGeom& g, F&& f);

    pybind11::object fMeshObject;
    TpyMesh& fMesh;
    TpyArrayKind fKind;
    std::string fUVSet;
    // While pinned or detached: the viewed buffer. Otherwise empty, the record holding it.
    std::variant<T3dFltPointArray, T2FloatArray, Tint32Array> fHeld;
    void* fData = nullptr;
    uint32_t fSize = 0;
    bool fPinned = false;
    bool fDetached = false;
};
