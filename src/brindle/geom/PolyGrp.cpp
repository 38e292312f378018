#include "brindle/geom/PolyGrp.h"

#include <algorithm>
#include <vector>

#include "brindle/geom/PolyConstraints.h"
#include "brindle/geom/PolyGeom.h"

// --- TpolyGrpDesc --------------------------------------------------------------------------------

Tcomponent& TpolyGrpDesc::initializeComponent() {
    if (fType == kPolyGrpVertexFace) {
        if (!pairItems()) fItems = std::make_unique<TlongDoubleIndexedComponent>();
    } else if (!singleItems()) {
        fItems = std::make_unique<TsingleIndexedComponent>();
    }
    return *fItems;
}

bool TpolyGrpDesc::setData(const Tcomponent& list) {
    bool pairs = dynamic_cast<const TlongDoubleIndexedComponent*>(&list) != nullptr;
    if (pairs != (fType == kPolyGrpVertexFace)) return false;
    return initializeComponent().copyData(list);
}

bool TpolyGrpDesc::merge(const TpolyGrpDesc& other) {
    if (!other.fItems) return true;
    return initializeComponent().merge(*other.fItems);
}

void TpolyGrpDesc::resetGroup() {
    if (fItems) fItems->clear();
}

void TpolyGrpDesc::debug(TdebugOutput& out, unsigned int flags) const {
    static const char* const kTypeNames[] = {"None", "Vertex", "Edge", "Face", "UV", "VertexFace"};
    const char* typeName = fType >= kPolyGrpNone && fType <= kPolyGrpVertexFace ? kTypeNames[fType] : "UNKNOWN???";
    out.print("# \n#\tGRP : name %d, type %s\n# \n", fName, typeName);
    if ((flags & 0x0200) && !isEmpty()) {
        out << '\t';
        fItems->debug(TdebugOutput::sCout);
    }
}

bool TpolyGrpDesc::addElement(uint32_t id) {
    if (fType == kPolyGrpVertexFace) return false;
    return static_cast<TsingleIndexedComponent&>(initializeComponent()).addElement(id);
}

bool TpolyGrpDesc::appendItem(const uint32_t* ids, uint32_t n) {
    if (fType == kPolyGrpVertexFace) return false;
    auto& list = static_cast<TsingleIndexedComponent&>(initializeComponent());
    // Sorted input goes in at amortised O(1) an id; anything else is sorted first so that the
    // list never shifts its tail once per id.
    if (std::is_sorted(ids, ids + n)) {
        for (uint32_t i = 0; i < n; ++i) list.addElement(ids[i]);
    } else {
        std::vector<uint32_t> sorted(ids, ids + n);
        std::sort(sorted.begin(), sorted.end());
        for (uint32_t id : sorted) list.addElement(id);
    }
    return true;
}

bool TpolyGrpDesc::appendBlock(uint32_t first, uint32_t last) {
    if (fType == kPolyGrpVertexFace || first > last || last > TsingleIndexedComponent::kIdMask) return false;
    static_cast<TsingleIndexedComponent&>(initializeComponent()).addRange(first, last);
    return true;
}

void TpolyGrpDesc::endGroup() {
    if (TsingleIndexedComponent* list = singleItems()) list->markEnd();
}

uint32_t TpolyGrpDesc::nbItem() const {
    if (TsingleIndexedComponent* list = singleItems()) return list->entryCount();
    return nbElem();
}

uint32_t TpolyGrpDesc::entry(uint32_t i) const {
    TsingleIndexedComponent* list = singleItems();
    return list && i < list->entryCount() ? list->entry(i) : 0;
}

bool TpolyGrpDesc::hasElement(uint32_t id) const {
    TsingleIndexedComponent* list = singleItems();
    return list && list->hasElement(id);
}

// --- TpolyGrp ------------------------------------------------------------------------------------

