#include "stack/modelproperties.h"

#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

namespace {

using namespace stacktest;

Attributes attributes(const ModelProperties& p)
{
    Attributes a;
    if (p.definesGeometry())
        a["geometry"] = ModelProperties::toString(p.getGeometry());
    if (p.definesRenderingMode())
        a["rendering"] = ModelProperties::toString(p.getRenderingMode());
    if (p.definesOpacity())
        a["opacity"] = std::to_string(p.getOpacity());
    if (p.definesShininess())
        a["shininess"] = std::to_string(p.getShininess());
    if (p.definesQuadMeshWidth())
        a["width"] = std::to_string(p.getQuadMeshWidth());
    if (p.definesQuadMeshHeight())
        a["height"] = std::to_string(p.getQuadMeshHeight());
    if (p.definesEconomicRendering())
        a["economic"] = std::to_string(p.getEconomicRendering());
    if (p.definesBeginCapFlag())
        a["begin"] = std::to_string(p.getBeginCapFlag());
    if (p.definesEndCapFlag())
        a["end"] = std::to_string(p.getEndCapFlag());
    return a;
}

ModelProperties randomProperties(std::mt19937& rng)
{
    ModelProperties p;
    auto draw = [&](auto set, auto v0, auto v1) { drawAttribute(rng, set, v0, v1); };
    draw([&](MPrimitive g) { p.setGeometry(g); }, MPrimitive::Polygon, MPrimitive::Polypoint);
    draw([&](RenderingMode m) { p.setRenderingMode(m); }, RenderingMode::Dot, RenderingMode::Surface);
    draw([&](float v) { p.setOpacity(v); }, 10.0f, 255.0f);
    draw([&](float v) { p.setShininess(v); }, 1.0f, 32.0f);
    draw([&](unsigned v) { p.setQuadMeshWidth(v); }, 10u, 100u);
    draw([&](unsigned v) { p.setQuadMeshHeight(v); }, 10u, 100u);
    draw([&](bool v) { p.setEconomicRendering(v); }, false, true);
    draw([&](bool v) { p.setBeginCapFlag(v); }, false, true);
    draw([&](bool v) { p.setEndCapFlag(v); }, false, true);
    return p;
}

} // namespace

TEST(ModelProperties, TextFormsAndUndefinedCapFlags)
{
    for (MPrimitive g : {MPrimitive::Polygon, MPrimitive::Polyline, MPrimitive::Polypoint})
        EXPECT_EQ(ModelProperties::toPrimitive(ModelProperties::toString(g)), g);
    for (RenderingMode m : {RenderingMode::Dot, RenderingMode::Curve, RenderingMode::Wireframe, RenderingMode::Surface})
        EXPECT_EQ(ModelProperties::toRenderingMode(ModelProperties::toString(m)), m);
    EXPECT_EQ(ModelProperties::toString(RenderingMode::Wireframe), "Wireframe");
    EXPECT_EQ(ModelProperties::toPrimitive("polygon"), MPrimitive::Unknown);
    EXPECT_EQ(ModelProperties::toRenderingMode("SURFACE"), RenderingMode::Unknown);
    ModelProperties p;
    EXPECT_PLEXAN_THROW(p.getEndCapFlag(), ProgramError, "bool ModelProperties::getEndCapFlag() const",
                        "End cap flag: undefined attribute");
}

TEST(ModelProperties, SetOperationsAgreeWithAttributeMaps)
{
    std::mt19937 rng(11);
    for (int k = 0; k < 500; ++k) {
        const ModelProperties a = randomProperties(rng);
        const ModelProperties b = randomProperties(rng);
        const Attributes ma = attributes(a);
        const Attributes mb = attributes(b);

        ModelProperties updated(a);
        updated.update(b);
        EXPECT_EQ(attributes(updated), overlaid(ma, mb));

        ModelProperties common(a);
        common.intersection(b);
        EXPECT_EQ(attributes(common), agreeing(ma, mb));

        EXPECT_EQ(a != b, ma != mb);
    }
}
