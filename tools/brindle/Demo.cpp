// brindle demo: builds records from built-in shapes, runs one operation, prints what was built and
// writes every primitive as OBJ, with its picture as PNG, into the folder given or a new one it names.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "Commands.h"
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
    std::printf("%s: %u vertices, %u edges (%u on the border), %u faces, %u corners\n", label, g.nbVertex(), g.nbEdge(),
                border, g.nbFace(), g.faceDescLength());
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

// Builds every built-in shape at its default parameters, as an application does, writes it as
// OBJ into dir and renders that file beside it as PNG, as a user would look at it.
int writeShapes(const std::string& dir) {
    const char* shapes[] = {"box", "sphere", "cone", "torus", "plane", "prism", "pipe", "helix", "solid"};
    for (const char* shape : shapes) {
        std::string path = dir + "/" + shape + ".obj", picture = dir + "/" + shape + ".png";
        char* args[] = {const_cast<char*>("brindle"), const_cast<char*>("primitive"), const_cast<char*>(shape),
                        const_cast<char*>("-o"), path.data()};
        char* renderArgs[] = {const_cast<char*>("brindle"), const_cast<char*>("render"), path.data(), picture.data(),
                              const_cast<char*>("--size"),  const_cast<char*>("256x256")};
        if (runPrimitive(5, args) != 0 || runRender(6, renderArgs) != 0) return 1;
    }
    return 0;
}

// Writes into the given folder (made when missing), or into a new folder under /tmp when none is given.
int demo(const char* folder) {
    TpolyGeom grid;
    buildGrid(grid, 4, 3);
    printSummary("4 x 3 quad grid", grid);

    TpolyGeom shared(grid, kCompVertices);
    std::printf("a second record sharing its vertex store: %u references to the positions\n",
                grid.vertexStore()->fRefs.count());
    if (boxDemo() != 0) return 1;
    char made[] = "/tmp/brindle-demo-XXXXXX";
    const char* dir = folder;
    if (!dir)
        dir = mkdtemp(made);
    else if (mkdir(dir, 0777) != 0 && errno != EEXIST)
        dir = nullptr;
    if (!dir) {
        std::perror("brindle demo: cannot make a folder");
        return 1;
    }
    std::printf("writing every primitive as OBJ and PNG into %s\n", dir);
    return writeShapes(dir);
}

}  // namespace

int runDemo(int argc, char** argv) {
    if (wantsHelp(argc, argv)) {
        std::printf(
            "usage: brindle demo [folder]\nBuilds a grid, one of each primitive and a box softened "
            "through an operation, prints their counts and writes every primitive as OBJ and its picture "
            "as PNG into the folder, or into a new folder under /tmp, which it names.\n");
        return 0;
    }
    return demo(argc > 2 ? argv[2] : nullptr);
}