uint32_t TpolyGrp::append(int32_t name, TpolyGrpType type, uint32_t growth) {
    fGroups.setSizeIncrement(growth);
    fGroups.addLast(TpolyGrpDesc(name, type));
    fGroups.last().initializeComponent();
    return fGroups.size() - 1;
}

int32_t TpolyGrp::findGrp(int32_t name, TpolyGrpType type) const {
    for (uint32_t g = fGroups.size(); g-- > 0;) {
        const TpolyGrpDesc& d = fGroups[g];
        if (d.fName == name && (d.fType == type || d.fType == kPolyGrpNone || type == kPolyGrpNone))
            return static_cast<int32_t>(g);
    }
    return -1;
}

int32_t TpolyGrp::findExact(int32_t name, TpolyGrpType type) const {
    for (uint32_t g = fGroups.size(); g-- > 0;)
        if (fGroups[g].fName == name && fGroups[g].fType == type) return static_cast<int32_t>(g);
    return -1;
}

bool TpolyGrp::remove(uint32_t g) {
    if (g >= fGroups.size()) return false;
    fGroups.removeAt(g);
    return true;
}

void TpolyGrp::debug(TdebugOutput& out, unsigned int flags) const {
    out.print("# \n# GRPS : %u groups\n# \n", fGroups.size());
    for (const TpolyGrpDesc& d : fGroups) d.debug(out, flags);
}

bool TpolyGrp::nameInUse(int32_t name) const {
    return std::any_of(fGroups.begin(), fGroups.end(), [name](const TpolyGrpDesc& d) { return d.fName == name; });
}

int32_t TpolyGrp::getFreeGrpName() const {
    // The reserved crease name is no permanent name: counting it would overflow.
    int32_t largest = 0;
    for (const TpolyGrpDesc& d : fGroups)
        if (d.fName != kGrpNameCrease) largest = std::max(largest, d.fName);
    return largest + 1;
}

int32_t TpolyGrp::getFreeTmpGrpName() const {
    if (!nameInUse(-999)) return -999;
    int32_t name = -1000;
    while (nameInUse(name)) --name;
    return name;
}

// --- Group table through the record --------------------------------------------------------------

namespace {

bool validKind(TpolyGrpType type) { return type >= kPolyGrpVertex && type <= kPolyGrpVertexFace; }

TpolyGrpDesc* descAt(const TpolyGeom& geom, uint32_t g) {
    return g < geom.grp()->nbGroup() ? &geom.grp()->fGroups[g] : nullptr;
}

// The kind a group's items are read as: its own, or the one the caller names for an untyped group.
TpolyGrpType kindOf(const TpolyGrpDesc& d, TpolyGrpType asked) { return d.fType != kPolyGrpNone ? d.fType : asked; }

// Bits over all components of kind, set for the group's items.
void readFlags(TpolyGeom& geom, const TpolyGrpDesc& d, TpolyGrpType kind, TbitFieldFixedN& bits) {
    bits.resizeArray(geom.getMaxVal(kind));
    if (kind == kPolyGrpVertexFace) {
        if (TlongDoubleIndexedComponent* pairs = d.pairItems())
            geom.flagsFromComponent(*pairs, bits);
        else
            bits.resizeArray(geom.nbVertexFace());
    } else if (TsingleIndexedComponent* list = d.singleItems()) {
        list->convert2Flags(bits);
    }
}

void writeFlags(TpolyGeom& geom, TpolyGrpDesc& d, const TbitFieldFixedN& bits) {
    Tcomponent& items = d.initializeComponent();
    if (d.fType == kPolyGrpVertexFace)
        geom.flagsToComponent(bits, static_cast<TlongDoubleIndexedComponent&>(items));
    else
        static_cast<TsingleIndexedComponent&>(items).convertFromFlags(bits);
}

}  // namespace

bool TpolyGeom::getGroup(uint32_t g, TpolyGrpDesc& out) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    if (d) out = *d;
    return d != nullptr;
}

int32_t TpolyGeom::getName(uint32_t g) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return d ? d->fName : 0;
}

TpolyGrpType TpolyGeom::getType(uint32_t g) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return d ? d->fType : kPolyGrpNone;
}

