// The brindle command-line tool: runs library features on built-in shapes and files.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brindle/brindle.h"

namespace {

// A w x h grid of unit quads in the xy plane, built the way a host fills a record.
void buildGrid(TpolyGeom& g, uint32_t w, uint32_t h) {
    for (uint32_t j = 0; j <= h; ++j)
        for (uint32_t i = 0; i <= w; ++i) g.appendVertex(float(i), float(j), 0.0f);
    auto vid = [w](uint32_t i, uint32_t j) { return j * (w + 1) + i; };
    // Horizontal edges first (one per row segment), then vertical ones.
    for (uint32_t j = 0; j <= h; ++j)
        for (uint32_t i = 0; i < w; ++i) g.appendEdge(vid(i, j), vid(i + 1, j));
    const uint32_t nHorizontal = (h + 1) * w;
    for (uint32_t j = 0; j < h; ++j)
        for (uint32_t i = 0; i <= w; ++i) g.appendEdge(vid(i, j), vid(i, j + 1));
    auto hEdge = [w](uint32_t i, uint32_t j) { return j * w + i; };
    auto vEdge = [w, nHorizontal](uint32_t i, uint32_t j) { return nHorizontal + j * (w + 1) + i; };
    for (uint32_t j = 0; j < h; ++j)
        for (uint32_t i = 0; i < w; ++i) {
            g.bgnFace(4);
            g.refEdge(hEdge(i, j), kForward);
            g.refEdge(vEdge(i + 1, j), kForward);
            g.refEdge(hEdge(i, j + 1), kReversed);
            g.refEdge(vEdge(i, j), kReversed);
            g.endLoop();
            g.endFace();
        }
}

void printSummary(const char* label, TpolyGeom& g) {
    g.update(dirtyFaceOffsets | dirtyEdgeToFace);
    uint32_t border = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) {
        const TpolyWingEdge& w = g.topo()->fEdgeToFace[e];
        if (w.side[0] == TpolyBits::kNoFace || w.side[1] == TpolyBits::kNoFace) ++border;
    }
    std::printf("%s: %u vertices, %u edges (%u on the border), %u faces, %u corners\n", label, g.nbVertex(),
                g.nbEdge(), border, g.nbFace(), g.faceDescLength());
}

// Softens the edges of the selected faces: a small operation run through the action protocol.
class TsoftenFacesFty : public TmidModifierFty {
public:
    TsoftenFacesFty() { setShouldClearCurrGroups(true); }

protected:
    int action(TmidBody* body, TmidComponent* faces) override {
        int name = 0;
        if (!getActiveGrpName(body, faces, kPolyGrpFace, name)) return -1;
        TpolyGeom& g = *body->polyGeom();
        TbitFieldFixedN faceBits, edgeBits;
        g.flagsFromGroup(kPolyGrpFace, name, faceBits);
        g.groupFace2Edge(faceBits, edgeBits, 1);
        for (uint32_t e = 0; e < g.nbEdge(); ++e)
            if (edgeBits.testBit(e)) g.setSmooth(e);
        g.markDirty(dirtyHardness);
        return 0;
    }
};

uint32_t hardEdgeCount(const TpolyGeom& g) {
    uint32_t n = 0;
    for (uint32_t e = 0; e < g.nbEdge(); ++e) n += g.isHard(e);
    return n;
}

int boxDemo() {
    TmidBody body;
    TmeshBoxFty box;
    box.setXSubdivide(2);
    box.setYSubdivide(2);
    box.setZSubdivide(2);
    box.setUVSetName("map1");
    box.setTexture(TmeshBoxFty::kSharedLayout);
    box.build(body);
    TpolyGeom& g = *body.polyGeom();
    printSummary("2 x 2 x 2 box", g);
    std::printf("  %u hard edges, %u UVs in \"map1\"\n", hardEdgeCount(g), g.nbUV(0));

    // The top side's four faces come right after the front's four.
    TmidFaceComponent top;
    top.addRange(4, 7);
    std::vector<std::string> text;
    top.asStrings("top", text);
    TsoftenFacesFty soften;
    const int result = soften.doAction(&body, &top);
    std::printf("softening %s: result %d, %u hard edges left, %u groups left\n", text.empty() ? "" : text[0].c_str(),
                result, hardEdgeCount(g), g.nbGroup());
    return result == 0 ? 0 : 1;
}

// One of each primitive shape at its default parameters, handed to a body as an application does.
void shapesDemo() {
    TmeshBallFty ball;
    TmeshConeFty cone;
    TmeshTorusFty torus;
    TmeshMeshFty plane;
    TmeshPrismFty prism;
    TpolyPipeFty pipe;
    TpolyHelixFty helix;
    TmeshSolidsFty solid;
    solid.setRadius(1.0f);
    const std::pair<const char*, TprimitiveFty*> shapes[] = {{"sphere", &ball},  {"cone", &cone},   {"torus", &torus},
                                                            {"plane", &plane},  {"prism", &prism}, {"pipe", &pipe},
                                                            {"helix", &helix}, {"soccer ball", &solid}};
    for (const auto& [label, shape] : shapes) {
        TmidBody body;
        shape->setUVSetName("map1");
        shape->build(body);
        printSummary(label, *body.polyGeom());
    }
}

int demo() {
    TpolyGeom grid;
    buildGrid(grid, 4, 3);
    printSummary("4 x 3 quad grid", grid);

    TpolyGeom shared(grid, kCompVertices);
    std::printf("a second record sharing its vertex store: %u references to the positions\n",
                grid.vertexStore()->fRefs.count());
    shapesDemo();
    return boxDemo();
}

int usage(FILE* out) {
    std::fprintf(out,
                 "usage: brindle <command> [options]\n"
                 "commands:\n"
                 "  demo      build records from built-in shapes and print what was built\n"
                 "  --help    show this text\n");
    return out == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr);
    std::string_view cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") return usage(stdout);
    if (cmd == "demo") return demo();
    std::fprintf(stderr, "brindle: unknown command '%s'\n", argv[1]);
    return usage(stderr);
}
