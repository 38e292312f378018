// brindle op, ops, subdivide, reduce and uv: the registry's operations run on OBJ files.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AtomicOutput.h"
#include "Commands.h"
#include "brindle/base/BitField.h"
#include "brindle/brindle.h"
#include "brindle/objreader/ObjImport.h"

namespace {

// One step of a chain: the operation, its factory with the parameters already set, and the
// selection as the user wrote it (kind kPolyGrpNone: every component the operation reads).
struct Tstep {
    const Toperation* op;
    std::unique_ptr<TmidModifierFty> fty;
    TpolyGrpType kind = kPolyGrpNone;
    std::string spec;
};

const char* kindWord(TpolyGrpType kind) {
    switch (kind) {
        case kPolyGrpVertex:
            return "vertex";
        case kPolyGrpEdge:
            return "edge";
        case kPolyGrpFace:
            return "face";
        default:
            return "uv";
    }
}

const char* valueForm(TmodifierParamType type) {
    switch (type) {
        case TmodifierParamType::kBool:
            return "true/false or 1/0";
        case TmodifierParamType::kPoint:
            return "three numbers";
        case TmodifierParamType::kVector:
            return "three or four numbers";
        case TmodifierParamType::kRotation:
            return "three angles in radians and an optional order 0-5";
        case TmodifierParamType::kMatrix:
            return "sixteen numbers, row by row";
        default:
            return "a number";
    }
}

TpolyGrpType selectionOption(std::string_view arg) {
    if (arg == "--vertices") return kPolyGrpVertex;
    if (arg == "--edges") return kPolyGrpEdge;
    if (arg == "--faces") return kPolyGrpFace;
    if (arg == "--uvs") return kPolyGrpUV;
    return kPolyGrpNone;
}

// The parameter of that name, the exact spelling first, then ignoring case.
const ToperationParam* findParam(const Toperation& op, std::string_view name) {
    if (const ToperationParam* p = op.findParam(name)) return p;
    for (const ToperationParam& p : op.params)
        if (std::strlen(p.name()) == name.size() && strncasecmp(p.name(), name.data(), name.size()) == 0) return &p;
    return nullptr;
}

// Reads "<operation> [--param value | --kind ids ...]" steps separated by "then" from
// args[first..]; false with the reason printed at the first bad word.
bool parseSteps(const char* command, int argc, char** argv, int first, std::vector<Tstep>& steps) {
    for (int i = first; i < argc;) {
        const Toperation* op = ToperationTable::find(argv[i]);
        if (!op) {
            std::fprintf(stderr, "brindle %s: unknown operation '%s' (brindle ops lists them)\n", command, argv[i]);
            return false;
        }
        Tstep step{op, op->create(), kPolyGrpNone, {}};
        for (++i; i < argc && std::strcmp(argv[i], "then") != 0; i += 2) {
            std::string_view arg = argv[i], value;
            const std::size_t eq = arg.find('=');
            const bool inlineValue = eq != std::string_view::npos;
            if (inlineValue) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                --i;  // the value is in this word
            }
            if (arg.size() < 3 || arg.substr(0, 2) != "--") {
                std::fprintf(stderr, "brindle %s: %s: expected --parameter value, not '%s'\n", command,
                             op->name.c_str(), argv[i + inlineValue]);
                return false;
            }
            if (!inlineValue) {
                if (i + 1 >= argc) {
                    std::fprintf(stderr, "brindle %s: %s: %s wants a value\n", command, op->name.c_str(), argv[i]);
                    return false;
                }
                value = argv[i + 1];
            }
            if (const TpolyGrpType kind = selectionOption(arg)) {
                if (step.kind != kPolyGrpNone) {
                    std::fprintf(stderr, "brindle %s: %s: one selection per step\n", command, op->name.c_str());
                    return false;
                }
                if (op->selection == kPolyGrpNone) {
                    std::fprintf(stderr, "brindle %s: %s takes no selection\n", command, op->name.c_str());
                    return false;
                }
                step.kind = kind;
                step.spec = value;
                continue;
            }
            const ToperationParam* p = findParam(*op, arg.substr(2));
            if (!p) {
                std::fprintf(stderr, "brindle %s: %s has no parameter '%.*s' (brindle ops %s lists them)\n", command,
                             op->name.c_str(), int(arg.size() - 2), arg.data() + 2, op->name.c_str());
                return false;
            }
            if (!p->param->set(*step.fty, value)) {
                std::fprintf(stderr, "brindle %s: %s --%s wants a value of type %s (%s), not \"%.*s\"\n", command,
                             op->name.c_str(), p->name(), TmodifierText::typeName(p->type()), valueForm(p->type()),
                             int(value.size()), value.data());
                return false;
            }
        }
        steps.push_back(std::move(step));
        if (i < argc && ++i == argc) {
            std::fprintf(stderr, "brindle %s: 'then' wants an operation after it\n", command);
            return false;
        }
    }
    return true;
}

