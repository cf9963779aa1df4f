#include "statistics/fusion.h"

#include "stack/stackfixture.h"
#include "statisticstesting.h"

#include <algorithm>
#include <memory>

using namespace stacktest;
using statisticstesting::RecordingMonitor;

namespace {

// An elliptic outline of n integer points.
Points ellipse(double cx, double cy, double a, double b, int n)
{
    Points points;
    for (int i = 0; i < n; ++i) {
        const double t = 2 * statisticstesting::pi * i / n;
        points.emplace_back(static_cast<int>(std::lround(cx + a * std::cos(t))), static_cast<int>(std::lround(cy + b * std::sin(t))));
    }
    return points;
}

// One specimen: seven slices 6 units apart whose first registration turns
// and shifts the whole stack in its plane. A tapered, off-centre body and an
// arm (both outlined), a few spots, and a structure only the first specimen
// has.
std::unique_ptr<Stack> specimen(const std::string& name, int h, int v, float angle, bool extra)
{
    auto stack = std::make_unique<Stack>();
    stack->setName(name);
    stack->setDefaultRelativePosition(6.0f);
    for (int k = 0; k < 7; ++k)
        stack->addSlice(newSlice(name + std::to_string(k), 200, 200));
    stack->getSlice(0)->setRegistration(Registration(h, v, angle));
    auto* body = new Model("body");
    auto* arm = new Model("arm");
    auto* spots = new Model("spots");
    spots->getProperties().setGeometry(MPrimitive::Polypoint);
    for (Model* m : {body, arm, spots})
        stack->addModel(m);
    for (int k = 0; k < 7; ++k)
        newItem(body, stack->getSlice(k), ellipse(100 + 3 * k + 0.2 * k * k, 100, 30 + 2 * k, 18, 40));
    for (int k = 2; k < 6; ++k)
        newItem(arm, stack->getSlice(k), ellipse(150, 120 + k, 8, 5, 20));
    newItem(spots, stack->getSlice(3), {{90, 95}, {110, 104}, {100, 90}});
    newItem(spots, stack->getSlice(5), {{95, 99}});
    if (extra) {
        auto* other = new Model("other");
        stack->addModel(other);
        for (int k : {1, 2})
            newItem(other, stack->getSlice(k), ellipse(60, 60, 5, 5, 12));
    }
    return stack;
}

struct Specimens {
    std::vector<std::unique_ptr<Stack>> stacks;
    FusionConfig<float> config;
    Specimens()
    {
        stacks.push_back(specimen("first", 0, 0, 0.0f, true));
        stacks.push_back(specimen("second", 12, -7, 8.0f, false));
        stacks.push_back(specimen("third", -5, 9, -6.0f, false));
        config.name = "test fusion";
        for (const auto& stack : stacks)
            config.stacks.push_back(stack.get());
        config.surfaceStructures.push_back({"body", true, 8, 24, -1.0f});
        config.surfaceStructures.push_back({"arm", true, 5, 12, -1.0f});
    }
};

// A monitor that cancels the run at its first progress step.
class CancellingMonitor : public RecordingMonitor {
protected:
    void subjectProgressed(unsigned int i, unsigned int n) override
    {
        RecordingMonitor::subjectProgressed(i, n);
        currentSubject()->cancel();
    }
};

void expectInLog(const std::string& log, const std::vector<std::string>& parts)
{
    for (const std::string& part : parts)
        EXPECT_NE(log.find(part), std::string::npos) << part;
}

} // namespace