bool TpolyGeom::removeGroup(int32_t name, TpolyGrpType type) {
    int32_t g = findGrp(name, type);
    return g >= 0 && fGrp->remove(uint32_t(g));
}

bool TpolyGeom::emptyOneGroup(uint32_t g) {
    TpolyGrpDesc* d = descAt(*this, g);
    if (d) d->resetGroup();
    return d != nullptr;
}

void TpolyGeom::renumGrp(TpolyGrpType type, uint32_t count, const uint32_t* map) {
    if (type == kPolyGrpVertexFace || !validKind(type)) return;
    uint32_t newCount = 0;
    for (uint32_t i = 0; i < count; ++i)
        if (map[i] <= TsingleIndexedComponent::kIdMask) newCount = std::max(newCount, map[i] + 1);
    TbitFieldFixedN bits;
    std::vector<double> moved;  // a valued group's values by new id
    for (TpolyGrpDesc& d : fGrp->fGroups) {
        TsingleIndexedComponent* list = d.fType == type ? d.singleItems() : nullptr;
        if (!list) continue;
        bits.resizeArray(newCount);
        TdoubleArray* values = d.data();
        if (values) moved.assign(newCount, 0.0);
        uint32_t rank = 0;
        for (uint32_t id : *list) {
            if (id < count && map[id] < newCount) {
                bits.setBit(map[id]);
                if (values && rank < values->size()) moved[map[id]] = (*values)[rank];
            }
            ++rank;
        }
        list->convertFromFlags(bits);
        // The surviving members keep their values, now in the order of their new ids.
        if (!values) continue;
        values->clear();
        for (uint32_t id : *list) values->addLast(moved[id]);
    }
}

uint32_t TpolyGeom::bgnGroup(int32_t name, TpolyGrpType type) {
    int32_t g = fGrp->findExact(name, type);
    if (g < 0) return fGrp->append(name, type);
    fGrp->fGroups[g].resetGroup();
    return uint32_t(g);
}

bool TpolyGeom::addElement(uint32_t g, uint32_t id) {
    TpolyGrpDesc* d = descAt(*this, g);
    return d && d->addElement(id);
}

bool TpolyGeom::appendItem(uint32_t g, const uint32_t* ids, uint32_t n) {
    TpolyGrpDesc* d = descAt(*this, g);
    return d && d->appendItem(ids, n);
}

bool TpolyGeom::appendBlock(uint32_t g, uint32_t first, uint32_t last) {
    TpolyGrpDesc* d = descAt(*this, g);
    return d && d->appendBlock(first, last);
}

bool TpolyGeom::endGroup(uint32_t g) {
    TpolyGrpDesc* d = descAt(*this, g);
    if (d) d->endGroup();
    return d != nullptr;
}

uint32_t TpolyGeom::nbItem(uint32_t g) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return d ? d->nbItem() : 0;
}

uint32_t TpolyGeom::getItem(uint32_t g, uint32_t i) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return d ? d->getItem(i) : 0;
}

bool TpolyGeom::itemBlock(uint32_t g, uint32_t i) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return d && d->itemBlock(i);
}

bool TpolyGeom::endOfGroup(uint32_t g, uint32_t i) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return d && d->endOfGroup(i);
}

bool TpolyGeom::grpIsEmpty(uint32_t g) const {
    const TpolyGrpDesc* d = descAt(*this, g);
    return !d || d->isEmpty();
}

bool TpolyGeom::isInGroup(TpolyGrpType type, int32_t name, uint32_t id) const {
    int32_t g = findGrp(name, type);
    return g >= 0 && fGrp->fGroups[g].hasElement(id);
}

uint32_t TpolyGeom::nbElem(int32_t name, TpolyGrpType type) const {
    int32_t g = findGrp(name, type);
    return g >= 0 ? fGrp->fGroups[g].nbElem() : 0;
}

// --- Set operations between groups ---------------------------------------------------------------

