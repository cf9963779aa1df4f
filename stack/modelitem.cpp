#include "stack/modelitem.h"

#include "geometry/curve.h"
#include "stack/model.h"
#include "stack/stackslice.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

// New vertices of dimension 2 on a pool of their own.
Vertices<int> newOutline()
{
    return Vertices<int>(2, 0, 16, 64);
}

std::int64_t squaredDistance(const Vector<int>& a, const Vector<int>& b)
{
    const std::int64_t dx = static_cast<std::int64_t>(b[0]) - a[0];
    const std::int64_t dy = static_cast<std::int64_t>(b[1]) - a[1];
    return dx * dx + dy * dy;
}

BoundingBox<int> merged(const BoundingBox<int>& a, const BoundingBox<int>& b)
{
    return a.merge(b);
}

} // namespace

ModelItem::ModelItem() : m_vertices(newOutline()) {}

ModelItem::ModelItem(Model* model, StackSlice* slice) : m_vertices(newOutline())
{
    setModel(model);
    setSlice(slice);
}

ModelItem::~ModelItem()
{
    if (m_model)
        m_model->forgetItem(this);
    if (m_slice)
        m_slice->forgetItem(this);
}

void ModelItem::setModel(Model* model)
{
    if (model == m_model)
        return;
    if (m_model)
        m_model->forgetItem(this);
    m_model = model;
    if (m_model)
        m_model->noteNamedBy(this);
}

void ModelItem::setSlice(StackSlice* slice)
{
    if (slice == m_slice)
        return;
    if (m_slice)
        m_slice->forgetItem(this);
    m_slice = slice;
    if (m_slice)
        m_slice->noteNamedBy(this);
}

void ModelItem::ownerDestroyed(const ModelItemOwner* owner)
{
    if (static_cast<const ModelItemOwner*>(m_model) == owner)
        m_model = nullptr;
    if (static_cast<const ModelItemOwner*>(m_slice) == owner)
        m_slice = nullptr;
}

void ModelItem::attach()
{
    attachToModel();
    attachToSlice();
}

void ModelItem::detach()
{
    detachFromModel();
    detachFromSlice();
}

void ModelItem::attachToModel()
{
    if (m_model)
        m_model->addItem(this);
}

void ModelItem::attachToSlice()
{
    if (m_slice)
        m_slice->addItem(this);
}

void ModelItem::detachFromModel()
{
    if (m_model)
        m_model->removeItem(this);
}

void ModelItem::detachFromSlice()
{
    if (m_slice)
        m_slice->removeItem(this);
}

MPrimitive ModelItem::getGeometry() const
{
    if (m_model && m_model->getProperties().definesGeometry())
        return m_model->getProperties().getGeometry();
    return MPrimitive::Unknown;
}

bool ModelItem::isConnected() const
{
    const MPrimitive g = getGeometry();
    return g == MPrimitive::Polygon || g == MPrimitive::Polyline;
}

bool ModelItem::isClosed() const
{
    return getGeometry() == MPrimitive::Polygon;
}

// Vertices -------------------------------------------------------------------

void ModelItem::setVertices(const Vertices<int>& v)
{
    const BoundingBox<int> before = boxOfAll();
    m_vertices = v;
    m_updateBox = merged(before, boxOfAll());
    m_selection.reset(getSize());
}

void ModelItem::appendVertex(const Vector<int>& p)
{
    const int n = getSize();
    m_vertices.append(p);
    if (n == 0) {
        const int only = 0;
        m_updateBox = boxOf(&only, 1);
    } else {
        const int ends[2] = {n - 1, n};
        m_updateBox = boxOf(ends, 2);
    }
    m_selection.reset(getSize());
}

void ModelItem::appendVertices(const Vertices<int>& v)
{
    m_updateBox = boxOfAll();
    m_vertices.append(v);
    m_selection.reset(getSize());
}

void ModelItem::insertVertex(int i, const Vector<int>& p)
{
    m_vertices.insert(i, p);
    m_selection.insert(i, false);
    m_updateBox = boxAround(i);
}

void ModelItem::moveVertex(int i, const Vector<int>& p)
{
    const BoundingBox<int> before = boxAround(i);
    // The pool may be shared with a copy of the outline (an undo record, say).
    m_vertices.detach();
    m_vertices[i][0] = p[0];
    m_vertices[i][1] = p[1];
    m_updateBox = merged(before, boxAround(i));
}

void ModelItem::removeVertex(int i)
{
    m_updateBox = boxAround(i);
    m_vertices.remove(i);
    m_selection.remove(i);
}

