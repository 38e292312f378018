#include "brindle/ops/OperationTable.h"

#include <algorithm>
#include <cctype>

#include "brindle/framework/MidComponent.h"
#include "brindle/geom/PolyGeom.h"

std::unique_ptr<TmidModifierFty> Toperation::create() const {
    return std::unique_ptr<TmidModifierFty>(static_cast<TmidModifierFty*>(type->construct()));
}

const ToperationParam* Toperation::findParam(std::string_view paramName) const {
    for (const ToperationParam& p : params)
        if (paramName == p.param->name) return &p;
    return nullptr;
}

namespace ToperationTable {

namespace {
Toperation describe(const Tmetaclass* cls, const TmidModifierFty& fresh) {
    Toperation op{operationName(cls->name()), cls, TmodifierRegistry::selectionKind(cls), {}};
    for (const Tmetaclass* c = cls; c; c = c->parent())
        if (const TmodifierParamTable* t = TmodifierParamTable::find(c))
            for (const TmodifierParam& p : t->params())
                // A class may register again a name its parent registered; the nearest wins,
                // as it does for setParameter.
                if (!op.findParam(p.name)) op.params.push_back({&p, c, p.get ? p.get(fresh) : std::string()});
    return op;
}

std::vector<Toperation> build() {
    std::vector<Toperation> ops;
    for (const Tmetaclass* cls : Tmetaclass::all())
        if (cls->istype(&TmidModifierFty::sMetaclass))
            // Abstract classes construct nothing.
            if (const std::unique_ptr<TmidModifierFty> fresh{static_cast<TmidModifierFty*>(cls->construct())})
                ops.push_back(describe(cls, *fresh));
    std::sort(ops.begin(), ops.end(), [](const Toperation& a, const Toperation& b) { return a.name < b.name; });
    return ops;
}
}  // namespace

const std::vector<Toperation>& all() {
    static const std::vector<Toperation> table = build();
    return table;
}

const Toperation* find(std::string_view name) {
    for (const Toperation& op : all())
        if (name == op.name || name == op.type->name()) return &op;
    return nullptr;
}

std::string operationName(std::string_view typeName) {
    std::string_view s = typeName;
    if (!s.empty() && s.front() == 'T') s.remove_prefix(1);
    while (!s.empty() && std::islower(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    if (s.size() > 3 && s.substr(s.size() - 3) == "Fty") s.remove_suffix(3);
    if (s.empty()) return std::string(typeName);
    std::string name(s);
    name[0] = char(std::tolower(static_cast<unsigned char>(name[0])));
    return name;
}

std::unique_ptr<TmidComponent> newList(TpolyGrpType kind) {
    switch (kind) {
        case kPolyGrpVertex:
            return std::make_unique<TmidVertComponent>();
        case kPolyGrpEdge:
            return std::make_unique<TmidEdgeComponent>();
        case kPolyGrpFace:
            return std::make_unique<TmidFaceComponent>();
        default:
            return std::make_unique<TmidMapComponent>();
    }
}

uint32_t componentCount(const TpolyGeom& g, TpolyGrpType kind) {
    switch (kind) {
        case kPolyGrpVertex:
        case kPolyGrpEdge:
        case kPolyGrpFace:
        case kPolyGrpUV:
            return g.getMaxVal(kind);
        default:
            return 0;
    }
}

std::unique_ptr<TmidComponent> everyComponent(const TpolyGeom& g, TpolyGrpType kind) {
    std::unique_ptr<TmidComponent> list = newList(kind);
    if (const uint32_t n = componentCount(g, kind)) list->addRange(0, n - 1);
    return list;
}

const char* selectionName(TpolyGrpType kind) {
    switch (kind) {
        case kPolyGrpVertex:
            return "vertices";
        case kPolyGrpEdge:
            return "edges";
        case kPolyGrpFace:
            return "faces";
        case kPolyGrpUV:
            return "uvs";
        default:
            return "none";
    }
}

}  // namespace ToperationTable