// Newell's normal of a face (all its loops), not normalised.
T4dFltVector faceNormal(const TpolyGeom& g, uint32_t f) {
    double n[3] = {0, 0, 0};
    const uint32_t begin = g.faceOffset(f), end = g.faceOffset(f + 1);
    uint32_t loopStart = begin;
    for (uint32_t o = begin; o < end; ++o) {
        const bool last = g.endOfLoop(o) || o + 1 == end;
        const T3dFltPoint& a = g.vertexConst(g.getStartVertex(o));
        const T3dFltPoint& b = g.vertexConst(g.getStartVertex(last ? loopStart : o + 1));
        n[0] += (double(a.y) - b.y) * (double(a.z) + b.z);
        n[1] += (double(a.z) - b.z) * (double(a.x) + b.x);
        n[2] += (double(a.x) - b.x) * (double(a.y) + b.y);
        if (last) loopStart = o + 1;
    }
    return T4dFltVector(float(n[0]), float(n[1]), float(n[2]));
}

// Reads a list of ids and ranges ("0-99,200") into bits of n; false with the reason.
bool readIds(std::string_view spec, TpolyGrpType kind, TbitFieldFixedN& bits, std::string& error) {
    const uint32_t n = bits.size();
    while (!spec.empty()) {
        const std::size_t comma = spec.find(',');
        const std::string term(spec.substr(0, comma));
        spec = comma == std::string_view::npos ? std::string_view() : spec.substr(comma + 1);
        unsigned long lo = 0, hi = 0;
        int used = 0;
        const bool range =
            std::sscanf(term.c_str(), "%lu-%lu%n", &lo, &hi, &used) == 2 && std::size_t(used) == term.size();
        if (!range && std::sscanf(term.c_str(), "%lu%n", &lo, &used) == 1 && std::size_t(used) == term.size())
            hi = lo;
        else if (!range) {
            error = "bad selection term '" + term + "' (ids like 0-99,200, all, border, facing:x,y,z[,degrees])";
            return false;
        }
        if (term[0] == '-' || lo > hi || hi >= n) {
            error = std::string(kindWord(kind)) + " ids " + term + " out of range (" + std::to_string(n) + " " +
                    ToperationTable::selectionName(kind) + ")";
            return false;
        }
        for (unsigned long id = lo; id <= hi; ++id) bits.setBit(uint32_t(id));
    }
    return true;
}