bool TpolyGeom::mergeGroups(uint32_t a, uint32_t b) {
    TpolyGrpDesc *da = descAt(*this, a), *db = descAt(*this, b);
    return da && db && da->merge(*db);
}

bool TpolyGeom::diffeGroups(uint32_t a, uint32_t b) {
    TpolyGrpDesc *da = descAt(*this, a), *db = descAt(*this, b);
    if (!da || !db) return false;
    return !db->fItems || da->initializeComponent().difference(*db->fItems);
}

bool TpolyGeom::copyGroups(uint32_t a, uint32_t b) {
    TpolyGrpDesc *da = descAt(*this, a), *db = descAt(*this, b);
    if (!da || !db) return false;
    if (db->fItems) return da->setData(*db->fItems);
    da->resetGroup();
    return true;
}

bool TpolyGeom::intersectGroups(uint32_t a, uint32_t b) {
    TpolyGrpDesc *da = descAt(*this, a), *db = descAt(*this, b);
    if (!da || !db) return false;
    if (!db->fItems) {
        da->resetGroup();
        return false;
    }
    return da->initializeComponent().intersection(*db->fItems) && !da->isEmpty();
}

bool TpolyGeom::groupReverse(uint32_t g) {
    TpolyGrpDesc* d = descAt(*this, g);
    if (!d || !validKind(d->fType)) return false;
    TbitFieldFixedN bits;
    readFlags(*this, *d, d->fType, bits);
    bits.invertAll();
    writeFlags(*this, *d, bits);
    return true;
}

uint32_t TpolyGeom::getMaxVal(TpolyGrpType type) const {
    switch (type) {
        case kPolyGrpVertex:
            return nbVertex();
        case kPolyGrpEdge:
            return nbEdge();
        case kPolyGrpFace:
            return nbFace();
        case kPolyGrpUV:
            return getCurrentMap() < 0 ? 0 : nbUV(uint32_t(getCurrentMap()));
        case kPolyGrpVertexFace:
            return nbVertexFace();
        default:
            return 0;
    }
}

// --- Object groups -------------------------------------------------------------------------------

uint32_t TpolyGeom::addObjectGroup(int32_t name, TpolyGrpType type) {
    int32_t g = fGrp->findExact(name, type);
    return g >= 0 ? uint32_t(g) : fGrp->append(name, type);
}

bool TpolyGeom::removeObjectGroup(int32_t name, TpolyGrpType type) {
    int32_t g = fGrp->findExact(name, type);
    return g >= 0 && fGrp->remove(uint32_t(g));
}

bool TpolyGeom::changeObjectGroupId(int32_t oldName, int32_t newName, TpolyGrpType type) {
    int32_t g = fGrp->findExact(oldName, type);
    if (g >= 0) fGrp->fGroups[g].fName = newName;
    return g >= 0;
}

namespace {

// Whether list is of the family a group of that kind holds.
bool fitsKind(const Tcomponent& list, TpolyGrpType type) {
    if (!validKind(type)) return false;
    bool pairs = dynamic_cast<const TlongDoubleIndexedComponent*>(&list) != nullptr;
    return pairs == (type == kPolyGrpVertexFace);
}

}  // namespace

bool TpolyGeom::setObjectGroupComponent(int32_t name, TpolyGrpType type, const Tcomponent& list) {
    return fitsKind(list, type) && fGrp->fGroups[addObjectGroup(name, type)].setData(list);
}

bool TpolyGeom::addObjectGroupComponent(int32_t name, TpolyGrpType type, const Tcomponent& list) {
    return fitsKind(list, type) && fGrp->fGroups[addObjectGroup(name, type)].initializeComponent().merge(list);
}

bool TpolyGeom::removeObjectGroupComponent(int32_t name, TpolyGrpType type, const Tcomponent& list) {
    int32_t g = fGrp->findExact(name, type);
    return g >= 0 && fitsKind(list, type) && fGrp->fGroups[g].initializeComponent().difference(list);
}

