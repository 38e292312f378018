#include <gtest/gtest.h>

#include "reduce/ReduceTestSupport.h"

using namespace reducetest;

TEST(Decimate, ClosedMeshesReachTheirFaceCountExactly) {
    for (const char* name : {"cow.obj"}) {
        for (double pct : {50.0, 10.0}) {
            ReduceRun run(sample(name));
            ASSERT_TRUE(run.body.polyGeom());
            const uint32_t f0 = run.geom().nbFace();
            TpolyDecimateFty fty;
            fty.setPercentage(pct);
            EXPECT_EQ(run.reduce(fty), 0);
            const uint32_t goal = f0 - uint32_t(f0 * pct * 0.01);
            EXPECT_LE(run.geom().nbFace(), goal) << name << " " << pct;
            EXPECT_GE(run.geom().nbFace() + 1, goal) << name << " " << pct;
            EXPECT_EQ(run.geom().checkObject(0x7), 0u);
            EXPECT_EQ(fty.percentageDone(), 100.0);
        }
    }
}