// Components of kind named by spec: "all", ids and ranges, "border" (border edges, their
// vertices, the faces along them) or "facing:x,y,z[,degrees]" (faces whose normal lies within
// the angle, 45 degrees unless given, of the direction, and their vertices or edges). Only the
// last two read the faces, and only they bring the face offsets and edge sides up to date.
bool resolveSpec(TpolyGeom& g, TpolyGrpType kind, std::string_view spec, TbitFieldFixedN& bits,
                 std::string& error) {
    bits.resizeArray(ToperationTable::componentCount(g, kind));
    bits.resetAll();
    if (spec == "all") {
        for (uint32_t i = 0; i < bits.size(); ++i) bits.setBit(i);
        return true;
    }
    const bool border = spec == "border", facing = spec.substr(0, 7) == "facing:";
    if (!border && !facing) return readIds(spec, kind, bits, error);
    if (kind == kPolyGrpUV) {
        error = "UV selections take ids or all";
        return false;
    }
    T4dFltVector dir;
    double cosLimit = std::cos(kPi / 4);
    if (facing) {
        double v[4] = {0, 0, 0, 45};
        int used = 0;
        const std::string text(spec.substr(7));
        const int got = std::sscanf(text.c_str(), "%lf,%lf,%lf%n,%lf%n", &v[0], &v[1], &v[2], &used, &v[3], &used);
        const double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (got < 3 || std::size_t(used) != text.size() || !(len > 0)) {
            error = "facing wants a direction x,y,z and an optional angle in degrees, not '" + text + "'";
            return false;
        }
        dir = T4dFltVector(float(v[0] / len), float(v[1] / len), float(v[2] / len));
        cosLimit = std::cos(v[3] * kRadiansPerDegree);
    }
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        bool take = false;
        if (facing) {
            const T4dFltVector n = faceNormal(g, f);
            const double len = std::sqrt(double(n.x) * n.x + double(n.y) * n.y + double(n.z) * n.z);
            take = len > 0 && (n.x * dir.x + n.y * dir.y + n.z * dir.z) >= cosLimit * len;
        }
        for (uint32_t o = g.faceOffset(f); o < g.faceOffset(f + 1); ++o) {
            const uint32_t e = g.getEdge(o);
            const bool on = facing ? take : g.isBorder(e);
            if (!on) continue;
            if (kind == kPolyGrpFace)
                bits.setBit(f);
            else if (kind == kPolyGrpEdge)
                bits.setBit(e);
            else {
                bits.setBit(g.startVertex(e));
                bits.setBit(g.endVertex(e));
            }
            if (facing && kind == kPolyGrpVertex) bits.setBit(g.getStartVertex(o));
        }
    }
    return true;
}

// Bits of kind `from` as bits of kind `to`: faces give their vertices and edges, edges their
// ends; going the other way a component is taken when all its vertices (edges) are.
bool convertKind(TpolyGeom& g, TpolyGrpType from, const TbitFieldFixedN& in, TpolyGrpType to,
                 TbitFieldFixedN& out, std::string& error) {
    if (from == kPolyGrpUV || to == kPolyGrpUV) {
        error = std::string("a ") + kindWord(from) + " selection cannot stand for " + kindWord(to) + "s";
        return false;
    }
    out.resizeArray(ToperationTable::componentCount(g, to));
    out.resetAll();
    if (from == kPolyGrpEdge && to == kPolyGrpVertex) {
        for (uint32_t e = 0; e < g.nbEdge(); ++e)
            if (in.testBit(e)) {
                out.setBit(g.startVertex(e));
                out.setBit(g.endVertex(e));
            }
        return true;
    }
    if (from == kPolyGrpVertex && to == kPolyGrpEdge) {
        for (uint32_t e = 0; e < g.nbEdge(); ++e)
            if (in.testBit(g.startVertex(e)) && in.testBit(g.endVertex(e))) out.setBit(e);
        return true;
    }
    g.update(dirtyFaceOffsets);
    for (uint32_t f = 0; f < g.nbFace(); ++f) {
        const uint32_t begin = g.faceOffset(f), end = g.faceOffset(f + 1);
        if (from == kPolyGrpFace) {
            if (!in.testBit(f)) continue;
            for (uint32_t o = begin; o < end; ++o) out.setBit(to == kPolyGrpEdge ? g.getEdge(o) : g.getStartVertex(o));
        } else {
            bool all = true;
            for (uint32_t o = begin; o < end && all; ++o)
                all = in.testBit(from == kPolyGrpEdge ? g.getEdge(o) : g.getStartVertex(o));
            if (all) out.setBit(f);
        }
    }
    return true;
}