void ModelItem::removeVertices(int i, int j)
{
    m_updateBox = boxOfAll();
    m_vertices.remove(i, j);
    m_selection.reset(getSize());
}

void ModelItem::removeSelectedVertices()
{
    m_updateBox = boxOfAll();
    keepSelected(false);
    m_selection.reset(getSize());
}

void ModelItem::removeUnselectedVertices()
{
    m_updateBox = boxOfAll();
    keepSelected(true);
    m_selection.reset(getSize());
    m_selection.set(true);
}

void ModelItem::keepSelected(bool keep)
{
    // Removing list entries never touches the pool: rebuild the index list.
    Vertices<int> kept(m_vertices);
    int count = 0;
    const int n = getSize();
    for (int i = 0; i < n; ++i)
        if (m_selection.isSelected(i) == keep)
            kept.setIndex(count++, m_vertices.getIndex(i));
    kept.setSize(count, false);
    m_vertices = kept;
}

Vertices<int> ModelItem::collect(bool selected) const
{
    Vertices<int> out = newOutline();
    const int n = getSize();
    for (int i = 0; i < n; ++i)
        if (m_selection.isSelected(i) == selected)
            out.append(m_vertices[i]);
    return out;
}

Vertices<int> ModelItem::selectedVertices() const
{
    return collect(true);
}

Vertices<int> ModelItem::unselectedVertices() const
{
    return collect(false);
}

// Picking --------------------------------------------------------------------

bool ModelItem::pointNearSegment(const Vector<int>& a, const Vector<int>& b, const Vector<int>& p,
                                 int tol, bool ends)
{
    const std::int64_t dx = static_cast<std::int64_t>(b[0]) - a[0];
    const std::int64_t dy = static_cast<std::int64_t>(b[1]) - a[1];
    const std::int64_t qx = static_cast<std::int64_t>(p[0]) - a[0];
    const std::int64_t qy = static_cast<std::int64_t>(p[1]) - a[1];
    const std::int64_t dq = dx * qx + dy * qy;
    const std::int64_t dd = dx * dx + dy * dy;
    const std::int64_t tol2 = static_cast<std::int64_t>(tol) * tol;
    if (0 < dq && dq < dd) {
        const float cross = static_cast<float>(dx * qy - dy * qx);
        if (cross * cross / static_cast<float>(dd) <= static_cast<float>(tol2))
            return true;
    }
    return ends && (squaredDistance(p, a) <= tol2 || squaredDistance(p, b) <= tol2);
}

int ModelItem::findNearestVertex(const Vector<int>& p, int tol) const
{
    const std::int64_t tol2 = static_cast<std::int64_t>(tol) * tol;
    int nearest = -1;
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    const int n = getSize();
    for (int i = 0; i < n; ++i) {
        const std::int64_t d = squaredDistance(m_vertices[i], p);
        if (d <= tol2 && d < best) {
            best = d;
            nearest = i;
        }
    }
    return nearest;
}

int ModelItem::findNearVertex(const Vector<int>& p, int tol) const
{
    const int n = getSize();
    if (!isConnected()) {
        const std::int64_t tol2 = static_cast<std::int64_t>(tol) * tol;
        for (int i = 0; i < n; ++i)
            if (squaredDistance(m_vertices[i], p) <= tol2)
                return i;
        return -1;
    }
    for (int i = 0; i + 1 < n; ++i)
        if (pointNearSegment(m_vertices[i], m_vertices[i + 1], p, tol, true))
            return i;
    if (isClosed() && n > 0 && pointNearSegment(m_vertices[n - 1], m_vertices[0], p, tol, true))
        return n - 1;
    return -1;
}

int ModelItem::findInsertion(const Vector<int>& p, int tol) const
{
    const int n = getSize();
    if (!isConnected())
        return n;
    for (int i = 0; i + 1 < n; ++i)
        if (pointNearSegment(m_vertices[i], m_vertices[i + 1], p, tol, false))
            return i + 1;
    if (isClosed() && n > 0 && pointNearSegment(m_vertices[n - 1], m_vertices[0], p, tol, false))
        return n;
    return -1;
}

std::int64_t ModelItem::twiceArea() const
{
    // Summed in 64 bits: outlines on large images overflow an int.
    const int n = getSize();
    if (n < 3)
        return 0;
    std::int64_t sum = 0;
    const Vector<int>* previous = &m_vertices[n - 1];
    for (int k = 0; k < n; ++k) {
        const Vector<int>& current = m_vertices[k];
        sum += static_cast<std::int64_t>((*previous)[0]) * current[1] -
               static_cast<std::int64_t>(current[0]) * (*previous)[1];
        previous = &current;
    }
    return sum;
}