TsingleIndexedComponent* TpolyGeom::objectGroupComponent(int32_t name, TpolyGrpType type) const {
    int32_t g = fGrp->findExact(name, type);
    return g >= 0 ? fGrp->fGroups[g].singleItems() : nullptr;
}

TlongDoubleIndexedComponent* TpolyGeom::objectGroupVtxFaceComponent(int32_t name) const {
    int32_t g = fGrp->findExact(name, kPolyGrpVertexFace);
    return g >= 0 ? fGrp->fGroups[g].pairItems() : nullptr;
}

// --- Bit fields ----------------------------------------------------------------------------------

int32_t TpolyGeom::flagsFromGroup(TpolyGrpType type, int32_t name, TbitFieldFixedN& bits) {
    int32_t g = findGrp(name, type);
    if (g < 0) return -1;
    const TpolyGrpDesc& d = fGrp->fGroups[g];
    TpolyGrpType kind = kindOf(d, type);
    if (!validKind(kind)) return -1;
    readFlags(*this, d, kind, bits);
    return int32_t(bits.countSet());
}

bool TpolyGeom::flagsToGroup(TpolyGrpType type, int32_t name, const TbitFieldFixedN& bits) {
    if (!validKind(type)) return false;
    int32_t g = findGrp(name, type);
    TpolyGrpDesc& d = fGrp->fGroups[g >= 0 ? uint32_t(g) : fGrp->append(name, type)];
    if (d.fType == kPolyGrpNone) d.fType = type;
    writeFlags(*this, d, bits);
    return true;
}

// Linear in pairs, faces, corners and vertices: the pairs are bucketed by face, then each face
// stamps its wanted vertices and picks the corners that start at a stamped vertex.
void TpolyGeom::flagsFromComponent(const TlongDoubleIndexedComponent& pairs, TbitFieldFixedN& bits) {
    update(dirtyFaceOffsets);
    bits.resizeArray(nbVertexFace());
    uint32_t nbF = std::min(nbFace(), faceOffsetArray().size() ? faceOffsetArray().size() - 1 : 0u);
    uint32_t nbV = nbVertex();
    std::vector<uint32_t> bucketStart(nbF + 1, 0), bucketVertex(pairs.elementCount());
    for (const TidPair& p : pairs)
        if (p.second < nbF && p.first < nbV) ++bucketStart[p.second + 1];
    for (uint32_t f = 0; f < nbF; ++f) bucketStart[f + 1] += bucketStart[f];
    std::vector<uint32_t> fill(bucketStart.begin(), bucketStart.end() - 1);
    for (const TidPair& p : pairs)
        if (p.second < nbF && p.first < nbV) bucketVertex[fill[p.second]++] = p.first;
    std::vector<uint32_t> stamp(nbV, TpolyBits::kNoId);
    for (uint32_t f = 0; f < nbF; ++f) {
        if (bucketStart[f] == bucketStart[f + 1]) continue;
        for (uint32_t k = bucketStart[f]; k < bucketStart[f + 1]; ++k) stamp[bucketVertex[k]] = f;
        for (uint32_t c = faceOffset(f); c < faceOffset(f + 1) && c < bits.size(); ++c) {
            uint32_t e = getEdge(c);
            if (e >= nbEdge()) continue;
            uint32_t v = getStartVertex(c);
            if (v < nbV && stamp[v] == f) bits.setBit(c);
        }
    }
}

// Corners are met in face order; a counting sort on the vertex id turns that into the pair order
// (vertex, then face) without a comparison sort.
void TpolyGeom::flagsToComponent(const TbitFieldFixedN& bits, TlongDoubleIndexedComponent& pairs) {
    uint32_t nbV = nbVertex(), nbC = std::min(bits.size(), nbVertexFace());
    std::vector<TidPair> inFaceOrder;
    inFaceOrder.reserve(bits.countSet());
    std::vector<uint32_t> start(nbV + 1, 0);
    for (uint32_t c = 0, face = 0; c < nbC; ++c) {
        if (bits.testBit(c) && getEdge(c) < nbEdge() && getStartVertex(c) < nbV) {
            inFaceOrder.push_back({getStartVertex(c), face});
            ++start[inFaceOrder.back().first + 1];
        }
        if (endOfFace(c)) ++face;
    }
    for (uint32_t v = 0; v < nbV; ++v) start[v + 1] += start[v];
    std::vector<TidPair> sorted(inFaceOrder.size());
    for (const TidPair& p : inFaceOrder) sorted[start[p.first]++] = p;
    pairs.assign(sorted.data(), uint32_t(sorted.size()));
}

