#include "MeshArrays.h"

#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "Mesh.h"
#include "brindle/framework/PolyBuilder.h"
#include "brindle/geom/PolyGeom.h"

namespace py = pybind11;

namespace {

using FloatRows = py::array_t<float, py::array::c_style | py::array::forcecast>;
using Ints = py::array_t<int64_t, py::array::c_style | py::array::forcecast>;

py::array asArray(const py::object& o) { return py::module_::import("numpy").attr("asarray")(o); }
std::string shapeOf(const py::array& a) { return py::str(a.attr("shape")).cast<std::string>(); }
std::string dtypeOf(const py::array& a) { return py::str(a.dtype()).cast<std::string>(); }

// o as C-ordered float32 rows of cols values (no copy when it already is one).
FloatRows floatRows(const py::object& o, const std::string& what, py::ssize_t cols) {
    py::array a = asArray(o);
    if (a.dtype().kind() != 'f')
        throw py::value_error(what + " must hold floats (float32 or float64), not " + dtypeOf(a));
    if (a.ndim() != 2 || a.shape(1) != cols)
        throw py::value_error(what + " must have shape (n, " + std::to_string(cols) + "), not " + shapeOf(a));
    return FloatRows::ensure(a);
}

// o as a one-dimensional list of integers; an empty list of any type passes.
Ints intList(const py::object& o, const std::string& what) {
    py::array a = asArray(o);
    if (a.ndim() != 1) throw py::value_error(what + " must be one-dimensional, not of shape " + shapeOf(a));
    const char kind = a.dtype().kind();
    if (a.size() > 0 && kind != 'i' && kind != 'u')
        throw py::value_error(what + " must hold integers, not " + dtypeOf(a));
    return Ints::ensure(a.size() > 0 ? a : py::array(asArray(o).attr("astype")("int64")));
}

// The ids as int32 after checking each lies in [low, high).
std::vector<int32_t> checkedIds(const Ints& ids, int64_t low, int64_t high, const char* item, const char* target,
                                const char* targets) {
    std::vector<int32_t> out(size_t(ids.size()));
    const int64_t* v = ids.data();
    for (size_t i = 0; i < out.size(); ++i) {
        if (v[i] < low || v[i] >= high)
            throw py::index_error(std::string(item) + " " + std::to_string(i) + " names " + target + " " +
                                  std::to_string(v[i]) + " but the mesh has " + std::to_string(high) + " " + targets);
        out[i] = int32_t(v[i]);
    }
    return out;
}

template <typename T>
py::array_t<T> newArray(std::vector<py::ssize_t> shape) {
    return py::array_t<T>(std::move(shape));
}

// n values, value(i) the i-th.
template <typename T, typename Value>
py::array_t<T> filled(uint32_t n, Value&& value) {
    auto out = newArray<T>({py::ssize_t(n)});
    T* w = out.mutable_data();
    for (uint32_t i = 0; i < n; ++i) w[i] = value(i);
    return out;
}

}  // namespace

TpyMesh* meshFromArrays(const py::object& positions, const py::object& faceSizes, const py::object& corners,
                        const py::object& uvs, const py::object& uvIds, const std::string& uvSet) {
    const FloatRows points = floatRows(positions, "positions", 3);
    const Ints sizes = intList(faceSizes, "face_sizes");
    const Ints cornerIds = intList(corners, "corners");
    const int64_t nbVertex = points.shape(0), nbCorner = cornerIds.size();
    if (nbVertex > int64_t(TpolyBits::kVertexMask) || nbCorner > int64_t(TpolyBits::kEdgeMask))
        throw py::value_error("a record holds fewer than 2^29 corners and 2^31 vertices");

    int64_t total = 0;
    for (py::ssize_t f = 0; f < sizes.size(); ++f) {
        if (sizes.data()[f] < 3)
            throw py::value_error("face " + std::to_string(f) + " has " + std::to_string(sizes.data()[f]) +
                                  " corners; a face needs at least 3");
        total += sizes.data()[f];
    }
    if (total != nbCorner)
        throw py::value_error("face_sizes add up to " + std::to_string(total) + " corners but corners holds " +
                              std::to_string(nbCorner));
    const std::vector<int32_t> vertexIds = checkedIds(cornerIds, 0, nbVertex, "corner", "vertex", "vertices");
    std::vector<int32_t> counts(size_t(sizes.size()));
    for (size_t f = 0; f < counts.size(); ++f) counts[f] = int32_t(sizes.data()[f]);

    std::optional<FloatRows> uvPoints;
    std::vector<int32_t> uvCornerIds;
    if (!uvIds.is_none() && uvs.is_none()) throw py::value_error("uv_ids needs uvs");
    if (!uvs.is_none()) {
        uvPoints = floatRows(uvs, "uvs", 2);
        const int64_t nbUV = uvPoints->shape(0);
        if (!uvIds.is_none()) {
            const Ints ids = intList(uvIds, "uv_ids");
            if (ids.size() != nbCorner)
                throw py::value_error("uv_ids must hold one id per corner (" + std::to_string(nbCorner) + "), not " +
                                      std::to_string(ids.size()));
            uvCornerIds = checkedIds(ids, -1, nbUV, "uv_ids entry", "UV", "UVs");
        } else {
            if (nbUV != nbCorner)
                throw py::value_error("uvs without uv_ids must hold one UV per corner (" + std::to_string(nbCorner) +
                                      "), not " + std::to_string(nbUV));
            uvCornerIds.resize(size_t(nbCorner));
            for (size_t i = 0; i < uvCornerIds.size(); ++i) uvCornerIds[i] = int32_t(i);
        }
        if (uvSet.empty()) throw py::value_error("uv_set must name the UV set");
    }

    TpolyVertexBuilder builder;
    int32_t set = -1;
    if (uvPoints) {
        set = builder.createTexCoordSet(Tstring(uvSet));
        builder.createTexCoord(uvPoints->data(), uint32_t(uvPoints->shape(0)), uint32_t(set));
    }
    const auto* xyz = reinterpret_cast<const T3Float*>(points.data());
    if (builder.create(uint32_t(nbVertex), uint32_t(counts.size()), uint32_t(nbCorner), xyz, counts.data(),
                       vertexIds.data()) < 0)
        throw py::value_error("face " + std::to_string(builder.countFace()) +
                              " cannot be made: it repeats a vertex or runs along one edge twice");
    if (counts.empty()) {
        // The builder completes only records with faces; vertices alone make a plain record.
        auto geom = std::make_unique<TpolyGeom>();
        geom->vertexBuffer(uint32_t(nbVertex));
        for (int64_t v = 0; v < nbVertex; ++v) geom->appendVertex(T3dFltPoint(points.data() + 3 * v));
        return new TpyMesh(geom.release());
    }
    if (set >= 0) builder.geom()->setAllUVIds(uvCornerIds.data(), uint32_t(set));
    TpolyGeom* geom = builder.complete();
    if (!geom) throw py::value_error("the arrays do not make a valid record");
    builder.ownResult();
    // The builder always opens its working UV set; without UVs given the record has none.
    if (set < 0)
        while (geom->nbMapSet()) geom->removeMapSet(0);
    return new TpyMesh(geom);
}

