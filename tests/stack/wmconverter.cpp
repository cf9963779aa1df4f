#include "stack/wmconverter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

TEST(WMConverter, CornersCorrespondAndRoundTripsHold)
{
    std::mt19937 rng(31);
    std::uniform_int_distribution<int> origin(-50, 50), size(2, 400);
    for (int run = 0; run < 300; ++run) {
        WMConverter c;
        const int mw = size(rng), mh = size(rng);
        // A view at least as large as the image: every image pixel has its own
        // view pixel and comes back unchanged.
        const int ww = mw + size(rng) - 2, wh = mh + size(rng) - 2;
        const int wx = origin(rng), wy = origin(rng), mx = origin(rng), my = origin(rng);
        c.setWorld(wx, wy, ww, wh);
        c.setModel(mx, my, mw, mh);
        EXPECT_EQ(c.xToModel(wx), mx);
        EXPECT_EQ(c.xToModel(wx + ww - 1), mx + mw - 1);
        EXPECT_EQ(c.yToWorld(my + mh - 1), wy + wh - 1);
        for (int x = mx; x < mx + mw; x += 1 + mw / 20)
            EXPECT_EQ(c.xToModel(c.xToWorld(x)), x);
        for (int y = my; y < my + mh; y += 1 + mh / 20)
            EXPECT_EQ(c.yToModel(c.yToWorld(y)), y);
        // A view pixel maps to the nearest image pixel.
        for (int x = wx; x < wx + ww; x += 1 + ww / 20) {
            const double exact = double(x - wx) * (mw - 1) / (ww - 1) + mx;
            EXPECT_LE(std::fabs(c.xToModel(x) - exact), 0.5 + 1e-4);
        }

        const Vector<int> p{mx + mw / 3, my + mh / 2};
        EXPECT_EQ(c.toModel(c.toWorld(p)), p);
        const BoundingBox<int> box(Vector<int>{mx, my}, Vector<int>{mx + mw - 1, my + mh - 1});
        EXPECT_EQ(c.toModel(c.toWorld(box)).getVertex2(), box.getVertex2());
        Vertices<int> v(2, 0, 0, 0);
        v.append(p);
        v.append(box.getVertex2());
        const Vertices<int> w = c.toModel(c.toWorld(v));
        EXPECT_EQ(w[1], box.getVertex2());
    }
}

TEST(WMConverter, RegistrationsAndLengths)
{
    WMConverter c;
    c.setWorld(0, 0, 201, 101);
    c.setModel(0, 0, 401, 201);
    const Registration r = c.toModel(Registration(10, -7, 33.5f));
    EXPECT_EQ(r.getHorizontalShift(), 20);
    // floor(-14 + 0.5) = -14.
    EXPECT_EQ(r.getVerticalShift(), -14);
    EXPECT_FLOAT_EQ(r.getRotationAngle(), 33.5f);
    EXPECT_EQ(c.toWorld(r), Registration(10, -7, 33.5f));
    // Lengths scale by the widths, in integer division.
    EXPECT_EQ(c.lengthToModel(10), 401u * 10u / 201u);
    EXPECT_EQ(c.lengthToWorld(10), 201u * 10u / 401u);
    // A fresh converter is all zeros and converts without dividing by zero.
    EXPECT_EQ(WMConverter().lengthToWorld(5), 0u);
}