// --- Candidate filters and whole-kind groups -----------------------------------------------------

bool TpolyGeom::testItem(uint32_t id, TpolyGrpType type, int filter) {
    if (filter != 0 || !validKind(type) || id >= getMaxVal(type)) return false;
    int32_t c = fGrp->findExact(kGrpNameConstraint, type);
    if (c < 0) return true;
    const TpolyGrpDesc& d = fGrp->fGroups[c];
    if (type != kPolyGrpVertexFace) return d.hasElement(id);
    TbitFieldFixedN members;
    readFlags(*this, d, type, members);
    return members.testBit(id);
}

uint32_t TpolyGeom::filterItems(TpolyGrpType type, int filter, TbitFieldFixedN& bits) {
    if (filter != 0 || !validKind(type)) {
        bits.resetAll();
        return 0;
    }
    bits.resizeArrayWithCopy(getMaxVal(type));
    if (int32_t c = fGrp->findExact(kGrpNameConstraint, type); c >= 0) {
        TbitFieldFixedN members;
        readFlags(*this, fGrp->fGroups[c], type, members);
        bits.AND(members);
    }
    return bits.countSet();
}

int32_t TpolyGeom::selectAllInGrp(int32_t name, TpolyGrpType type) {
    if (!validKind(type)) return -1;
    int32_t g = findGrp(name, type);
    TpolyGrpDesc& d = fGrp->fGroups[g >= 0 ? uint32_t(g) : fGrp->append(name, type)];
    if (d.fType == kPolyGrpNone) d.fType = type;
    TbitFieldFixedN all(getMaxVal(d.fType));
    all.setAll();
    writeFlags(*this, d, all);
    return int32_t(d.nbElem());
}

uint32_t TpolyGeom::computeFaceComplement(int32_t name) {
    TbitFieldFixedN faces;
    if (flagsFromGroup(kPolyGrpFace, name, faces) < 0) faces.resizeArray(nbFace());
    faces.invertAll();
    uint32_t g = fGrp->append(getFreeTmpGrpName(), kPolyGrpFace);
    writeFlags(*this, fGrp->fGroups[g], faces);
    return g;
}

// --- Group conversions ---------------------------------------------------------------------------

bool TpolyGeom::convertGroupAs(TpolyGrpType from, TpolyGrpType to, int src, int dst, int convertMode) {
    TpolyGrpDesc *s = src >= 0 ? descAt(*this, uint32_t(src)) : nullptr,
                 *d = dst >= 0 ? descAt(*this, uint32_t(dst)) : nullptr;
    if (!s || !d || !validKind(from) || !validKind(to) || convertMode < 0 || convertMode > 2) return false;
    if (s->fType != from && s->fType != kPolyGrpNone) return false;
    TbitFieldFixedN in, out;
    readFlags(*this, *s, from, in);
    if (!convertFlags(from, to, in, out, convertMode)) return false;
    d->fType = to;
    writeFlags(*this, *d, out);
    return true;
}

bool TpolyGeom::convertGroup(uint32_t src, uint32_t dst, int convertMode) {
    const TpolyGrpDesc *s = descAt(*this, src), *d = descAt(*this, dst);
    return s && d && convertGroupAs(s->fType, d->fType, int(src), int(dst), convertMode);
}

