#include "geometry/quadmesh.h"

#include "geometry/shapeset.h"
#include "image/colormap.h"

#include <algorithm>
#include <cmath>
#include <istream>

namespace {

using plexan::Accumulator;

[[noreturn]] void throwSize(const char* where, const char* what)
{
    SizeError e;
    e.setWhere(where);
    e.setWhat(what);
    throw e;
}

// All levels of a stack have the same vertex count.
template <typename T>
bool hasConstantWidth(const CurveStack<T>& stack)
{
    for (int k = 1; k < stack.getHeight(); ++k)
        if (stack[k].getNumVertices() != stack[0].getNumVertices())
            return false;
    return true;
}

template <typename T>
const CurveStack<T>& checkedStack(const CurveStack<T>& stack)
{
    if (!hasConstantWidth(stack))
        throwSize("QuadMesh<T>::QuadMesh(const Curvestack<T>&)", "Curve size is not constant along the curve stack");
    return stack;
}

template <typename T>
bool sameSize(const QuadMesh<T>& a, const QuadMesh<T>& b)
{
    return a.getHeight() == b.getHeight() && a.getWidth() == b.getWidth();
}

} // namespace

// Construction ----------------------------------------------------------------

template <typename T>
QuadMesh<T>::QuadMesh(int space, int height, int width, int capacity, int growth, bool open)
    : CurveStack<T>(space, height, width, capacity, growth, open)
{
}

template <typename T>
QuadMesh<T>::QuadMesh(const CurveStack<T>& stack) : CurveStack<T>(checkedStack(stack))
{
}

template <typename T>
QuadMesh<T>::QuadMesh(const QuadMesh& other) : CurveStack<T>(other)
{
    copyExtras(other);
}

