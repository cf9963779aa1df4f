#include "stack/morphometrytable.h"

#include "stack/modelitemgeometry.h"
#include "stack/modelmorphometry.h"
#include "stackfixture.h"
#include "support/expect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Cell = MorphometryTable::Cell;
using stacktest::Points;

using stackfiletest::CommaDecimals;
using stackfiletest::CommaLocale;

// Slices 100 x 100 of pixels 0.5 x 0.25 placed 2 apart, and the models.
class TableStack {
public:
    explicit TableStack(int slices)
    {
        for (int k = 0; k < slices; ++k) {
            StackSlice* slice = stacktest::newSlice("s" + std::to_string(k), 100, 100, 0.5f, 0.25f);
            slice->setRelativePosition(2);
            stack.addSlice(slice);
        }
    }
    Model* addModel(const std::string& name, MPrimitive geometry) { return stacktest::newModel(stack, name, geometry); }
    Stack stack;
};

const Points square = {{40, 40}, {60, 40}, {60, 60}, {40, 60}};

TEST(MorphometryTable, ModelTablesOfEachGeometry)
{
    TableStack t(3);
    Model* prism = t.addModel("prism", MPrimitive::Polygon);
    stacktest::newItem(prism, t.stack.getSlice(0), square);
    stacktest::newItem(prism, t.stack.getSlice(1), square);
    Model* branching = t.addModel("branching", MPrimitive::Polygon);
    stacktest::newItem(branching, t.stack.getSlice(2), square);
    stacktest::newItem(branching, t.stack.getSlice(2), {{1, 1}, {5, 1}, {5, 5}});
    t.addModel("nothing yet", MPrimitive::Polygon);
    Model* wall = t.addModel("wall", MPrimitive::Polyline);
    stacktest::newItem(wall, t.stack.getSlice(0), {{10, 50}, {90, 50}});
    Model* dots = t.addModel("dots", MPrimitive::Polypoint);
    stacktest::newItem(dots, t.stack.getSlice(1), {{10, 10}, {20, 30}});

    const MorphometryTable polygons = MorphometryTable::modelTable(t.stack, MPrimitive::Polygon);
    EXPECT_EQ(polygons.getHeaders(),
              (std::vector<std::string>{"Model", "Vertices", "AverageX\n[µm]", "AverageY\n[µm]", "AverageZ\n[µm]",
                                        "Contours", "Area\n[µm^2]", "Volume\n[µm^3]"}));
    // Models without items are left out.
    ASSERT_EQ(polygons.getNumRows(), 2);
    // The prism: a 10 x 5 rectangle on slices 0 and 2 apart.
    EXPECT_EQ(polygons.getRow(0), (std::vector<Cell>{Cell::text("prism"), Cell::integer(8), Cell::real(0),
                                                     Cell::real(0), Cell::real(1), Cell::integer(2),
                                                     Cell::real(2 * (10 + 5) * 2), Cell::real(2 * 2 * 50)}));
    EXPECT_EQ(polygons.getCell(1, 0).toString() + polygons.getCell(1, 6).toString() +
                  polygons.getCell(1, 7).toString(),
              "branchingNANA");

    const MorphometryTable lines = MorphometryTable::modelTable(t.stack, MPrimitive::Polyline);
    const std::vector<std::string>& headers = polygons.getHeaders();
    EXPECT_EQ(lines.getHeaders(), std::vector<std::string>(headers.begin(), headers.end() - 1)); // no volume
    ASSERT_EQ(lines.getNumRows(), 1);
    EXPECT_EQ(lines.getCell(0, 6).toString(), "0"); // one line has no surface

    t.stack.setLengthUnit(LengthUnit(-3));
    const MorphometryTable points = MorphometryTable::modelTable(t.stack, MPrimitive::Polypoint);
    EXPECT_EQ(points.getHeaders(),
              (std::vector<std::string>{"Model", "Vertices", "AverageX\n[mm]", "AverageY\n[mm]", "AverageZ\n[mm]"}));
    ASSERT_EQ(points.getNumRows(), 1);
    // The window and the batch tool show the measures of ModelMorphometry.
    ModelMorphometry m;
    m.setModel(*dots);
    m.run();
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(points.getCell(0, 2 + k), Cell::real(m.getIsobarycenter()[k]));

    EXPECT_PLEXAN_THROW(MorphometryTable::modelTable(t.stack, MPrimitive::Unknown), ValueError,
                        "std::vector<std::string> MorphometryTable::modelHeaders(MPrimitive, const LengthUnit&)",
                        "Unknown model geometry");
}