// The component list a step's operation reads, or null with the reason in error.
std::unique_ptr<TmidComponent> selectionOf(TpolyGeom& g, const Tstep& step, std::string& error) {
    std::unique_ptr<TmidComponent> list;
    if (step.kind == kPolyGrpNone) {
        list = ToperationTable::everyComponent(g, step.op->selection);
    } else {
        list = ToperationTable::newList(step.op->selection);
        TbitFieldFixedN bits, converted;
        if (!resolveSpec(g, step.kind, step.spec, bits, error)) return nullptr;
        if (step.kind != step.op->selection && !convertKind(g, step.kind, bits, step.op->selection, converted, error))
            return nullptr;
        list->convertFromFlags(step.kind != step.op->selection ? converted : bits);
    }
    if (list->elementCount() == 0) {
        error = std::string("empty selection (no ") + ToperationTable::selectionName(step.op->selection) + ")";
        return nullptr;
    }
    return list;
}

// Runs the steps in order on body; false, with the reason printed, at the first that fails.
// Each operation brings up to date what it reads, so between steps the record is left as the
// last one left it: only a selection that reads the faces updates what it reads.
bool runSteps(const char* command, TmidBody& body, const std::vector<Tstep>& steps) {
    for (std::size_t k = 0; k < steps.size(); ++k) {
        const Tstep& step = steps[k];
        TpolyGeom& g = *body.polyGeom();
        std::string error;
        std::unique_ptr<TmidComponent> list;
        if (step.op->selection != kPolyGrpNone && !(list = selectionOf(g, step, error))) {
            std::fprintf(stderr, "brindle %s: step %zu (%s): %s; nothing written\n", command, k + 1,
                         step.op->name.c_str(), error.c_str());
            return false;
        }
        const uint32_t selected = list ? list->elementCount() : 0;
        const auto start = std::chrono::steady_clock::now();
        int result = -1;
        try {
            result = step.fty->doAction(&body, list.get());
        } catch (const std::exception& e) {
            error = e.what();
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != 0) {
            std::fprintf(stderr, "brindle %s: step %zu (%s) failed%s%s; nothing written\n", command, k + 1,
                         step.op->name.c_str(), error.empty() ? "" : ": ", error.c_str());
            return false;
        }
        const TpolyGeom& after = *body.polyGeom();
        std::printf("step %zu %s on %u %s: %u vertices, %u faces (%.3f s)\n", k + 1, step.op->name.c_str(), selected,
                    ToperationTable::selectionName(step.op->selection), after.nbVertex(), after.nbFace(), seconds);
    }
    return true;
}

// Imports in, runs the steps and writes out; the output is opened first so that an unwritable
// destination fails before the work, and replaced only when every step succeeded.
int runChain(const char* command, const char* in, const char* out, const std::vector<Tstep>& steps,
             bool needUVSet = false) {
    TatomicOutput output(out);
    if (!openOutput(command, output)) return 1;
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile(command, in, report);
    if (!g) return 1;
    if (needUVSet && g->nbMapSet() == 0) {
        Tstring name;
        g->generateUniqueUVSetName(name);
        g->addLastMapSet(name);
    }
    TmidBody body(g.release());
    if (!runSteps(command, body, steps)) return 1;
    return writeObjFile(command, *body.polyGeom(), output, report.groupNames) ? 0 : 1;
}

bool helpOrMissing(int argc, char** argv, int needed, const char* usage) {
    if (wantsHelp(argc, argv)) {
        std::printf("%s", usage);
        return true;
    }
    if (argc < needed) {
        std::fprintf(stderr, "%s", usage);
        return true;
    }
    return false;
}

std::string rangeText(const TmodifierParamInfo& info) {
    if (std::isnan(info.lo) && std::isnan(info.hi)) return "";
    return (std::isnan(info.lo) ? std::string() : TmodifierText::format(info.lo)) + ".." +
           (std::isnan(info.hi) ? std::string() : TmodifierText::format(info.hi));
}

}  // namespace