template <typename T>
QuadMesh<T>::QuadMesh(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
QuadMesh<T>::~QuadMesh()
{
    destroyCaps();
}

template <typename T>
QuadMesh<T>& QuadMesh<T>::operator=(const QuadMesh& other)
{
    assign(other);
    return *this;
}

template <typename T>
void QuadMesh<T>::assign(const VertexClient<T>& other)
{
    if (this == &other)
        return;
    const auto& stack = dynamic_cast<const CurveStack<T>&>(other);
    if (!hasConstantWidth(stack))
        throwSize("void QuadMesh<T>::assign(const VertexClient<T>&)",
                  "Curve size is not constant along the curve stack");
    CurveStack<T>::assign(other);
    if (const auto* mesh = dynamic_cast<const QuadMesh*>(&other)) {
        copyExtras(*mesh);
    } else {
        destroyCaps();
        m_colours.reset();
    }
}

template <typename T>
void QuadMesh<T>::copyExtras(const QuadMesh& other)
{
    setCap(m_beginCap, other.m_beginCap ? std::make_unique<QuadMesh>(*other.m_beginCap) : nullptr);
    setCap(m_endCap, other.m_endCap ? std::make_unique<QuadMesh>(*other.m_endCap) : nullptr);
    m_colours = other.m_colours ? std::make_unique<QuadMesh<int>>(*other.m_colours) : nullptr;
}

template <typename T>
int QuadMesh<T>::getWidth() const
{
    return this->getHeight() > 0 ? (*this)[0].getNumVertices() : 0;
}

template <typename T>
void QuadMesh<T>::insert(unsigned int k, const Vertices<T>& curve)
{
    if (this->getHeight() > 0 && curve.getNumVertices() != getWidth())
        throwSize("void QuadMesh<T>::insert(unsigned int, const Vertices<T>&)",
                  "Curve size does not match the mesh width");
    CurveStack<T>::insert(k, curve);
}

template <typename T>
void QuadMesh<T>::detach()
{
    CurveStack<T>::detach();
    if (m_beginCap)
        m_beginCap->detach();
    if (m_endCap)
        m_endCap->detach();
}

template <typename T>
void QuadMesh<T>::combine(const Shape<T>& other, bool add, const char* where)
{
    const auto* mesh = dynamic_cast<const QuadMesh*>(&other);
    if (!mesh || !sameSize(*this, *mesh))
        throwSize(where, "Incompatible mesh dimensions");
    if (add)
        CurveStack<T>::operator+=(other);
    else
        CurveStack<T>::operator-=(other);
}

template <typename T>
QuadMesh<T>& QuadMesh<T>::operator+=(const Shape<T>& other)
{
    combine(other, true, "QuadMesh<T>& QuadMesh<T>::operator+=(const Shape<T>&)");
    return *this;
}

template <typename T>
QuadMesh<T>& QuadMesh<T>::operator-=(const Shape<T>& other)
{
    combine(other, false, "QuadMesh<T>& QuadMesh<T>::operator-=(const Shape<T>&)");
    return *this;
}

// Caps ------------------------------------------------------------------------

template <typename T>
std::unique_ptr<QuadMesh<T>> QuadMesh<T>::buildCap(const Curve<T>& contour) const
{
    using R = Accumulator<T>;
    constexpr int levels = 10;
    const int space = contour.getSpace();
    const int width = contour.getNumVertices();
    auto cap = std::make_unique<QuadMesh>(space, levels, width, 0, 0, false);
    const Vector<T> g = contour.cog();

    // Level 0 is the rim, level 9 the rim shrunk to 1 % around its centre of
    // gravity, and the levels between are the linear shape interpolation
    // from the one to the other.
    Curve<T>& rim = cap->level(0);
    Curve<T>& tip = cap->level(levels - 1);
    for (int c = 0; c < width; ++c) {
        const T* a = contour.vertex(c).data();
        T* r = rim.vertex(c).data();
        T* s = tip.vertex(c).data();
        for (int d = 0; d < space; ++d) {
            r[d] = a[d];
            if constexpr (std::is_integral_v<T>)
                s[d] = plexan::toCoordinate<T>(R(g[d]) + R(0.01) * (R(a[d]) - R(g[d])));
            else
                s[d] = static_cast<T>(static_cast<T>((a[d] - g[d]) * T(0.01)) + g[d]);
        }
    }
    for (int k = 1; k < levels - 1; ++k) {
        const R t = 1 - std::sqrt(R(levels - 1 - k) / R(levels - 1));
        Curve<T>& ring = cap->level(k);
        for (int c = 0; c < width; ++c) {
            const T* a = rim.vertex(c).data();
            const T* b = tip.vertex(c).data();
            T* x = ring.vertex(c).data();
            for (int d = 0; d < space; ++d) {
                if constexpr (std::is_integral_v<T>)
                    x[d] = plexan::toCoordinate<T>(R(a[d]) + t * (R(b[d]) - R(a[d])));
                else
                    x[d] = a[d] + static_cast<T>(t) * (b[d] - a[d]);
            }
        }
    }
    return cap;
}

template <typename T>
void QuadMesh<T>::setCap(std::unique_ptr<QuadMesh>& slot, std::unique_ptr<QuadMesh> cap)
{
    if (slot)
        this->getExtensions().removeShape(slot.get());
    slot = std::move(cap);
    if (slot)
        this->getExtensions().addShape(slot.get());
}

template <typename T>
void QuadMesh<T>::buildBeginCap()
{
    if (this->getHeight() == 0)
        throwSize("void QuadMesh<T>::buildBeginCap()", "This mesh contains no contour");
    if (this->isOpen())
        return;
    setCap(m_beginCap, buildCap(this->getFirstCurve()));
}

template <typename T>
void QuadMesh<T>::buildEndCap()
{
    if (this->getHeight() == 0)
        throwSize("void QuadMesh<T>::buildEndCap()", "This mesh contains no contour");
    if (this->isOpen())
        return;
    setCap(m_endCap, buildCap(this->getLastCurve()));
}

template <typename T>
void QuadMesh<T>::buildCaps()
{
    buildBeginCap();
    buildEndCap();
}

template <typename T>
void QuadMesh<T>::destroyBeginCap()
{
    setCap(m_beginCap, nullptr);
}

template <typename T>
void QuadMesh<T>::destroyEndCap()
{
    setCap(m_endCap, nullptr);
}

template <typename T>
void QuadMesh<T>::destroyCaps()
{
    destroyBeginCap();
    destroyEndCap();
}

template <typename T>
void QuadMesh<T>::extendToCaps()
{
    // Prepending the rings from the rim inwards leaves the tip in front.
    if (m_beginCap)
        for (int k = 1; k < m_beginCap->getHeight(); ++k)
            this->prepend(m_beginCap->level(k));
    if (m_endCap)
        for (int k = 1; k < m_endCap->getHeight(); ++k)
            this->append(m_endCap->level(k));
    destroyCaps();
}

// Matching --------------------------------------------------------------------

template <typename T>
int QuadMesh<T>::findMatch(const QuadMesh& other) const
{
    using R = Accumulator<T>;
    const int height = this->getHeight();
    const int width = getWidth();
    if (this->isOpen() || other.isOpen() || !sameSize(*this, other) || width < 2)
        return 0;
    const int space = std::min(this->getSpace(), other.getSpace());
    // Both meshes as rows of coordinates, so that every shift is one pass
    // over contiguous memory.
    std::vector<R> a(static_cast<std::size_t>(height) * width * space);
    std::vector<R> b(a.size());
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c)
            for (int d = 0; d < space; ++d) {
                const std::size_t i = (static_cast<std::size_t>(r) * width + c) * space + d;
                a[i] = static_cast<R>((*this)[r].vertex(c)[d]);
                b[i] = static_cast<R>(other[r].vertex(c)[d]);
            }
    int best = 0;
    R bestSum = 0;
    for (int k = 0; k < width; ++k) {
        R sum = 0;
        for (int r = 0; r < height; ++r) {
            const R* x = a.data() + static_cast<std::size_t>(r) * width * space;
            const R* y = b.data() + static_cast<std::size_t>(r) * width * space;
            // this at (r, c + k) against other at (r, c), in two runs
            const int split = (width - k) * space;
            for (int i = 0; i < split; ++i)
                sum += x[k * space + i] * y[i];
            for (int i = split; i < width * space; ++i)
                sum += x[i - split] * y[i];
        }
        if (k == 0 || sum > bestSum) {
            bestSum = sum;
            best = k;
        }
    }
    return best;
}