bool TpolyGeom::convertGroup(int32_t srcName, TpolyGrpType srcType, int32_t dstName, TpolyGrpType dstType,
                             int convertMode) {
    int32_t s = findGrp(srcName, srcType);
    if (s < 0 || !validKind(dstType) || convertMode < 0 || convertMode > 2) return false;
    TpolyGrpType from = kindOf(fGrp->fGroups[s], srcType);
    if (!validKind(from)) return false;
    int32_t d = fGrp->findExact(dstName, dstType);
    if (d < 0) d = int32_t(fGrp->append(dstName, dstType));
    return convertGroupAs(from, dstType, s, d, convertMode);
}

// --- Bounding boxes ------------------------------------------------------------------------------

namespace {

// Box of the points place(p) of the vertices a group touches (its conversion to vertices with
// "any"); with uvSpace a UV group gives the box of its UVs with z = 0 instead.
template <typename Place>
bool groupBox(TpolyGeom& geom, const TpolyGrpDesc& d, TpolyGrpType kind, bool uvSpace, Place&& place, T3dFltPoint& min,
              T3dFltPoint& max) {
    TbitFieldFixedN bits, vertices;
    readFlags(geom, d, kind, bits);
    bool found = false;
    auto grow = [&](const T3dFltPoint& p) {
        if (!found) {
            min = max = p;
            found = true;
            return;
        }
        min = T3dFltPoint(std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z));
        max = T3dFltPoint(std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z));
    };
    if (kind == kPolyGrpUV && uvSpace) {
        for (uint32_t i = 0; i < bits.size(); ++i) {
            if (!bits.testBit(i)) continue;
            const float* uv = geom.uvFloatConst(i, uint32_t(geom.getCurrentMap()));
            grow(T3dFltPoint(uv[0], uv[1], 0.0f));
        }
        return found;
    }
    const TbitFieldFixedN* touched = &bits;
    if (kind != kPolyGrpVertex) {
        geom.convertFlags(kind, kPolyGrpVertex, bits, vertices, 1);
        touched = &vertices;
    }
    for (uint32_t v = 0; v < touched->size() && v < geom.nbVertex(); ++v)
        if (touched->testBit(v)) grow(place(geom.vertexConst(v)));
    return found;
}

}  // namespace

bool TpolyGeom::grpBboxInfo(int name, TpolyGrpType type, T3dFltPoint& min, T3dFltPoint& max) {
    int32_t g = findGrp(name, type);
    if (g < 0 || !validKind(kindOf(fGrp->fGroups[g], type))) return false;
    auto local = [](const T3dFltPoint& p) { return p; };
    return groupBox(*this, fGrp->fGroups[g], kindOf(fGrp->fGroups[g], type), true, local, min, max);
}

bool TpolyGeom::getWorldSpaceBbox(int name, TpolyGrpType type, const T4dFltMatrix& toWorld, T3dFltPoint& min,
                                  T3dFltPoint& max) {
    int32_t g = findGrp(name, type);
    if (g < 0 || !validKind(kindOf(fGrp->fGroups[g], type))) return false;
    auto world = [&toWorld](const T3dFltPoint& p) { return toWorld.transformPoint(p); };
    return groupBox(*this, fGrp->fGroups[g], kindOf(fGrp->fGroups[g], type), false, world, min, max);
}

bool TpolyGeom::getCurrentGrpCenterAndBbox(TpolyGrpType type, T3dFltPoint& center, T3dFltPoint& min, T3dFltPoint& max) {
    if (!grpBboxInfo(-1, type, min, max)) return false;
    center = (min + max) * 0.5f;
    return true;
}

// --- Host group events ---------------------------------------------------------------------------

