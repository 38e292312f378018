#include <gtest/gtest.h>

#include <random>

#include "brindle/brindle.h"

namespace {
nVector vec(std::initializer_list<double> values) {
    nVector v(uint32_t(values.size()));
    uint32_t i = 0;
    for (double x : values) v[i++] = x;
    return v;
}
}  // namespace

TEST(DenseAlgebra, InverseOfWellAndIllConditionedMatrices) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (uint32_t n : {3u, 6u, 9u}) {
        nMatrix m(n);
        for (uint32_t r = 0; r < n; ++r)
            for (uint32_t c = 0; c < n; ++c) m(r, c) = u(rng) + (r == c ? 3.0 : 0.0);
        nMatrix inv;
        ASSERT_TRUE(m.inverse(inv));
        const nMatrix id = m * inv;
        for (uint32_t r = 0; r < n; ++r)
            for (uint32_t c = 0; c < n; ++c) EXPECT_NEAR(id(r, c), r == c ? 1.0 : 0.0, 1e-12);
    }
    nMatrix flat = nMatrix::outer(vec({0, 0, 1}), vec({0, 0, 1}));  // one plane: rank 1
    nMatrix inv;
    EXPECT_FALSE(flat.inverse(inv));
    EXPECT_FALSE(nMatrix(3).inverse(inv));
    nVector v = vec({3, 4, 0});
    EXPECT_DOUBLE_EQ(v.normalize(), 5.0);
    EXPECT_DOUBLE_EQ(v.dot(vec({1, 0, 0})), 0.6);
}

TEST(Quadric, PlaneDistanceAndOptimalPoint) {
    // The plane z = 1: zero on it, the squared distance off it.
    TquadricN q(vec({0, 0, 1}), vec({1, 0, 1}), vec({0, 2, 1}), 1.0);
    EXPECT_NEAR(q.evaluate(vec({5, -3, 1})), 0.0, 1e-12);
    EXPECT_NEAR(q.evaluate(vec({0, 0, 4})), 9.0, 1e-12);
    nVector at;
    EXPECT_FALSE(q.optimize(at));  // one plane has no single minimiser
    // Three planes x = 1, y = 2, z = 1 meet in one point; weights scale the error.
    TquadricN x(vec({1, 0, 0}), vec({1, 1, 0}), vec({1, 0, 1}), 1.0);
    TquadricN y(vec({0, 2, 0}), vec({1, 2, 0}), vec({0, 2, 1}), 1.0);
    q += x;
    q += y;
    ASSERT_TRUE(q.optimize(at));
    EXPECT_NEAR(at[0], 1.0, 1e-12);
    EXPECT_NEAR(at[1], 2.0, 1e-12);
    EXPECT_NEAR(at[2], 1.0, 1e-12);
    EXPECT_NEAR(q.area(), 3.0, 1e-12);
    q *= 2.0;
    EXPECT_NEAR(q.evaluate(vec({1, 2, 3})), 8.0, 1e-12);
    // A six-dimensional quadric through points that carry UVs: the plane holds the UVs' linear
    // interpolation, so the optimum of it plus a pin reproduces a point of the face.
    TquadricNArray array;
    array.create(6, 2);
    array.add(0, TquadricN(vec({0, 0, 0, 0, 0, 0}), vec({1, 0, 0, 1, 0, 0}), vec({0, 1, 0, 0, 1, 0}), 1.0));
    array.add(1, TquadricN(vec({0, 0, 0, 0, 0, 0}), vec({1, 0, 0, 1, 0, 0}), vec({0, 1, 0, 0, 1, 0}), 1.0));
    TquadricN sum;
    array.sum(0, 1, sum);
    EXPECT_NEAR(sum.evaluate(vec({0.25, 0.5, 0, 0.25, 0.5, 0})), 0.0, 1e-12);
    EXPECT_NEAR(sum.evaluate(vec({0.25, 0.5, 0, 0.25, 0.5, 1})), 2.0, 1e-12);
    EXPECT_NEAR(array.area(1), 1.0, 1e-12);
}

TEST(EdgeHeap, OrderTiesAndUpdatesInPlace) {
    TqslimEdgeIndexedHeap heap;
    heap.reserve_heap_size(8, 8);
    auto rec = [](uint32_t e, double cost, double area) {
        TqSlimEdge r;
        r.edge = e;
        r.cost = cost;
        r.area = area;
        r.position[0] = float(e);
        return r;
    };
    heap.add_to_heap(rec(0, 1.0, 5.0));
    heap.add_to_heap(rec(1, 1.0 + 1e-12, 2.0));  // equal within 1e-10: the smaller area first
    heap.add_to_heap(rec(2, 0.5, 9.0));
    heap.add_to_heap(rec(3, 2.0, 0.0));
    heap.update_heap(rec(3, 0.1, 0.0));  // moved up in place
    heap.update_heap(rec(2, 3.0, 0.0));  // and down
    EXPECT_EQ(heap.size(), 4u);
    EXPECT_TRUE(heap.remove(0));
    EXPECT_FALSE(heap.remove(0));
    heap.add_to_heap(rec(0, 1.0, 1.0));
    TqSlimEdge out;
    std::vector<uint32_t> order;
    while (heap.pop_heap(out)) {
        order.push_back(out.edge);
        EXPECT_EQ(out.position[0], float(out.edge));
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{3, 0, 1, 2}));
    EXPECT_FALSE(heap.contains(3));

    heap.reserve_heap_size(3, 3);
    heap.set_heap_size(3);
    heap.set_element(0, rec(0, 3, 0));
    heap.set_element(1, rec(1, 2, 0));
    heap.set_element(2, rec(2, 1, 0));
    heap.make_heap();
    EXPECT_EQ(heap.top().edge, 2u);
}
