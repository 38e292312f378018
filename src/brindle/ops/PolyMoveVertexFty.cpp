#include "brindle/ops/PolyMoveVertexFty.h"

#include <cmath>

#include "brindle/base/Random.h"
#include "brindle/base/VectorMath.h"
#include "brindle/framework/MidBody.h"
#include "brindle/geom/PolyGeom.h"
#include "brindle/ops/ModifierRegistry.h"
#include "brindle/ops/PolyReferenceFrame.h"

BRINDLE_DEFINE_MODIFIER_CLASS(TpolyMoveVertexFty, TmidModifierFty);

namespace {
const TmodifierParamTable sParams(
    TpolyMoveVertexFty::sMetaclass, kPolyGrpVertex,
    {BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, Trans, "translation", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, Rotate, "rotation about Pivot, radians, then an optional order 0-5",
                            -kPi, kPi),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, Pivot, "centre of the rotation and scale", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, Scale, "scale about Pivot; 1 1 1 is neutral, 0 0 0 after construction",
                            0, 2),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, Random, "amount of random variation; exactly 0 switches it off", 0, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, RandomSeed, "seed of the random variation", 0, 1000),
     BRINDLE_MODIFIER_PARAM(
         TpolyMoveVertexFty, LTrans,
         "translation in each vertex's frame: x along the tangent fixed by LXDir, z along the normal", -1, 1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, LXDir, "direction that fixes the x tangent of each vertex's frame", -1,
                            1),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, Matrix,
                            "reference frame; after an action with a non-identity matrix it holds the inverse"),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, NbComponents, "length of the per-vertex gain array made by createGain",
                            0, 0),
     BRINDLE_MODIFIER_PARAM(TpolyMoveVertexFty, twist, "twist angle, radians", -kPi, kPi)});

T4dFltVector cross(const T4dFltVector& a, const T4dFltVector& b) {
    T4dFltVector c;
    c.setToCrossProduct(a, b);
    return c;
}

// p + x * X + y * Y + z * N, the local offset of a vertex in its own frame.
T3dFltPoint offsetPoint(const T3dFltPoint& p, float x, float y, float z, const T4dFltVector& X, const T4dFltVector& Y,
                        const T4dFltVector& N) {
    return {p.x + x * X.x + y * Y.x + z * N.x, p.y + x * X.y + y * Y.y + z * N.y, p.z + x * X.z + y * Y.z + z * N.z};
}
}  // namespace

void TpolyMoveVertexFty::calcMatrix(const T3dFltPoint& rotationCentre, const Tquaternion& rotation,
                                    const T3dFltPoint& scaleCentre, const T4dFltVector& scale,
                                    const T4dFltVector& translate, T4dFltMatrix& out) {
    T4dDblMatrix s, r;
    for (int k = 0; k < 3; ++k) {
        s.m[k][k] = scale[k];
        s.m[3][k] = (1.0 - scale[k]) * scaleCentre[k];
    }
    rotation.toMatrix(r);
    for (int k = 0; k < 3; ++k) {
        double turned = 0;
        for (int i = 0; i < 3; ++i) turned += rotationCentre[i] * r.m[i][k];
        r.m[3][k] = rotationCentre[k] - turned + translate[k];
    }
    out = (s * r).toFlt();
}

void TpolyMoveVertexFty::getBasis(const T4dFltVector& normal, const T4dFltVector& xDirection, T4dFltVector& x,
                                  T4dFltVector& y) {
    const T4dFltVector n = normal.dot(normal) < 0.001f ? T4dFltVector::zAxis : normal;
    y = cross(n, xDirection);
    if (y.dot(y) < 1e-10f) {
        // The axis along which the normal is smallest is the farthest from parallel.
        const float ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
        const T4dFltVector& axis =
            ax <= ay && ax <= az ? T4dFltVector::xAxis : (ay <= az ? T4dFltVector::yAxis : T4dFltVector::zAxis);
        y = cross(n, axis);
    }
    y.normalize();
    x = cross(y, n);
}