template <typename T>
int QuadMesh<T>::match(const QuadMesh& other)
{
    const int k = findMatch(other);
    if (k > 0) {
        for (int r = 0; r < this->getHeight(); ++r)
            (*this)[r].setOrigin(k);
        for (QuadMesh* cap : {m_beginCap.get(), m_endCap.get()})
            if (cap)
                for (int r = 0; r < cap->getHeight(); ++r)
                    (*cap)[r].setOrigin(k);
    }
    return k;
}

// Statistics ------------------------------------------------------------------

template <typename T>
QuadMesh<T> QuadMesh<T>::mean(const std::vector<const QuadMesh*>& meshes)
{
    using R = Accumulator<T>;
    if (meshes.empty())
        return QuadMesh();
    const QuadMesh& first = *meshes.front();
    const int height = first.getHeight();
    const int width = first.getWidth();
    const int space = first.getSpace();
    for (const QuadMesh* mesh : meshes)
        if (!sameSize(first, *mesh) || mesh->getSpace() != space)
            throwSize("QuadMesh<T> QuadMesh<T>::mean(const std::vector<const QuadMesh<T>*>&)",
                      "Incompatible mesh dimensions");
    std::vector<R> sum(static_cast<std::size_t>(height) * width * space, R(0));
    for (const QuadMesh* mesh : meshes)
        for (int r = 0; r < height; ++r)
            for (int c = 0; c < width; ++c) {
                const T* x = (*mesh)[r].vertex(c).data();
                R* s = sum.data() + (static_cast<std::size_t>(r) * width + c) * space;
                for (int d = 0; d < space; ++d)
                    s[d] += static_cast<R>(x[d]);
            }
    QuadMesh result(space, height, width, 0, 0, first.isOpen());
    const R count = static_cast<R>(meshes.size());
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            T* x = result[r].vertex(c).data();
            const R* s = sum.data() + (static_cast<std::size_t>(r) * width + c) * space;
            for (int d = 0; d < space; ++d)
                x[d] = plexan::toCoordinate<T>(s[d] / count);
        }
    return result;
}

template <typename T>
Matrix<T> QuadMesh<T>::varianceMap(const QuadMesh& mean, const std::vector<const QuadMesh*>& meshes)
{
    using R = Accumulator<T>;
    const int height = mean.getHeight();
    const int width = mean.getWidth();
    const int space = mean.getSpace();
    for (const QuadMesh* mesh : meshes)
        if (!sameSize(mean, *mesh) || mesh->getSpace() != space)
            throwSize("Matrix<T> QuadMesh<T>::varianceMap(const QuadMesh<T>&, const std::vector<const QuadMesh<T>*>&)",
                      "Incompatible mesh dimensions");
    Matrix<T> map(static_cast<unsigned int>(height), static_cast<unsigned int>(width));
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const T* m = mean[r].vertex(c).data();
            R sum = 0;
            for (const QuadMesh* mesh : meshes) {
                const T* x = (*mesh)[r].vertex(c).data();
                for (int d = 0; d < space; ++d) {
                    const R e = static_cast<R>(x[d]) - static_cast<R>(m[d]);
                    sum += e * e;
                }
            }
            map(r, c) = meshes.empty() ? T(0) : plexan::toCoordinate<T>(sum / static_cast<R>(meshes.size()));
        }
    return map;
}

