#pragma once

#include <cstdint>
#include <vector>

// Disjoint-set forest over dense ids 0..n-1, with path halving. The smaller root always stays the
// root, so that a class is named by its lowest member whatever order the joins come in.
class TunionFind {
public:
    void reset(uint32_t n) {
        fParent.resize(n);
        for (uint32_t i = 0; i < n; ++i) fParent[i] = i;
    }

    uint32_t find(uint32_t x) {
        while (fParent[x] != x) {
            fParent[x] = fParent[fParent[x]];
            x = fParent[x];
        }
        return x;
    }

    void join(uint32_t a, uint32_t b) {
        a = find(a);
        b = find(b);
        if (a < b)
            fParent[b] = a;
        else
            fParent[a] = b;
    }

private:
    std::vector<uint32_t> fParent;
};