// Item rows follow the slices of the stack, whatever the order in which
// the items were drawn, with measures in physical units computed here from
// the pixels.
TEST(MorphometryTable, ItemTablesInPhysicalUnits)
{
    TableStack t(3);
    Model* outline = t.addModel("outline", MPrimitive::Polygon);
    const Points triangle = {{10, 20}, {30, 20}, {10, 60}};
    stacktest::newItem(outline, t.stack.getSlice(2), triangle);
    stacktest::newItem(outline, t.stack.getSlice(0), square);
    const MorphometryTable polygons = MorphometryTable::itemTable(t.stack, *outline);
    EXPECT_EQ(polygons.getHeaders(), (std::vector<std::string>{"Slice", "Vertices", "Length\n[µm]", "Area\n[µm^2]",
                                                               "AverageX\n[µm]", "AverageY\n[µm]", "Z\n[µm]"}));
    ASSERT_EQ(polygons.getNumRows(), 2);
    EXPECT_EQ(polygons.getRow(0), (std::vector<Cell>{Cell::text("s0"), Cell::integer(4), Cell::real(2 * (10 + 5)),
                                                     Cell::real(50), Cell::real(25), Cell::real(12.5),
                                                     Cell::real(0)}));
    // The right triangle of legs 10 and 10 (20 x 0.5, 40 x 0.25).
    const double hypotenuse = std::hypot(10.0, 10.0);
    EXPECT_EQ(polygons.getCell(1, 0).toString(), "s2");
    EXPECT_DOUBLE_EQ(polygons.getCell(1, 2).getValue(), 20 + hypotenuse);
    EXPECT_DOUBLE_EQ(polygons.getCell(1, 3).getValue(), (20 * 40 / 2.0) * 0.5 * 0.25);
    EXPECT_DOUBLE_EQ(polygons.getCell(1, 4).getValue(), (50 / 3.0) * 0.5);
    EXPECT_DOUBLE_EQ(polygons.getCell(1, 5).getValue(), (100 / 3.0) * 0.25);
    EXPECT_DOUBLE_EQ(polygons.getCell(1, 6).getValue(), 4);

    Model* line = t.addModel("line", MPrimitive::Polyline);
    stacktest::newItem(line, t.stack.getSlice(1), triangle);
    const MorphometryTable lines = MorphometryTable::itemTable(t.stack, *line);
    EXPECT_DOUBLE_EQ(lines.getCell(0, 2).getValue(), 10 + hypotenuse); // open: no closing edge
    EXPECT_DOUBLE_EQ(lines.getCell(0, 5).getValue(), 2);

    Model* dots = t.addModel("dots", MPrimitive::Polypoint);
    stacktest::newItem(dots, t.stack.getSlice(1), {{10, 10}, {20, 30}});
    stacktest::newItem(dots, t.stack.getSlice(0), {{4, 8}});
    EXPECT_THROW(ModelItemGeometry().run(), UsageError); // no item to measure
    const MorphometryTable points = MorphometryTable::itemTable(t.stack, *dots);
    EXPECT_EQ(points.getHeaders(), (std::vector<std::string>{"Slice", "X\n[µm]", "Y\n[µm]", "Z\n[µm]"}));
    ASSERT_EQ(points.getNumRows(), 3);
    EXPECT_EQ(points.getRow(0), (std::vector<Cell>{Cell::text("s0"), Cell::real(2), Cell::real(2), Cell::real(0)}));
    EXPECT_EQ(points.getRow(1), (std::vector<Cell>{Cell::text("s1"), Cell::real(5), Cell::real(2.5), Cell::real(2)}));
    EXPECT_EQ(points.getRow(2), (std::vector<Cell>{Cell::text("s1"), Cell::real(10), Cell::real(7.5), Cell::real(2)}));
}

// Text output: one header line (line breaks as spaces), tabs or commas, the
// numbers in their "C" form whatever the global or the stream's locale.
TEST(MorphometryTable, TabAndCommaSeparatedText)
{
    MorphometryTable table({"Model", MorphometryTable::header("Area", LengthUnit(-6), 2), "Contours"});
    table.addRow({Cell::text("a,b \"q\""), Cell::measure(1234.5), Cell::integer(12345)});
    table.addRow({Cell::text("x\ty"), Cell::measure(-1), Cell::integer(-3)});
    const std::string tsv = "Model\tArea [µm^2]\tContours\n"
                            "a,b \"q\"\t1234.5\t12345\n"
                            "x y\tNA\t-3\n";
    const std::string csv = "Model,Area [µm^2],Contours\n"
                            "\"a,b \"\"q\"\"\",1234.5,12345\n"
                            "x\ty,NA,-3\n";
    EXPECT_EQ(table.toTsv(), tsv);
    EXPECT_EQ(table.toCsv(), csv);

    const CommaLocale comma;
    std::ostringstream stream;
    stream.imbue(std::locale(std::locale::classic(), new CommaDecimals));
    table.writeTsv(stream);
    EXPECT_EQ(stream.str(), tsv);
    EXPECT_EQ(table.toCsv(), csv);

    EXPECT_PLEXAN_THROW(table.addRow({Cell::text("short")}), SizeError,
                        "void MorphometryTable::addRow(const std::vector<Cell>&)", "Wrong number of cells");
}

TEST(MorphometryTable, NumbersReadBackExactlyOrToTheirDigits)
{
    EXPECT_EQ(Cell::real(1234567).toString(), "1234567");
    EXPECT_EQ(Cell::real(1234567).toString(4), "1.235e+06");
    EXPECT_EQ(Cell::measure(0).toString() + Cell::measure(-0.5).toString(), "0NA");

    const CommaLocale comma;
    std::mt19937_64 rng(8);
    std::uniform_real_distribution<double> mantissa(-10, 10);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 2000; ++i) {
        const double x = mantissa(rng) * std::pow(10.0, exponent(rng));
        const std::string text = Cell::real(x).toString();
        EXPECT_EQ(text.find(','), std::string::npos) << text;
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        double back = 0;
        in >> back;
        EXPECT_EQ(back, x) << text;
    }

    MorphometryTable table({"x"});
    table.addRow({Cell::real(2.0 / 3)});
    table.setPrecision(3);
    EXPECT_EQ(table.toTsv(), "x\n0.667\n");
}

} // namespace
