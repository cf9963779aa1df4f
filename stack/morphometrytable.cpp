#include "stack/morphometrytable.h"

#include "numerics/exception.h"
#include "stack/model.h"
#include "stack/modelitem.h"
#include "stack/modelitemgeometry.h"
#include "stack/modelmorphometry.h"
#include "stack/stack.h"
#include "stack/stackslice.h"

#include <charconv>
#include <ostream>
#include <sstream>

namespace {

// Numbers by std::to_chars, which never looks at the locale.
std::string formatReal(double value, int precision)
{
    char buffer[64];
    const auto result = precision > 0
        ? std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision)
        : std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

std::string formatInteger(long long value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

const char* unknownGeometryWhere(bool items)
{
    return items ? "std::vector<std::string> MorphometryTable::itemHeaders(MPrimitive, const LengthUnit&)"
                 : "std::vector<std::string> MorphometryTable::modelHeaders(MPrimitive, const LengthUnit&)";
}

} // namespace

// Cells --------------------------------------------------------------------------

MorphometryTable::Cell MorphometryTable::Cell::text(const std::string& text)
{
    Cell cell;
    cell.m_kind = Text;
    cell.m_text = text;
    return cell;
}

MorphometryTable::Cell MorphometryTable::Cell::integer(long long value)
{
    Cell cell;
    cell.m_kind = Integer;
    cell.m_value = static_cast<double>(value);
    return cell;
}

MorphometryTable::Cell MorphometryTable::Cell::real(double value)
{
    Cell cell;
    cell.m_kind = Real;
    cell.m_value = value;
    return cell;
}

MorphometryTable::Cell MorphometryTable::Cell::measure(double value)
{
    Cell cell = real(value);
    if (value < 0.0)
        cell.m_kind = Missing;
    return cell;
}

MorphometryTable::Cell MorphometryTable::Cell::missing()
{
    return Cell();
}

std::string MorphometryTable::Cell::toString(int precision) const
{
    switch (m_kind) {
    case Text:
        return m_text;
    case Integer:
        return formatInteger(static_cast<long long>(m_value));
    case Real:
        return formatReal(m_value, precision);
    case Missing:
        break;
    }
    return "NA";
}

// Table --------------------------------------------------------------------------

std::string MorphometryTable::header(const std::string& label, const LengthUnit& unit, int power)
{
    if (power == 0)
        return label;
    std::string text = label + "\n[" + unit.symbol();
    if (power != 1)
        text += "^" + std::to_string(power);
    return text + "]";
}

void MorphometryTable::addRow(const std::vector<Cell>& row)
{
    if (row.size() != m_headers.size())
        throw SizeError("void MorphometryTable::addRow(const std::vector<Cell>&)", "Wrong number of cells");
    m_rows.push_back(row);
}

void MorphometryTable::write(std::ostream& stream, char separator) const
{
    const auto field = [separator](std::string text, bool isHeader) {
        if (isHeader)
            for (char& c : text)
                c = c == '\n' ? ' ' : c;
        if (separator == '\t') {
            for (char& c : text)
                c = c == '\t' || c == '\n' || c == '\r' ? ' ' : c;
            return text;
        }
        if (text.find_first_of(",\"\n\r") == std::string::npos)
            return text;
        std::string quoted = "\"";
        for (char c : text) {
            if (c == '"')
                quoted += '"';
            quoted += c;
        }
        return quoted + "\"";
    };
    std::string line;
    for (std::size_t j = 0; j < m_headers.size(); ++j) {
        if (j > 0)
            line += separator;
        line += field(m_headers[j], true);
    }
    stream << line << '\n';
    for (const std::vector<Cell>& row : m_rows) {
        line.clear();
        for (std::size_t j = 0; j < row.size(); ++j) {
            if (j > 0)
                line += separator;
            line += field(row[j].toString(m_precision), false);
        }
        stream << line << '\n';
    }
}

void MorphometryTable::writeTsv(std::ostream& stream) const
{
    write(stream, '\t');
}

void MorphometryTable::writeCsv(std::ostream& stream) const
{
    write(stream, ',');
}

std::string MorphometryTable::toTsv() const
{
    std::ostringstream stream;
    writeTsv(stream);
    return stream.str();
}

std::string MorphometryTable::toCsv() const
{
    std::ostringstream stream;
    writeCsv(stream);
    return stream.str();
}

// The morphometry tables -------------------------------------------------------------

std::vector<std::string> MorphometryTable::modelHeaders(MPrimitive geometry, const LengthUnit& unit)
{
    if (geometry != MPrimitive::Polygon && geometry != MPrimitive::Polyline && geometry != MPrimitive::Polypoint)
        throw ValueError(unknownGeometryWhere(false), "Unknown model geometry");
    std::vector<std::string> headers = {"Model", "Vertices", header("AverageX", unit), header("AverageY", unit),
                                        header("AverageZ", unit)};
    if (geometry == MPrimitive::Polypoint)
        return headers;
    headers.push_back("Contours");
    headers.push_back(header("Area", unit, 2));
    if (geometry == MPrimitive::Polygon)
        headers.push_back(header("Volume", unit, 3));
    return headers;
}

std::vector<std::string> MorphometryTable::itemHeaders(MPrimitive geometry, const LengthUnit& unit)
{
    switch (geometry) {
    case MPrimitive::Polygon:
        return {"Slice", "Vertices", header("Length", unit), header("Area", unit, 2), header("AverageX", unit),
                header("AverageY", unit), header("Z", unit)};
    case MPrimitive::Polyline:
        return {"Slice", "Vertices", header("Length", unit), header("AverageX", unit), header("AverageY", unit),
                header("Z", unit)};
    case MPrimitive::Polypoint:
        return {"Slice", header("X", unit), header("Y", unit), header("Z", unit)};
    default:
        throw ValueError(unknownGeometryWhere(true), "Unknown model geometry");
    }
}

MorphometryTable MorphometryTable::modelTable(const Stack& stack, MPrimitive geometry)
{
    return modelTable(stack, geometry, ModelMorphometry::Surface::Literal, false);
}

MorphometryTable MorphometryTable::modelTable(const Stack& stack, MPrimitive geometry,
                                              ModelMorphometry::Surface surface)
{
    return modelTable(stack, geometry, surface, true);
}

MorphometryTable MorphometryTable::modelTable(const Stack& stack, MPrimitive geometry,
                                              ModelMorphometry::Surface surface, bool named)
{
    std::vector<std::string> headers = modelHeaders(geometry, stack.getLengthUnit());
    named = named && geometry != MPrimitive::Polypoint;
    if (named)
        headers.push_back("Triangulation");
    MorphometryTable table(headers);
    ModelMorphometry morphometry;
    morphometry.setSurface(surface);
    for (int i = 0; i < stack.getNumModels(); ++i) {
        const Model& model = *stack.getModel(i);
        if (model.getGeometry() != geometry || model.getNumItems() == 0)
            continue;
        morphometry.setModel(model);
        morphometry.run();
        std::vector<Cell> row = {Cell::text(model.getName()), Cell::integer(morphometry.getNumVertices())};
        const Vector<double>& centre = morphometry.getIsobarycenter();
        for (int k = 0; k < 3; ++k)
            row.push_back(centre.getSize() == 3 ? Cell::real(centre[k]) : Cell::missing());
        if (geometry != MPrimitive::Polypoint) {
            row.push_back(Cell::integer(morphometry.getNumContours()));
            row.push_back(Cell::measure(morphometry.getArea()));
            if (geometry == MPrimitive::Polygon)
                row.push_back(Cell::measure(morphometry.getVolume()));
            if (named)
                row.push_back(Cell::text(ModelMorphometry::surfaceName(surface)));
        }
        table.addRow(row);
    }
    return table;
}

MorphometryTable MorphometryTable::itemTable(const Stack& stack, const Model& model)
{
    const MPrimitive geometry = model.getGeometry();
    MorphometryTable table(itemHeaders(geometry, stack.getLengthUnit()));

    // The model's items slice by slice, then those on no slice of this stack.
    std::vector<const ModelItem*> items;
    for (int k = 0; k < stack.getNumSlices(); ++k)
        for (const ModelItem* item : stack.getSlice(k)->getItems())
            if (item->getModel() == &model)
                items.push_back(item);
    for (const ModelItem* item : model.getItems())
        if (!item->getSlice() || stack.findSlice(item->getSlice()) < 0)
            items.push_back(item);

    ModelItemGeometry measure;
    for (const ModelItem* item : items) {
        measure.setModelItem(*item);
        measure.run();
        const Cell slice = Cell::text(item->getSlice() ? item->getSlice()->getName() : std::string());
        const Vector<double>& centre = measure.getIsobarycenter();
        switch (geometry) {
        case MPrimitive::Polygon:
            table.addRow({slice, Cell::integer(measure.getNumVertices()), Cell::real(measure.getLength()),
                          Cell::real(measure.getArea()), Cell::real(centre[0]), Cell::real(centre[1]),
                          Cell::real(centre[2])});
            break;
        case MPrimitive::Polyline:
            table.addRow({slice, Cell::integer(measure.getNumVertices()), Cell::real(measure.getLength()),
                          Cell::real(centre[0]), Cell::real(centre[1]), Cell::real(centre[2])});
            break;
        default: {
            const Vertices<double>& vertices = measure.getVertices();
            for (int v = 0; v < vertices.getNumVertices(); ++v)
                table.addRow({slice, Cell::real(vertices[v][0]), Cell::real(vertices[v][1]), Cell::real(centre[2])});
            break;
        }
        }
    }
    return table;
}