// Colours ---------------------------------------------------------------------

template <typename T>
void QuadMesh<T>::buildVertexColors(const Matrix<T>& values, const Colormap& colormap)
{
    T low = 0, high = 0;
    bool first = true;
    for (int r = 0; r < values.getSize1(); ++r)
        for (int c = 0; c < values.getSize2(); ++c) {
            const T v = values(r, c);
            if (v != v) // NaN
                continue;
            if (first || v < low)
                low = v;
            if (first || v > high)
                high = v;
            first = false;
        }
    buildVertexColors(values, colormap, low, high);
}

template <typename T>
void QuadMesh<T>::buildVertexColors(const Matrix<T>& values, const Colormap& colormap, T low, T high)
{
    using R = Accumulator<T>;
    const char* where = "void QuadMesh<T>::buildVertexColors(...)";
    const int height = this->getHeight();
    const int width = getWidth();
    if (values.getSize1() != height || values.getSize2() != width)
        throwSize(where, "Incompatible value array dimensions");
    const int cells = colormap.getSize();
    if (cells == 0) {
        ColormapError e;
        e.setWhere(where);
        e.setWhat("Empty colormap");
        throw e;
    }
    auto colours = std::make_unique<QuadMesh<int>>(3, height, width, 0, 0, this->isOpen());
    const R span = static_cast<R>(high) - static_cast<R>(low);
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const R v = static_cast<R>(values(r, c));
            R f = span > 0 ? (v - static_cast<R>(low)) / span : R(0);
            if (!(f > 0)) // below the range, or NaN
                f = 0;
            if (f > 1)
                f = 1;
            const int cell = static_cast<int>(std::lround(f * (cells - 1)));
            int* rgb = (*colours)[r].vertex(c).data();
            rgb[0] = colormap.getRed()[cell];
            rgb[1] = colormap.getGreen()[cell];
            rgb[2] = colormap.getBlue()[cell];
        }
    m_colours = std::move(colours);
}

template <typename T>
void QuadMesh<T>::setVertexColors(std::unique_ptr<QuadMesh<int>> colours)
{
    if (colours && (colours->getHeight() != this->getHeight() || colours->getWidth() != getWidth()))
        throwSize("void QuadMesh<T>::setVertexColors(...)", "Incompatible color array dimensions");
    m_colours = std::move(colours);
}

// Conversion ------------------------------------------------------------------

template <typename T>
TriMesh<T> QuadMesh<T>::toTriMesh() const
{
    const int height = this->getHeight();
    const int width = getWidth();
    const int space = std::min(this->getSpace(), 3);
    TriMesh<T> mesh(3, height * width);
    mesh.setName(this->getName());
    for (int r = 0; r < height; ++r)
        for (int c = 0; c < width; ++c) {
            const T* x = (*this)[r].vertex(c).data();
            T* y = mesh.vertex(r * width + c).data();
            for (int d = 0; d < 3; ++d)
                y[d] = d < space ? x[d] : T(0);
        }
    const unsigned int w = static_cast<unsigned int>(width);
    for (unsigned int r = 1; r < static_cast<unsigned int>(height); ++r) {
        for (unsigned int c = 1; c < w; ++c) {
            const unsigned int a = (r - 1) * w + c;
            mesh.addTriangle(a - 1, a, a - 1 + w);
            mesh.addTriangle(a - 1 + w, a, a + w);
        }
        if (this->isClosed() && w > 0) {
            mesh.addTriangle(r * w - 1, (r - 1) * w, r * w + w - 1);
            mesh.addTriangle(r * w + w - 1, (r - 1) * w, r * w);
        }
    }
    return mesh;
}

// Files -----------------------------------------------------------------------

template <typename T>
void QuadMesh<T>::read(std::istream& stream)
{
    const char* where = "void QuadMesh<T>::read(istream&)";
    QuadMesh mesh;
    const int type = mesh.readStack(stream, where);
    if (type < ClosedCurveStackShape || type > OpenQuadMeshShape)
        throw FileFormatError(where, "Shape type mismatch");
    if (!hasConstantWidth(mesh))
        throw FileFormatError(where, "Curve size is not constant along the curve stack");
    mesh.setOpen(type == OpenCurveStackShape || type == OpenQuadMeshShape);
    mesh.setName(this->getName());
    assign(mesh);
}

#define PLEXAN_INSTANTIATE(T) template class QuadMesh<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