bool ModelItem::isClockwise() const
{
    return isClosed() && twiceArea() < 0;
}

void ModelItem::setClockwise(bool clockwise)
{
    if (!isClosed())
        return;
    const std::int64_t area = twiceArea();
    if ((area < 0 && !clockwise) || (area > 0 && clockwise)) {
        m_vertices.reverse();
        m_selection.reverse();
    }
}

bool ModelItem::partiallyContains(const ModelItem& other) const
{
    if (!isClosed() || !m_slice || m_slice != other.m_slice)
        return false;
    const Curve<int> outline(m_vertices, false);
    const int n = other.getSize();
    for (int i = 0; i < n; ++i)
        if (outline.contains(other.m_vertices[i], 0, 1))
            return true;
    return false;
}

// Boxes ----------------------------------------------------------------------

BoundingBox<int> ModelItem::boxOf(const int* positions, int count) const
{
    if (count <= 0)
        return BoundingBox<int>();
    Vector<int> lower(m_vertices[positions[0]]);
    Vector<int> upper(lower);
    for (int k = 1; k < count; ++k) {
        const Vector<int>& v = m_vertices[positions[k]];
        for (int d = 0; d < 2; ++d) {
            lower[d] = std::min(lower[d], v[d]);
            upper[d] = std::max(upper[d], v[d]);
        }
    }
    return BoundingBox<int>(lower, upper);
}

BoundingBox<int> ModelItem::boxOfAll() const
{
    const int n = getSize();
    if (n == 0)
        return BoundingBox<int>();
    Vector<int> lower{std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};
    Vector<int> upper{std::numeric_limits<int>::min(), std::numeric_limits<int>::min()};
    for (int i = 0; i < n; ++i) {
        const Vector<int>& v = m_vertices[i];
        for (int d = 0; d < 2; ++d) {
            lower[d] = std::min(lower[d], v[d]);
            upper[d] = std::max(upper[d], v[d]);
        }
    }
    return BoundingBox<int>(lower, upper);
}

BoundingBox<int> ModelItem::boxAround(int i) const
{
    const int n = getSize();
    if (n == 0)
        return BoundingBox<int>();
    if (!isConnected() || n == 1)
        return boxOf(&i, 1);
    if (n == 2) {
        const int both[2] = {0, 1};
        return boxOf(both, 2);
    }
    int positions[3] = {i, 0, 0};
    int count = 1;
    if (i > 0)
        positions[count++] = i - 1;
    else if (isClosed())
        positions[count++] = n - 1;
    if (i < n - 1)
        positions[count++] = i + 1;
    else if (isClosed())
        positions[count++] = 0;
    return boxOf(positions, count);
}

int ModelItem::drawingMargin() const
{
    const ModelItemProperties* modelDefaults = m_model ? &m_model->getItemProperties() : nullptr;
    auto pick = [&](bool own, float ownValue, bool model, float modelValue) {
        if (own)
            return ownValue;
        if (model)
            return modelValue;
        return 1.0f; // the usual default of both widths
    };
    const float lineWidth =
        pick(m_properties.definesLineWidth(), m_properties.getLineWidth(),
             modelDefaults && modelDefaults->definesLineWidth(),
             modelDefaults ? modelDefaults->getLineWidth() : 0.0f);
    const float pointSize =
        pick(m_properties.definesPointSize(), m_properties.getPointSize(),
             modelDefaults && modelDefaults->definesPointSize(),
             modelDefaults ? modelDefaults->getPointSize() : 0.0f);
    return std::max(static_cast<int>(lineWidth), static_cast<int>(pointSize));
}

BoundingBox<int> ModelItem::rectifyBox(const BoundingBox<int>& box) const
{
    if (!box.isValid())
        return box;
    BoundingBox<int> out(box);
    out.rectify();
    const int m = drawingMargin();
    Vector<int> lower = out.getVertex1();
    Vector<int> upper = out.getVertex2();
    for (int d = 0; d < lower.getSize(); ++d) {
        lower[d] -= m;
        upper[d] += m + 1;
    }
    return BoundingBox<int>(lower, upper);
}

BoundingBox<int> ModelItem::boundingBox() const
{
    return rectifyBox(boxOfAll());
}

BoundingBox<int> ModelItem::updateBox() const
{
    return rectifyBox(m_updateBox);
}
