#include <random>

#include "EditTestSupport.h"

using namespace edittest;

// Random splits, collapses and deletions on a grid and a box: after every step the converted
// record passes the consistency check, keeps every corner's UV and colour on its vertex, and keeps
// its Euler characteristic (none of these edits changes it).
TEST(EditRandom, EditsKeepRecordsValid) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        for (bool closed : {false, true}) {
            auto src = closed ? box() : grid(5);
            const int chi = closed ? 2 : 1;
            TpolyEditableGeom edit(src.get(), TpolyEditableGeom::kModeAll);
            std::mt19937 rng(seed);
            auto pick = [&](uint32_t n) { return uint32_t(rng() % n); };
            int done = 0;
            for (int step = 0; step < 150; ++step) {
                const uint32_t e = pick(edit.edgeCount());
                uint32_t ne, nv;
                switch (pick(8)) {
                    case 0:
                    case 1:
                    case 2:
                        done += edit.splitEdge(e, 0.25f + 0.5f * float(pick(100)) / 100, ne, nv);
                        break;
                    case 3:
                        done += edit.collapseEdge(e);
                        break;
                    case 4:
                    case 5:
                        done += edit.deleteEdge(e, pick(2) == 0);
                        break;
                    case 6:
                        done += edit.deleteVertex(pick(edit.vertexCount()));
                        break;
                    default:
                        edit.collapseFace(pick(edit.faces().idBound()));
                        break;
                }
                std::unique_ptr<TpolyGeom> out(edit.convert(true, true, nullptr));
                ASSERT_EQ(structuralErrors(*out), 0) << seed << " " << closed << " " << step;
                ASSERT_EQ(euler(*out), chi) << seed << " " << closed << " " << step;
                if (edit.faceCount() < 3) break;
            }
            EXPECT_TRUE(closed || done > 20) << seed;  // the box soon merges down to two faces
        }
    }
}