py::array viewOf(const py::object& self, TpyArrayKind kind, const std::string& uvSet) {
    TpyMesh& mesh = self.cast<TpyMesh&>();
    TpyArrayOwner* owner = mesh.owner(kind, uvSet);
    py::object base =
        owner ? py::cast(owner, py::return_value_policy::reference)
              : py::cast(new TpyArrayOwner(self, mesh, kind, uvSet), py::return_value_policy::take_ownership);
    owner = base.cast<TpyArrayOwner*>();
    const py::ssize_t n = owner->size();
    switch (kind) {
        case TpyArrayKind::kPositions:
            return py::array(py::dtype::of<float>(), {n, py::ssize_t(3)}, {py::ssize_t(12), py::ssize_t(4)},
                             owner->data(), base);
        case TpyArrayKind::kUVs:
            return py::array(py::dtype::of<float>(), {n, py::ssize_t(2)}, {py::ssize_t(8), py::ssize_t(4)},
                             owner->data(), base);
        case TpyArrayKind::kUVIds:
            break;
    }
    py::array ids(py::dtype::of<int32_t>(), {n}, {py::ssize_t(4)}, owner->data(), base);
    py::detail::array_proxy(ids.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return ids;
}

void setPositions(TpyMesh& mesh, const py::object& positions) {
    const FloatRows points = floatRows(positions, "positions", 3);
    TpolyGeom& g = mesh.geom();
    if (points.shape(0) != py::ssize_t(g.nbVertex()))
        throw py::value_error("positions must keep the vertex count (" + std::to_string(g.nbVertex()) + "), not " +
                              std::to_string(points.shape(0)));
    if (g.nbVertex() > 0) std::memmove(g.vertexFloat(0), points.data(), size_t(points.size()) * sizeof(float));
    g.markDirty(dirtyMoved);
}

py::array edgesOf(TpyMesh& mesh) {
    const TpolyGeom& g = mesh.geom();
    auto out = newArray<uint32_t>({py::ssize_t(g.nbEdge()), 2});
    uint32_t* w = out.mutable_data();
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        w[2 * e] = g.startVertex(e, kForward);
        w[2 * e + 1] = g.endVertex(e, kForward);
    }
    return out;
}

py::array hardEdgesOf(TpyMesh& mesh) {
    const TpolyGeom& g = mesh.geom();
    return filled<bool>(g.nbEdge(), [&](uint32_t e) { return g.isHard(e); });
}

py::array faceSizesOf(TpyMesh& mesh) {
    TpolyGeom& g = mesh.geom();
    g.update(dirtyFaceOffsets);
    return filled<uint32_t>(g.nbFace(), [&](uint32_t f) { return g.faceVertexCount(f); });
}

py::array cornersOf(TpyMesh& mesh) {
    const TpolyGeom& g = mesh.geom();
    return filled<uint32_t>(g.faceDescLength(), [&](uint32_t o) { return g.getStartVertex(o); });
}

std::string uvSetName(TpyMesh& mesh, const py::object& name) {
    TpolyGeom& g = mesh.geom();
    Tstring found;
    if (name.is_none()) {
        if (!g.currentMapName(found)) throw py::value_error("the mesh has no UV set");
        return found.str();
    }
    const std::string wanted = name.cast<std::string>();
    uint32_t s = 0;
    if (g.findMapSet(wanted, s)) return wanted;
    std::string sets;
    for (uint32_t k = 0; k < g.nbMapSet(); ++k)
        if (g.mapName(k, found)) {
            if (!sets.empty()) sets += ", ";
            sets += found.str();
        }
    throw py::value_error("the mesh has no UV set '" + wanted + "'" + (sets.empty() ? "" : "; it has: " + sets));
}
