// brindle primitive: builds one primitive shape with the given parameters and writes it as OBJ.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "AtomicOutput.h"
#include "Commands.h"
#include "brindle/brindle.h"
#include "brindle/objreader/ObjWriter.h"

namespace {

template <class T>
T convertTo(double v) {
    if constexpr (std::is_enum_v<T>)
        return T(int(v));
    else
        return T(v);
}

struct Tparam {
    const char* name;
    std::function<void(double)> set;
    double initial;
};

// The parameter table of one shape: every field with a getter and setter, under its getter name.
#define BRINDLE_TOOL_PARAM(shape, getter, Setter)                                                                     \
    Tparam {                                                                                                          \
#getter,                                                                                                      \
            [&shape](double v) { shape.set##Setter(convertTo<decltype(shape.getter())>(v)); }, double(shape.getter()) \
    }

struct Tshape {
    const char* name;
    TprimitiveFty* fty;
    std::vector<Tparam> params;
};

int primitiveUsage(FILE* out, const std::vector<Tshape>& shapes) {
    std::fprintf(out,
                 "usage: brindle primitive <shape> [--param value ...] -o out.obj\n"
                 "Builds a primitive (UV set \"map1\") and writes it as OBJ. Shapes and parameters"
                 " (defaults in brackets):\n");
    for (const Tshape& s : shapes) {
        std::fprintf(out, "  %-7s", s.name);
        for (const Tparam& p : s.params) std::fprintf(out, " --%s [%g]", p.name, p.initial);
        std::fprintf(out, "\n");
    }
    return out == stdout ? 0 : 2;
}

}  // namespace

int runPrimitive(int argc, char** argv) {
    TmeshBoxFty box;
    TmeshBallFty sphere;
    TmeshConeFty cone;
    TmeshTorusFty torus;
    TmeshMeshFty plane;
    TmeshPrismFty prism;
    TpolyPipeFty pipe;
    TpolyHelixFty helix;
    TmeshSolidsFty solid;
    const std::vector<Tshape> shapes = {
        {"box",
         &box,
         {BRINDLE_TOOL_PARAM(box, width, Width), BRINDLE_TOOL_PARAM(box, height, Height),
          BRINDLE_TOOL_PARAM(box, depth, Depth), BRINDLE_TOOL_PARAM(box, xSubdivide, XSubdivide),
          BRINDLE_TOOL_PARAM(box, ySubdivide, YSubdivide), BRINDLE_TOOL_PARAM(box, zSubdivide, ZSubdivide),
          BRINDLE_TOOL_PARAM(box, texture, Texture)}},
        {"sphere",
         &sphere,
         {BRINDLE_TOOL_PARAM(sphere, radius, Radius), BRINDLE_TOOL_PARAM(sphere, xSubdivide, XSubdivide),
          BRINDLE_TOOL_PARAM(sphere, ySubdivide, YSubdivide), BRINDLE_TOOL_PARAM(sphere, texture, Texture)}},
        {"cone",
         &cone,
         {BRINDLE_TOOL_PARAM(cone, radius, Radius), BRINDLE_TOOL_PARAM(cone, height, Height),
          BRINDLE_TOOL_PARAM(cone, xSubdivide, XSubdivide), BRINDLE_TOOL_PARAM(cone, ySubdivide, YSubdivide),
          BRINDLE_TOOL_PARAM(cone, zSubdivide, ZSubdivide), BRINDLE_TOOL_PARAM(cone, texture, Texture)}},
        {"torus",
         &torus,
         {BRINDLE_TOOL_PARAM(torus, radius, Radius), BRINDLE_TOOL_PARAM(torus, section, Section),
          BRINDLE_TOOL_PARAM(torus, twist, Twist), BRINDLE_TOOL_PARAM(torus, xSubdivide, XSubdivide),
          BRINDLE_TOOL_PARAM(torus, ySubdivide, YSubdivide), BRINDLE_TOOL_PARAM(torus, texture, Texture),
          BRINDLE_TOOL_PARAM(torus, revTexture, RevTexture)}},
        {"plane",
         &plane,
         {BRINDLE_TOOL_PARAM(plane, width, Width), BRINDLE_TOOL_PARAM(plane, height, Height),
          BRINDLE_TOOL_PARAM(plane, xSubdivide, XSubdivide), BRINDLE_TOOL_PARAM(plane, ySubdivide, YSubdivide),
          BRINDLE_TOOL_PARAM(plane, texture, Texture)}},
        {"prism",
         &prism,
         {BRINDLE_TOOL_PARAM(prism, radius, Radius), BRINDLE_TOOL_PARAM(prism, height, Height),
          BRINDLE_TOOL_PARAM(prism, xSubdivide, XSubdivide), BRINDLE_TOOL_PARAM(prism, ySubdivide, YSubdivide),
          BRINDLE_TOOL_PARAM(prism, zSubdivide, ZSubdivide), BRINDLE_TOOL_PARAM(prism, texture, Texture),
          BRINDLE_TOOL_PARAM(prism, type, Type)}},
        {"pipe",
         &pipe,
         {BRINDLE_TOOL_PARAM(pipe, radius, Radius), BRINDLE_TOOL_PARAM(pipe, length, Length),
          BRINDLE_TOOL_PARAM(pipe, thickness, Thickness), BRINDLE_TOOL_PARAM(pipe, xSubdivide, XSubdivide),
          BRINDLE_TOOL_PARAM(pipe, ySubdivide, YSubdivide), BRINDLE_TOOL_PARAM(pipe, zSubdivide, ZSubdivide),
          BRINDLE_TOOL_PARAM(pipe, texture, Texture)}},
        {"helix",
         &helix,
         {BRINDLE_TOOL_PARAM(helix, numCoils, NumCoils), BRINDLE_TOOL_PARAM(helix, height, Height),
          BRINDLE_TOOL_PARAM(helix, width, Width), BRINDLE_TOOL_PARAM(helix, radius, Radius),
          BRINDLE_TOOL_PARAM(helix, direction, Direction), BRINDLE_TOOL_PARAM(helix, texture, Texture),
          BRINDLE_TOOL_PARAM(helix, xSubdivide, XSubdivide), BRINDLE_TOOL_PARAM(helix, ySubdivide, YSubdivide),
          BRINDLE_TOOL_PARAM(helix, zSubdivide, ZSubdivide)}},
        {"solid",
         &solid,
         {Tparam{"radius", [&solid](double v) { solid.setRadius(float(v)); }, 1.0},
          BRINDLE_TOOL_PARAM(solid, type, Type), BRINDLE_TOOL_PARAM(solid, texture, Texture)}},
    };
    if (argc < 3 || wantsHelp(argc, argv)) return primitiveUsage(argc < 3 ? stderr : stdout, shapes);
    const Tshape* shape = nullptr;
    for (const Tshape& s : shapes)
        if (std::strcmp(s.name, argv[2]) == 0) shape = &s;
    if (!shape) {
        std::fprintf(stderr, "brindle primitive: unknown shape '%s'\n", argv[2]);
        return primitiveUsage(stderr, shapes);
    }
    if (shape == &shapes.back()) solid.setRadius(1.0f);
    const char* out = nullptr;
    for (int i = 3; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "brindle primitive: '%s' needs a value\n", argv[i]);
            return 2;
        }
        if (arg == "-o") {
            out = argv[++i];
            continue;
        }
        const Tparam* param = nullptr;
        for (const Tparam& p : shape->params)
            if (arg == std::string("--") + p.name) param = &p;
        char* end = nullptr;
        const double value = std::strtod(argv[i + 1], &end);
        if (!param || end == argv[i + 1] || *end != '\0') {
            std::fprintf(stderr, "brindle primitive: %s '%s %s' (see brindle primitive --help)\n",
                         param ? "bad value in" : "unknown parameter", argv[i], argv[i + 1]);
            return 2;
        }
        param->set(value);
        ++i;
    }
    if (!out) {
        std::fprintf(stderr, "brindle primitive: no output file (-o out.obj)\n");
        return 2;
    }
    TatomicOutput output(out);
    if (!openOutput("primitive", output)) return 1;
    TmidBody body;
    shape->fty->setUVSetName("map1");
    shape->fty->build(body);
    if (!writeObjFile("primitive", *body.polyGeom(), output, {})) return 1;
    std::printf("%s: %u vertices, %u faces written to %s\n", shape->name, body.polyGeom()->nbVertex(),
                body.polyGeom()->nbFace(), out);
    return 0;
}
