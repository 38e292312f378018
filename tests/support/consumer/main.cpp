// The smallest program a user of the installed package writes.
#include <brindle/brindle.h>
#include <cstdio>
int main() {
    TpolyGeom g;
    g.appendVertex(1, 2, 3);
    std::printf("%u\n", g.nbVertex());
}