// The specimens differ by rigid moves of the same integer outlines, so
// alignment and global registration put them on one another.
TEST(Fusion, AlignmentAndGlobalRegistrationUndoTheSpecimenMoves)
{
    Specimens s;
    Fusion<float> fusion;
    fusion.setConfig(s.config);
    s.config.strategy.alignment = true;
    s.config.strategy.registration = true;
    RecordingMonitor monitor;
    fusion.addMonitor(monitor);
    fusion.setConfig(s.config);
    ASSERT_TRUE(fusion.run());

    // One entry per structure name, sorted: arm, body, other, spots.
    const auto& sets = fusion.getShapeSets();
    ASSERT_EQ(sets.size(), 3u);
    for (const ShapeSet<float>* set : sets) {
        ASSERT_EQ(set->getNumShapes(), 4);
        const auto* arm = dynamic_cast<const QuadMesh<float>*>((*set)[0]);
        const auto* body = dynamic_cast<const QuadMesh<float>*>((*set)[1]);
        const auto* spots = dynamic_cast<const VertexStack<float>*>((*set)[3]);
        ASSERT_TRUE(arm && body && spots);
        EXPECT_EQ(body->getName(), "body");
        EXPECT_TRUE(body->getHeight() == 8 && body->getWidth() == 24 && arm->getHeight() == 5);
        EXPECT_TRUE(body->hasBeginCap() && body->hasEndCap() && spots->getNumVertices() == 4);
        EXPECT_TRUE(set->isReference(0) && set->isReference(1) && !set->isReference(3));
    }
    EXPECT_NE((*sets[0])[2], nullptr);
    EXPECT_EQ((*sets[1])[2], nullptr);
    ASSERT_NE(fusion.getMeanShapeSet(), nullptr);
    EXPECT_NE((*fusion.getMeanShapeSet())[2], nullptr); // the mean of the one specimen holding it
    for (int i = 1; i < 3; ++i)
        for (int k : {0, 1, 3})
            EXPECT_LT((*sets[static_cast<std::size_t>(i)])[k]->rmsDistance(*(*sets[0])[k]), 0.05f) << i << " " << k;
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(fusion.getDistances()[i], 0.05f);

    const std::string log = fusion.getLog();
    EXPECT_EQ(log.rfind("<b>Spatial normalization summary</b><br >Name: <i>test fusion</i><br >", 0), 0u);
    expectInLog(log, {"<br ><b>Stacks</b><br >first<br >second<br >third<br >Total 3 stacks<br >",
                      "<i>body</i> - Resampling: 24 x 8<br >",
                      "<br ><b>Alignment</b><br >Method: principal axes alignement<br ><br >Error before alignment: ",
                      "Method: joint registration/averaging global registration<br >"});
    EXPECT_EQ(monitor.texts, (std::vector<std::string>{"Initializing shape sets...", "Aligning shapes...",
                                                       "Registering shapes...", "Averaging shapes...",
                                                       "Normalization completed"}));
    ASSERT_FALSE(monitor.steps.empty());
    EXPECT_EQ(monitor.steps.front(), std::make_pair(0u, 100u)); // alignment, first set
    EXPECT_EQ(monitor.started, std::vector<std::string>{"Aligning shapes..."});
}

TEST(Fusion, PairwiseRegistrationAndWarpingOntoTheMean)
{
    for (const auto model : {FusionWarpingModel::Polynomials, FusionWarpingModel::ThinPlateSplines}) {
        Specimens s;
        s.config.strategy.registration = true;
        s.config.strategy.registrationAlgorithm = FusionRegistrationAlgorithm::Pairwise;
        s.config.strategy.referenceStack = "second";
        s.config.strategy.warping = true;
        s.config.strategy.warpingModel = model;
        s.config.strategy.polynomialDegree = 1;
        Fusion<float> fusion;
        fusion.setConfig(s.config);
        ASSERT_TRUE(fusion.run());
        const bool polynomials = model == FusionWarpingModel::Polynomials;
        expectInLog(fusion.getLog(),
                    {"Method: registration of each stack on a template<br >Template stack: <i>second</i><br ><br >"
                     "Error before registration ",
                     "<br ><b>Warping</b><br >Error before warping: ",
                     polynomials ? "Method: polynomial deformations of degree 1<br >" : "Method: thin-plate splines<br >",
                     polynomials ? "Percentage error: 0<br >Jacobian errors: 0<br >Evaluations: " : "Error after warping: "});
        for (int i = 0; i < 3; ++i)
            EXPECT_LT(fusion.getDistances()[i], 0.05f);
    }
}

TEST(Fusion, CancellingClearsThePartialResults)
{
    Specimens s;
    s.config.strategy.alignment = true;
    s.config.strategy.registration = true;
    Fusion<float> fusion;
    CancellingMonitor monitor;
    fusion.addMonitor(monitor);
    fusion.setConfig(s.config);
    EXPECT_FALSE(fusion.run());
    EXPECT_TRUE(fusion.getShapeSets().empty());
    EXPECT_EQ(fusion.getMeanShapeSet(), nullptr);
    EXPECT_EQ(monitor.steps.size(), 1u);
    EXPECT_EQ(std::count(monitor.texts.begin(), monitor.texts.end(), "Registering shapes..."), 0);
    // A new run starts afresh, and leaves the stacks as they were: the
    // same run again gives the same shapes.
    fusion.removeMonitor(monitor);
    ASSERT_TRUE(fusion.run());
    ASSERT_EQ(fusion.getShapeSets().size(), 3u);
    const Vector<float> body = (*fusion.getShapeSets()[1])[1]->toVector();
    ASSERT_TRUE(fusion.run());
    EXPECT_TRUE((*fusion.getShapeSets()[1])[1]->toVector() == body);
}
