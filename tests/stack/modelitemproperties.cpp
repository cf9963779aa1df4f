#include "stack/modelitemproperties.h"

#include "stackfixture.h"

#include <gtest/gtest.h>

namespace {

using namespace stacktest;

Attributes attributes(const ModelItemProperties& p)
{
    Attributes a;
    if (p.definesColor()) {
        const Vector<int> c = p.getColor();
        a["color"] = std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]);
    }
    if (p.definesLineWidth())
        a["line"] = std::to_string(p.getLineWidth());
    if (p.definesPointSize())
        a["point"] = std::to_string(p.getPointSize());
    if (p.definesVertexSymbol())
        a["symbol"] = ModelItemProperties::toString(p.getVertexSymbol());
    if (p.definesFilled())
        a["filled"] = std::to_string(p.isFilled());
    if (p.definesVisible())
        a["visible"] = std::to_string(p.isVisible());
    return a;
}

ModelItemProperties randomProperties(std::mt19937& rng)
{
    ModelItemProperties p;
    auto draw = [&](auto set, auto v0, auto v1) { drawAttribute(rng, set, v0, v1); };
    draw([&](int r) { p.setColor(r, 0, 255 - r); }, 0, 255);
    draw([&](float v) { p.setLineWidth(v); }, 1.0f, 2.5f);
    draw([&](float v) { p.setPointSize(v); }, 1.0f, 3.0f);
    draw([&](VertexSymbol s) { p.setVertexSymbol(s); }, VertexSymbol::Cube, VertexSymbol::Sphere);
    draw([&](bool v) { p.setFilled(v); }, false, true);
    draw([&](bool v) { p.setVisible(v); }, false, true);
    return p;
}

} // namespace

TEST(ModelItemProperties, VertexSymbolTexts)
{
    const char* names[] = {"Cube", "Dot", "Diamond", "Sphere", "Tetrahedron"};
    for (int code = 0; code < 5; ++code)
        EXPECT_EQ(ModelItemProperties::toString(ModelItemProperties::toVertexSymbol(names[code])), names[code]);
    EXPECT_EQ(ModelItemProperties::toVertexSymbol("sphere"), VertexSymbol::Unknown);
}

TEST(ModelItemProperties, SetOperationsAgreeWithAttributeMaps)
{
    std::mt19937 rng(5);
    for (int k = 0; k < 500; ++k) {
        const ModelItemProperties a = randomProperties(rng);
        const ModelItemProperties b = randomProperties(rng);
        const Attributes ma = attributes(a);
        const Attributes mb = attributes(b);

        EXPECT_EQ(attributes(a + b), overlaid(ma, mb));
        ModelItemProperties common(a);
        common.intersection(b);
        EXPECT_EQ(attributes(common), agreeing(ma, mb));
        EXPECT_EQ(attributes(a - b), agreeing(ma, mb, false));
        // What differs, laid over what is shared, rebuilds the left side.
        EXPECT_EQ(common + (a - b), a);

        EXPECT_EQ(a == b, ma == mb);
    }
}