void TpolyMoveVertexFty::vertexMatrix(const TpolyGeom* geom, int vertex, const T4dFltVector& xDirection,
                                      T4dDblMatrix& m) {
    TpolyGeom* g = const_cast<TpolyGeom*>(geom);
    g->update(dirtyVertexToEdge | dirtyEdgeToFace | dirtyFaceNormalize);
    T4dFltVector n;
    g->computeGeomVertexNormal(uint32_t(vertex), n);
    if (m.determinant3() < 0) n = T4dFltVector(-n.x, -n.y, -n.z);
    T4dFltVector x, y;
    getBasis(n, xDirection, x, y);
    if (n.dot(n) < 0.001f) n = T4dFltVector::zAxis;
    // The map q -> (q - position) * [X; Y; N] written as one matrix, then inverted.
    const T3dFltPoint& p = geom->vertexConst(uint32_t(vertex));
    const T4dFltVector* axes[3] = {&x, &y, &n};
    T4dDblMatrix toLocal;
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) toLocal.m[i][k] = (*axes[k])[i];
    for (int k = 0; k < 3; ++k)
        toLocal.m[3][k] = -(p.x * toLocal.m[0][k] + p.y * toLocal.m[1][k] + p.z * toLocal.m[2][k]);
    if (toLocal.invertIt(1e-5)) m = toLocal;
}

int TpolyMoveVertexFty::action(TmidBody* body, TmidComponent* components) {
    int name = -1;
    if (!getActiveGrpName(body, components, kPolyGrpVertex, name)) return -1;
    TpolyGeom* geom = body->polyGeom();
    const int32_t g = geom->findGrp(name, kPolyGrpVertex);
    const TsingleIndexedComponent* list = g >= 0 ? geom->group(uint32_t(g)).singleItems() : nullptr;
    // Refuse before touching anything: nothing to move, or gains that do not cover the selection.
    uint32_t count = 0, largest = 0;
    if (list)
        for (uint32_t v : *list)
            if (v < geom->nbVertex()) ++count, largest = v;
    if (count == 0 || (fHasGain && largest >= fGain.size())) return -1;

    T4dFltVector xDir = fLXDir;
    xDir.normalize();
    const T3dFltPoint c(fPivot.x - fTrans.x, fPivot.y - fTrans.y, fPivot.z - fTrans.z);
    TpolyReferenceFrame frame;
    if (!frame.enter(geom, fMatrix, true)) return -1;
    srand48(fRandomSeed);

    // Normals are read only through the local offset; without one they are not computed.
    const bool local = !(fLTrans.x == 0 && fLTrans.y == 0 && fLTrans.z == 0);
    if (local) geom->update(dirtyVertexToEdge | dirtyFaceNormalize);
    const Tquaternion rotation(fRotate);
    T3dFltPointArray& points = geom->vertexArray();
    if (!local && fRandom == 0 && !fHasGain) {
        // One matrix and no offset: each new position depends on its own old one only, so the
        // positions are written in place; the draws still advance the sequence as in every path.
        T4dFltMatrix M;
        calcMatrix(c, rotation, c, fScale, fTrans, M);
        for (uint32_t v : *list) {
            if (v >= geom->nbVertex()) continue;
            lrand48();
            points[v] = M.transformPoint(points[v]);
        }
        geom->markDirty(dirtyMoved);
        frame.leave(false);
        return 0;
    }
    std::vector<TmovedVertex> table;
    table.reserve(count);
    for (uint32_t v : *list) {
        if (v >= geom->nbVertex()) continue;
        TmovedVertex m{v, geom->vertexConst(v), T4dFltVector(), 0};
        if (local) geom->computeGeomVertexNormal(v, m.normal);
        m.random = float(2.0 * (double(lrand48() >> 8) * 0x1p-23) - 1.0);
        table.push_back(m);
    }

    auto offset = [&](const TmovedVertex& m, float k) {
        if (!local) return m.position;
        T4dFltVector x, y;
        getBasis(m.normal, xDir, x, y);
        return offsetPoint(m.position, k * fLTrans.x, k * fLTrans.y, k * fLTrans.z, x, y,
                           m.normal.dot(m.normal) < 0.001f ? T4dFltVector::zAxis : m.normal);
    };
    if (fRandom == 0 && !fHasGain) {
        T4dFltMatrix M;
        calcMatrix(c, rotation, c, fScale, fTrans, M);
        for (const TmovedVertex& m : table) points[m.id] = M.transformPoint(offset(m, 1));
    } else {
        double theta;
        T4dFltVector axis;
        rotation.getPivotAxis(theta, axis);
        for (const TmovedVertex& m : table) {
            float k = 1 + m.random * fRandom;
            if (fHasGain) k *= fGain[m.id];
            const T4dFltVector s((fScale.x - 1) * k + 1, (fScale.y - 1) * k + 1, (fScale.z - 1) * k + 1);
            const T4dFltVector t(k * fTrans.x, k * fTrans.y, k * fTrans.z);
            T4dFltMatrix M;
            calcMatrix(c, Tquaternion(k * theta, axis), c, s, t, M);
            points[m.id] = M.transformPoint(offset(m, k));
        }
    }
    geom->markDirty(dirtyMoved);
    frame.leave(false);
    return 0;
}
