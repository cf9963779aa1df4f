#pragma once
// MorphometryTable: a table of measures as plain data, so that the analysis
// window and the batch tool show and write the same tables from the same
// code. Columns have headers; a header that carries a unit is its label, a
// line break and the unit in brackets ("Area\n[µm^2]"). Rows are lists of
// cells: texts (names), integers (counts), reals, and measures that could
// not be made, shown as "NA".
//
// The two tables of the morphometry:
// - the model table, one row per model of one geometry that has items (in
//   the stack's model order): "Model", "Vertices", "AverageX", "AverageY",
//   "AverageZ", then "Contours" for polygon and polyline models, "Area" for
//   both and "Volume" for polygons; a negative area or volume is "NA". Asked
//   for a given surface triangulation (ModelMorphometry::Surface), polygon
//   and polyline tables end with a "Triangulation" column naming it
//   ("matched" or "literal");
// - the item table of one model, one row per item, slices in stack order
//   (items of one slice in the slice's order), in physical units: polygons
//   "Slice", "Vertices", "Length", "Area", "AverageX", "AverageY", "Z";
//   polylines the same without "Area"; point sets one row per vertex with
//   "Slice", "X", "Y", "Z". The slice column holds the slice's name and the
//   area is the outline's signed area (negative for a clockwise outline).
//
// Text output (TSV or CSV) writes one line per row after one line of
// headers, each header's line break written as a space. Numbers are written
// the same whatever the locale ("C" forms: a point for decimals, no
// grouping), by default in the shortest form that reads back to the same
// double, or with a given number of significant digits.

#include "image/lengthunit.h"
#include "stack/modelmorphometry.h"
#include "stack/modelproperties.h"

#include <iosfwd>
#include <string>
#include <vector>

class Model;
class Stack;

class MorphometryTable {
public:
    class Cell {
    public:
        enum Kind { Text, Integer, Real, Missing };

        Cell() = default;
        static Cell text(const std::string& text);
        static Cell integer(long long value);
        static Cell real(double value);
        // A measure that is negative when it could not be made: Missing then.
        static Cell measure(double value);
        static Cell missing();

        Kind getKind() const { return m_kind; }
        // The number of an Integer or Real cell (a Missing measure keeps its
        // value); 0 for a text.
        double getValue() const { return m_value; }
        // The text as shown: the text itself, the number, or "NA".
        std::string toString(int precision = 0) const;

        bool operator==(const Cell& other) const = default;

    private:
        Kind m_kind = Missing;
        double m_value = 0.0;
        std::string m_text;
    };

    MorphometryTable() = default;
    explicit MorphometryTable(const std::vector<std::string>& headers) : m_headers(headers) {}

    // label + "\n[" + unit symbol + "]", "^2]" for power 2, "^3]" for power
    // 3; the label alone for power 0.
    static std::string header(const std::string& label, const LengthUnit& unit, int power = 1);

    const std::vector<std::string>& getHeaders() const { return m_headers; }
    int getNumColumns() const { return static_cast<int>(m_headers.size()); }
    int getNumRows() const { return static_cast<int>(m_rows.size()); }
    // One cell per column (SizeError "Wrong number of cells" otherwise).
    void addRow(const std::vector<Cell>& row);
    const std::vector<Cell>& getRow(int i) const { return m_rows[static_cast<std::size_t>(i)]; }
    const Cell& getCell(int row, int column) const
    {
        return m_rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
    }

    // Significant digits of the reals written; 0 (the default) for the
    // shortest exact form.
    void setPrecision(int digits) { m_precision = digits; }
    int getPrecision() const { return m_precision; }

    // Tab-separated: tabs and line breaks inside a text become spaces.
    void writeTsv(std::ostream& stream) const;
    // Comma-separated: a field holding a comma, a quote or a line break is
    // quoted, its quotes doubled.
    void writeCsv(std::ostream& stream) const;
    std::string toTsv() const;
    std::string toCsv() const;

    // The tables of the morphometry (see above). The unit is the stack's.
    // ValueError "Unknown model geometry" for a geometry that is none of
    // polygon, polyline and point set.
    static std::vector<std::string> modelHeaders(MPrimitive geometry, const LengthUnit& unit);
    static std::vector<std::string> itemHeaders(MPrimitive geometry, const LengthUnit& unit);
    static MorphometryTable modelTable(const Stack& stack, MPrimitive geometry);
    static MorphometryTable modelTable(const Stack& stack, MPrimitive geometry, ModelMorphometry::Surface surface);
    static MorphometryTable itemTable(const Stack& stack, const Model& model);

private:
    static MorphometryTable modelTable(const Stack& stack, MPrimitive geometry, ModelMorphometry::Surface surface,
                                       bool named);
    void write(std::ostream& stream, char separator) const;

    std::vector<std::string> m_headers;
    std::vector<std::vector<Cell>> m_rows;
    int m_precision = 0;
};