// While the kind has a constraint group or active constraints, events 3, 4, 7 and 8 take their
// filtered path: the group they fill keeps only the components that pass testItem with the
// event's filter.
int TpolyGeom::GroupManage(TpolyGrpType type, TpolyGrpEvent event, int name, int otherName, int mode, int filter,
                           int item) {
    if (!validKind(type) || event < kGrpEventCount || event > kGrpEventOtherExists) return -1;
    int32_t g = event == kGrpEventFindFaceGroup ? findGrp(name, kPolyGrpFace) : findGrp(name, type);
    if (g < 0) {
        bool fills = event == kGrpEventReverse || event == kGrpEventSelectAll || event == kGrpEventHandOver ||
                     (event == kGrpEventAddRemoveItem && mode == kGrpModeAdd);
        if (event == kGrpEventOtherExists) return findGrp(otherName, type) >= 0;
        if (event == kGrpEventCount) return -2;
        if (!fills) return 0;
        g = int32_t(fGrp->append(name, type));
    }
    // The other group of events 7-9, appended empty when missing.
    auto other = [&]() -> TpolyGrpDesc& {
        int32_t o = findGrp(otherName, type);
        return fGrp->fGroups[o >= 0 ? uint32_t(o) : fGrp->append(otherName, type)];
    };
    auto count = [&](const TpolyGrpDesc& d) { return int(d.nbElem()); };
    const bool filtered = name != kGrpNameConstraint &&
                          (fGrp->findExact(kGrpNameConstraint, type) >= 0 || TpolyConstraints::isActive(type));
    auto keepPassing = [&](TpolyGrpDesc& d) {
        if (!filtered) return count(d);
        TbitFieldFixedN bits;
        readFlags(*this, d, kindOf(d, type), bits);
        filterItems(kindOf(d, type), filter, bits);
        writeFlags(*this, d, bits);
        return count(d);
    };
    switch (event) {
        case kGrpEventCount:
            return count(fGrp->fGroups[g]);
        case kGrpEventEmpty:
            fGrp->fGroups[g].resetGroup();
            return 0;
        case kGrpEventRemove:
            fGrp->remove(uint32_t(g));
            return 0;
        case kGrpEventReverse:
            groupReverse(uint32_t(g));
            return keepPassing(fGrp->fGroups[g]);
        case kGrpEventSelectAll:
            selectAllInGrp(name, type);
            return keepPassing(fGrp->fGroups[g]);
        case kGrpEventGrowShrink: {
            TpolyGrpDesc& d = fGrp->fGroups[g];
            TpolyGrpType kind = kindOf(d, type);
            TbitFieldFixedN in, boundary;
            readFlags(*this, d, kind, in);
            if (mode == kGrpModeEdgeLoop && kind == kPolyGrpEdge) {
                extendToEdgeLoop(in, 0);
                writeFlags(*this, d, in);
            }
            if (mode == kGrpModeShell && extendToShell(kind, in)) writeFlags(*this, d, in);
            if (mode != kGrpModeShrink && mode != kGrpModeGrow) return count(d);
            convertFlags(kind, kind, in, boundary, 2);
            if (mode == kGrpModeGrow) {
                in.OR(boundary);
            } else {
                boundary.AND(in);
                in.XOR(boundary);
            }
            writeFlags(*this, d, in);
            return count(d);
        }
        case kGrpEventAddRemoveItem: {
            TpolyGrpDesc& d = fGrp->fGroups[g];
            if (item >= 0 && mode == kGrpModeAdd)
                d.addElement(uint32_t(item));
            else if (item >= 0 && mode == kGrpModeShrink && d.singleItems())
                d.singleItems()->removeElement(uint32_t(item));
            return count(d);
        }
        case kGrpEventHandOver:
        case kGrpEventCopyTo:
        case kGrpEventMergeInto: {
            TpolyGrpDesc& target = other();
            // The append above may have moved the table: look the group up again.
            TpolyGrpDesc& d = fGrp->fGroups[findGrp(name, type)];
            if (&target == &d) return count(d);
            bool done = event == kGrpEventMergeInto ? target.merge(d)
                        : d.fItems                  ? target.setData(*d.fItems)
                                                    : (target.resetGroup(), true);
            if (done && event == kGrpEventHandOver) d.resetGroup();
            return event == kGrpEventMergeInto ? count(target) : keepPassing(target);
        }
        default:
            return 1;
    }
}