int runOp(int argc, char** argv) {
    const char* usage =
        "usage: brindle op <in.obj> <out.obj> <operation> [--param value ...] [--faces|--edges|--vertices|--uvs ids]\n"
        "                  [then <operation> ...]\n"
        "Runs one operation or a chain of them on the imported file and writes the result; a failed step writes\n"
        "nothing. A selection is \"all\" (the default: every component the operation reads), ids and ranges such\n"
        "as 0-99,200, \"border\", or facing:x,y,z[,degrees] (faces within the angle, 45 unless given, of the\n"
        "direction). A selection of another kind is converted: faces to their edges and vertices, edges to\n"
        "their ends, and the other way to the components whose every vertex or edge is selected.\n"
        "brindle ops lists the operations, brindle ops NAME their parameters.\n";
    if (helpOrMissing(argc, argv, 5, usage)) return wantsHelp(argc, argv) ? 0 : 2;
    std::vector<Tstep> steps;
    if (!parseSteps("op", argc, argv, 4, steps)) return 2;
    return runChain("op", argv[2], argv[3], steps);
}

int runOps(int argc, char** argv) {
    if (wantsHelp(argc, argv) || argc > 3) {
        std::fprintf(argc > 3 ? stderr : stdout,
                     "usage: brindle ops [NAME]\nLists the operations brindle op runs, or the parameters of one.\n");
        return argc > 3 ? 2 : 0;
    }
    if (argc == 2) {
        std::printf("%-22s %-24s %-9s %s\n", "operation", "factory type", "selects", "parameters");
        for (const Toperation& op : ToperationTable::all())
            std::printf("%-22s %-24s %-9s %zu\n", op.name.c_str(), op.type->name(),
                        ToperationTable::selectionName(op.selection), op.params.size());
        return 0;
    }
    const Toperation* op = ToperationTable::find(argv[2]);
    if (!op) {
        std::fprintf(stderr, "brindle ops: unknown operation '%s' (brindle ops lists them)\n", argv[2]);
        return 1;
    }
    std::printf("%s (%s), selects %s\n", op->name.c_str(), op->type->name(),
                ToperationTable::selectionName(op->selection));
    std::printf("  %-26s %-9s %-20s %-22s %s\n", "parameter", "type", "default", "range", "help");
    for (const ToperationParam& p : op->params)
        std::printf("  %-26s %-9s %-20s %-22s %s\n", p.name(), TmodifierText::typeName(p.type()),
                    p.defaultText.empty() ? "-" : p.defaultText.c_str(), rangeText(p.param->info).c_str(),
                    p.param->info.help);
    return 0;
}

int runReduce(int argc, char** argv) {
    const char* usage =
        "usage: brindle reduce <in.obj> <out.obj> [--percent P] [--param value ...] [--faces ids]\n"
        "Removes P percent (50 unless given) of the faces by edge collapses; the other parameters are those of\n"
        "brindle ops decimate.\n";
    if (helpOrMissing(argc, argv, 4, usage)) return wantsHelp(argc, argv) ? 0 : 2;
    std::vector<std::string> words = {"decimate"};
    for (int i = 4; i < argc; ++i) words.push_back(std::strcmp(argv[i], "--percent") == 0 ? "--Percentage" : argv[i]);
    std::vector<char*> args(argv, argv + 4);
    for (std::string& w : words) args.push_back(w.data());
    std::vector<Tstep> steps;
    if (!parseSteps("reduce", int(args.size()), args.data(), 4, steps)) return 2;
    if (steps.size() != 1) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    return runChain("reduce", argv[2], argv[3], steps);
}

int runUv(int argc, char** argv) {
    const char* usage =
        "usage: brindle uv <in.obj> <out.obj> [--method auto|planar|cylindrical|spherical] [--no-layout]\n"
        "                  [--faces ids]\n"
        "Gives the faces new UVs in the current UV set (made when the file has none) by the projection, auto\n"
        "unless given, then lays the shells out in the unit square unless --no-layout. For other parameters\n"
        "chain autoProj, planProj, cylProj, sphProj and layoutUV with brindle op.\n";
    if (helpOrMissing(argc, argv, 4, usage)) return wantsHelp(argc, argv) ? 0 : 2;
    std::string method = "autoProj", faces;
    bool layout = true;
    for (int i = 4; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--no-layout") {
            layout = false;
        } else if ((a == "--method" || a == "--faces") && i + 1 < argc) {
            const std::string_view v = argv[++i];
            if (a == "--faces")
                faces = v;
            else if (v == "auto")
                method = "autoProj";
            else if (v == "planar")
                method = "planProj";
            else if (v == "cylindrical")
                method = "cylProj";
            else if (v == "spherical")
                method = "sphProj";
            else {
                std::fprintf(stderr, "brindle uv: unknown method '%s'\n%s", argv[i], usage);
                return 2;
            }
        } else {
            std::fprintf(stderr, "brindle uv: unexpected '%s'\n%s", argv[i], usage);
            return 2;
        }
    }
    std::vector<Tstep> steps;
    for (const char* name : {method.c_str(), layout ? "layoutUV" : nullptr}) {
        if (!name) continue;
        const Toperation* op = ToperationTable::find(name);
        steps.push_back({op, op->create(), faces.empty() ? kPolyGrpNone : kPolyGrpFace, faces});
    }
    // The projections name their set; the first is the one the file's faces use (or the one made).
    TmodifierRegistry::setParameter(*steps.front().fty, "UVSetIndex", "0");
    if (layout) {
        TmodifierRegistry::setParameter(*steps.back().fty, "ScaleMode", "1");
        TmodifierRegistry::setParameter(*steps.back().fty, "MoveMode", "2");
    }
    return runChain("uv", argv[2], argv[3], steps, true);
}

int runSubdivide(int argc, char** argv) {
    const char* usage =
        "usage: brindle subdivide <in.obj> <out.obj> [--levels N] [--linear] [--keep-border 0|1] [--keep-hard 0|1]\n"
        "                         [--smooth-uvs 0|1]\n"
        "Replaces the mesh by level N (1 unless given) of its Catmull-Clark subdivision, or of the linear\n"
        "scheme with --linear. Borders are kept sharp and UVs smoothed unless told otherwise.\n";
    if (helpOrMissing(argc, argv, 4, usage)) return wantsHelp(argc, argv) ? 0 : 2;
    TpolySmoothGeomOptions options;
    int levels = 1;
    for (int i = 4; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--linear") {
            options.setSubdivisionType(TpolySmoothGeomOptions::kLinear);
            continue;
        }
        bool flag = false;
        const bool ok =
            i + 1 < argc && (a == "--levels" ? TmodifierText::parse(argv[i + 1], levels) && levels >= 0 && levels <= 8
                                             : TmodifierText::parse(argv[i + 1], flag));
        if (!ok || (a != "--levels" && a != "--keep-border" && a != "--keep-hard" && a != "--smooth-uvs")) {
            std::fprintf(stderr, "brindle subdivide: bad option '%s%s%s'\n%s", argv[i], i + 1 < argc ? " " : "",
                         i + 1 < argc ? argv[i + 1] : "", usage);
            return 2;
        }
        if (a == "--keep-border") options.setKeepBorderEdge(flag);
        if (a == "--keep-hard") options.setKeepHardEdge(flag);
        if (a == "--smooth-uvs") options.setSmoothUVs(flag);
        ++i;
    }
    TatomicOutput output(argv[3]);
    if (!openOutput("subdivide", output)) return 1;
    TobjImportReport report;
    std::unique_ptr<TpolyGeom> g = loadObjFile("subdivide", argv[2], report);
    if (!g) return 1;
    g->update(dirtyAll);
    g->createHierarchy(unsigned(levels), options);
    TpolyGeom result;
    g->copyHierarchy(unsigned(levels), result);
    if (!writeObjFile("subdivide", result, output, report.groupNames)) return 1;
    std::printf("%s: level %d, %u vertices, %u faces written to %s\n", argv[2], levels, result.nbVertex(),
                result.nbFace(), argv[3]);
    return 0;
}
