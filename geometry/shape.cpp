#include "geometry/shape.h"

#include "geometry/kdtree.h"
#include "geometry/shapeset.h"
#include "geometry/vertexstack.h"
#include "geometry/vertices.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <limits>
#include <locale>
#include <ostream>
#include <vector>

namespace {

using plexan::Accumulator;
using plexan::DistanceType;
using plexan::toCoordinate;

// Calls f(Vector<T>&) for every vertex of the shape in vertex-iterator order.
// Lists and stacks are walked directly over their index lists; any other
// shape through its iterator.
template <typename T, typename F>
void forEachList(const Vertices<T>& list, F& f)
{
    if (!list.hasServer())
        return;
    auto& server = const_cast<VertexServer<T>&>(*list.getServer());
    for (int index : list.getIndexes())
        f(server[index]);
}

template <typename T, typename F>
void forEachVertex(const Shape<T>& shape, F&& f)
{
    if (const auto* list = dynamic_cast<const Vertices<T>*>(&shape)) {
        forEachList(*list, f);
    } else if (const auto* stack = dynamic_cast<const VertexStack<T>*>(&shape)) {
        for (int k = 0; k < stack->getHeight(); ++k)
            forEachList((*stack)[k], f);
    } else {
        for (ConstVertexIterator<T> it(shape); it.current(); ++it)
            f(const_cast<Vector<T>&>(*it.current()));
    }
}

// Pointers to the vertices of a shape, in vertex order.
template <typename T>
std::vector<const Vector<T>*> vertexPointers(const Shape<T>& shape)
{
    std::vector<const Vector<T>*> out;
    out.reserve(static_cast<std::size_t>(shape.getNumVertices()));
    forEachVertex(shape, [&](Vector<T>& v) { out.push_back(&v); });
    return out;
}

[[noreturn]] void throwDimensions(const char* where)
{
    throw SizeError(where, "Incompatible vector dimensions");
}

template <typename T>
void requireDimension(const Vector<T>& v, int space, const char* where)
{
    if (v.getSize() != space)
        throwDimensions(where);
}

} // namespace

// Construction ----------------------------------------------------------------

template <typename T>
const char* Shape<T>::extension(int shapeType)
{
    switch (shapeType) {
    case ClosedCurveShape:
    case OpenCurveShape:
        return ".cv";
    case ClosedCurveStackShape:
    case OpenCurveStackShape:
        return ".cs";
    case ClosedQuadMeshShape:
    case OpenQuadMeshShape:
        return ".qm";
    case VerticesShape:
        return ".vx";
    case VertexStackShape:
        return ".vs";
    case TriMeshShape:
        return ".tm";
    default:
        return "";
    }
}

template <typename T>
Shape<T>::Shape() = default;

template <typename T>
Shape<T>::Shape(int space, int size, int capacity, int growth) : VertexClient<T>(space, size, capacity, growth)
{
}

template <typename T>
Shape<T>::Shape(const Shape& other) : VertexClient<T>(other), m_name(other.m_name)
{
}

template <typename T>
Shape<T>& Shape<T>::operator=(const VertexClient<T>& other)
{
    assign(other);
    return *this;
}

template <typename T>
Shape<T>& Shape<T>::operator=(const Shape& other)
{
    assign(other);
    return *this;
}

template <typename T>
void Shape<T>::assign(const VertexClient<T>& other)
{
    if (this == &other)
        return;
    VertexClient<T>::assign(other);
    if (const auto* shape = dynamic_cast<const Shape*>(&other))
        m_name = shape->m_name;
}

template <typename T>
Shape<T>::~Shape() = default;

template <typename T>
int Shape<T>::getSpace() const
{
    return this->m_server ? this->m_server->getSpace() : 0;
}

template <typename T>
Shape<T>& Shape<T>::operator+=(const Shape& other)
{
    const char* where = "Shape<T>& Shape<T>::operator+=(const Shape&)";
    const auto source = vertexPointers(other);
    if (static_cast<int>(source.size()) != getNumVertices())
        throwDimensions(where);
    std::size_t i = 0;
    forEachVertex(*this, [&](Vector<T>& v) {
        requireDimension(*source[i], v.getSize(), where);
        T* x = v.data();
        const T* y = source[i++]->data();
        for (int k = 0; k < v.getSize(); ++k)
            x[k] = static_cast<T>(x[k] + y[k]);
    });
    return *this;
}

template <typename T>
Shape<T>& Shape<T>::operator-=(const Shape& other)
{
    const char* where = "Shape<T>& Shape<T>::operator-=(const Shape&)";
    const auto source = vertexPointers(other);
    if (static_cast<int>(source.size()) != getNumVertices())
        throwDimensions(where);
    std::size_t i = 0;
    forEachVertex(*this, [&](Vector<T>& v) {
        requireDimension(*source[i], v.getSize(), where);
        T* x = v.data();
        const T* y = source[i++]->data();
        for (int k = 0; k < v.getSize(); ++k)
            x[k] = static_cast<T>(x[k] - y[k]);
    });
    return *this;
}

template <typename T>
void Shape<T>::print(const std::string& prefix, std::ostream& stream) const
{
    stream << prefix << "Shape " << m_name << '\n';
    const VertexServer<T>* server = this->m_server;
    if (!server) {
        stream << prefix << " Server: (nil)\n";
        return;
    }
    stream << prefix << " Server:\n"
           << prefix << "  address  = " << static_cast<const void*>(server) << '\n'
           << prefix << "  refs     = " << server->getRefs() << '\n'
           << prefix << "  space    = " << server->getSpace() << '\n'
           << prefix << "  capacity = " << server->getCapacity() << '\n'
           << prefix << "  size     = " << server->getSize() << '\n'
           << prefix << "  growth   = " << server->getGrowth() << '\n';
}

template <typename T>
ConcreteVertexIterator<T>* Shape<T>::vertexIterator()
{
    return new ConcreteVertexIterator<T>;
}

template <typename T>
ConcreteVertexIterator<T>* Shape<T>::vertexIterator() const
{
    return new ConcreteVertexIterator<T>;
}

template <typename T>
ConcreteEdgeIterator<T>* Shape<T>::edgeIterator()
{
    return new ConcreteEdgeIterator<T>;
}

template <typename T>
ConcreteEdgeIterator<T>* Shape<T>::edgeIterator() const
{
    return new ConcreteEdgeIterator<T>;
}

template <typename T>
bool Shape<T>::hasExtensions() const
{
    return m_extensions && m_extensions->getNumShapes() > 0;
}

template <typename T>
ShapeSet<T>& Shape<T>::getExtensions()
{
    if (!m_extensions)
        m_extensions = std::make_unique<ShapeSet<T>>();
    return *m_extensions;
}

template <typename T>
const ShapeSet<T>& Shape<T>::getExtensions() const
{
    if (!m_extensions)
        m_extensions = std::make_unique<ShapeSet<T>>();
    return *m_extensions;
}

// Files -----------------------------------------------------------------------

template <typename T>
int Shape<T>::readHeaderValue(std::istream& stream, const char* where)
{
    std::string token;
    if (!(stream >> token) || token != "#")
        throw FileFormatError(where, "Invalid shape description format");
    long long value = 0;
    if (!(stream >> value))
        throw FileFormatError(where, "Invalid shape description format");
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        throw FileFormatError(where, "Invalid shape description format");
    return static_cast<int>(value);
}

template <typename T>
void Shape<T>::checkSpace(int space, const char* where)
{
    if (space < 1 || space > maximumSpace)
        throw FileFormatError(where, "Invalid space dimension");
}

template <typename T>
void Shape<T>::checkCount(int count, const char* where, const char* what)
{
    if (count < 0)
        throw FileFormatError(where, what);
}

template <typename T>
void Shape<T>::failWrite(const char* where)
{
    throw FileWriteError(where, "Cannot write shape description");
}

template <typename T>
void Shape<T>::restoreExceptions(std::ostream& stream, std::ios::iostate mask)
{
    try {
        stream.exceptions(mask);
    } catch (const std::ios::failure&) {
        // The mask is set even when the failed state makes it throw.
    }
}

template <typename T>
void Shape<T>::save(const std::string& fileName, bool overwrite) const
{
    const char* where = "void Shape::save(const string&,const bool) const";
    std::string name = fileName;
    const std::string ext = extension(getShapeType());
    if (name.size() < ext.size() || name.compare(name.size() - ext.size(), ext.size(), ext) != 0)
        name += ext;
    std::error_code error;
    if (!overwrite && std::filesystem::exists(name, error))
        throw FileWriteError(where, "File already exists", name);

    const std::string temporary = name + ".saving~";
    try {
        std::ofstream out(temporary, std::ios::out | std::ios::trunc);
        if (!out)
            throw FileWriteError(where, "Cannot open file for writing", name);
        out.imbue(std::locale::classic());
        write(out);
        out.close();
        if (!out)
            throw FileWriteError(where, "Cannot write shape description", name);
        std::filesystem::rename(temporary, name, error);
        if (error)
            throw FileWriteError(where, "Cannot write shape description", name);
    } catch (FileError& e) {
        std::filesystem::remove(temporary, error);
        if (e.getFile().empty())
            e.setFile(name);
        if (e.getWhere() != where)
            e.addCall(where);
        throw;
    }
}

template <typename T>
void Shape<T>::load(const std::string& fileName)
{
    const char* where = "Shape<T>::load(const string&)";
    std::ifstream in(fileName);
    if (!in)
        throw FileReadError(where, "Cannot open file for reading", fileName);
    in.imbue(std::locale::classic());
    try {
        read(in);
    } catch (Exception& e) {
        if (auto* fileError = dynamic_cast<FileError*>(&e); fileError && fileError->getFile().empty())
            fileError->setFile(fileName);
        e.addCall(where);
        throw;
    }
}

// Shape<T>::loadFile is defined with the shape classes it creates, in
// shapeloading.cpp.

// Geometry ----------------------------------------------------------------------

template <typename T>
Vector<T> Shape<T>::cog() const
{
    using R = Accumulator<T>;
    const int space = getSpace();
    std::vector<R> sum(static_cast<std::size_t>(space), R(0));
    int count = 0;
    forEachVertex(*this, [&](Vector<T>& v) {
        requireDimension(v, space, "Vector<T> Shape<T>::cog() const");
        const T* x = v.data();
        for (int k = 0; k < space; ++k)
            sum[static_cast<std::size_t>(k)] += static_cast<R>(x[k]);
        ++count;
    });
    Vector<T> g(static_cast<unsigned int>(space));
    for (int k = 0; k < space; ++k)
        g[k] = count ? toCoordinate<T>(sum[static_cast<std::size_t>(k)] / count) : T(0);
    return g;
}

template <typename T>
void Shape<T>::center()
{
    translate(-cog());
}

template <typename T>
void Shape<T>::translate(const Vector<T>& v)
{
    const char* where = "void Shape<T>::translate(const Vector<T>&)";
    const int space = getSpace();
    requireDimension(v, space, where);
    const T* d = v.data();
    forEachVertex(*this, [&](Vector<T>& x) {
        requireDimension(x, space, where);
        T* p = x.data();
        for (int k = 0; k < space; ++k)
            p[k] = static_cast<T>(p[k] + d[k]);
    });
}

template <typename T>
void Shape<T>::scale(const T& s)
{
    forEachVertex(*this, [&](Vector<T>& x) {
        for (T& c : x)
            c = static_cast<T>(c * s);
    });
}

template <typename T>
void Shape<T>::scale(const Vector<T>& v)
{
    const char* where = "void Shape<T>::scale(const Vector<T>&)";
    const int space = getSpace();
    requireDimension(v, space, where);
    const T* f = v.data();
    forEachVertex(*this, [&](Vector<T>& x) {
        requireDimension(x, space, where);
        T* p = x.data();
        for (int k = 0; k < space; ++k)
            p[k] = static_cast<T>(p[k] * f[k]);
    });
}

template <typename T>
void Shape<T>::operator*=(const T& s)
{
    scale(s);
}

template <typename T>
void Shape<T>::operator/=(const T& s)
{
    forEachVertex(*this, [&](Vector<T>& x) {
        for (T& c : x)
            c = static_cast<T>(c / s);
    });
}

template <typename T>
void Shape<T>::multiply(const Matrix<T>& m)
{
    const char* where = "void Shape<T>::multiply(const Matrix<T>&)";
    const int space = getSpace();
    if (m.getSize1() != space || m.getSize2() != space)
        throwDimensions(where);
    std::vector<T> y(static_cast<std::size_t>(space));
    forEachVertex(*this, [&](Vector<T>& x) {
        requireDimension(x, space, where);
        T* p = x.data();
        for (int i = 0; i < space; ++i) {
            const T* row = m[i].data();
            T s = T(0);
            for (int j = 0; j < space; ++j)
                s = static_cast<T>(s + row[j] * p[j]);
            y[static_cast<std::size_t>(i)] = s;
        }
        std::copy(y.begin(), y.end(), p);
    });
}

template <typename T>
SquareMatrix<T> Shape<T>::inertia(Vector<T>& g) const
{
    const char* where = "SquareMatrix<T> Shape<T>::inertia(Vector<T>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        using R = Accumulator<T>;
        g = cog();
        const int space = getSpace();
        std::vector<R> sum(static_cast<std::size_t>(space * space), R(0));
        std::vector<R> d(static_cast<std::size_t>(space));
        forEachVertex(*this, [&](Vector<T>& v) {
            const T* x = v.data();
            for (int k = 0; k < space; ++k)
                d[static_cast<std::size_t>(k)] = static_cast<R>(x[k]) - static_cast<R>(g[k]);
            for (int i = 0; i < space; ++i)
                for (int j = i; j < space; ++j)
                    sum[static_cast<std::size_t>(i * space + j)] += d[static_cast<std::size_t>(i)] * d[static_cast<std::size_t>(j)];
        });
        SquareMatrix<T> m(static_cast<unsigned int>(space));
        for (int i = 0; i < space; ++i)
            for (int j = i; j < space; ++j)
                m(i, j) = m(j, i) = static_cast<T>(sum[static_cast<std::size_t>(i * space + j)]);
        return m;
    }
}

template <typename T>
SquareMatrix<T> Shape<T>::inertia() const
{
    Vector<T> g;
    return inertia(g);
}

template <typename T>
SquareMatrix<T> Shape<T>::principalAxes(Vector<T>& eigenvalues) const
{
    const char* where = "SquareMatrix<T> Shape<T>::principalAxes(Vector<T>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        SquareMatrix<T> axes;
        inertia().eigenJacobi(eigenvalues, axes, true);
        return axes;
    }
}

template <typename T>
SquareMatrix<T> Shape<T>::principalAxes() const
{
    Vector<T> eigenvalues;
    return principalAxes(eigenvalues);
}

template <typename T>
void Shape<T>::computePAT(Vector<T>& translation, SquareMatrix<T>& rotation) const
{
    translation = cog();
    rotation = principalAxes().transpose();
}

template <typename T>
void Shape<T>::applyPAT()
{
    Vector<T> translation;
    SquareMatrix<T> rotation;
    computePAT(translation, rotation);
    translate(-translation);
    multiply(rotation);
}

namespace {

// Kabsch: with centred point sets X and Y and H = sum x y^T = U S V^T, the
// proper rotation minimising sum |R x - y|^2 is V D U^T, D flipping the
// direction of the smallest singular value when V U^T is a reflection.
template <typename T>
void rigidFit(const std::vector<const Vector<T>*>& from, const std::vector<const Vector<T>*>& to, int space,
              Vector<T>& translation, SquareMatrix<T>& rotation, const char* where)
{
    using R = Accumulator<T>;
    const std::size_t n = from.size();
    std::vector<R> cx(static_cast<std::size_t>(space), R(0));
    std::vector<R> cy(static_cast<std::size_t>(space), R(0));
    for (std::size_t i = 0; i < n; ++i) {
        requireDimension(*from[i], space, where);
        requireDimension(*to[i], space, where);
        for (int k = 0; k < space; ++k) {
            cx[static_cast<std::size_t>(k)] += static_cast<R>((*from[i])[k]);
            cy[static_cast<std::size_t>(k)] += static_cast<R>((*to[i])[k]);
        }
    }
    rotation.setIdentity(space);
    translation.setZeros(space);
    if (n == 0)
        return;
    for (int k = 0; k < space; ++k) {
        cx[static_cast<std::size_t>(k)] /= static_cast<R>(n);
        cy[static_cast<std::size_t>(k)] /= static_cast<R>(n);
    }
    std::vector<R> h(static_cast<std::size_t>(space * space), R(0));
    for (std::size_t i = 0; i < n; ++i)
        for (int a = 0; a < space; ++a) {
            const R x = static_cast<R>((*from[i])[a]) - cx[static_cast<std::size_t>(a)];
            for (int b = 0; b < space; ++b)
                h[static_cast<std::size_t>(a * space + b)] +=
                    x * (static_cast<R>((*to[i])[b]) - cy[static_cast<std::size_t>(b)]);
        }
    Matrix<T> cross(static_cast<unsigned int>(space), static_cast<unsigned int>(space));
    for (int a = 0; a < space; ++a)
        for (int b = 0; b < space; ++b)
            cross(a, b) = static_cast<T>(h[static_cast<std::size_t>(a * space + b)]);
    // cross = left^T diag(s) right^T: U = left^T, V = right.
    SquareMatrix<T> left;
    SquareMatrix<T> right;
    const Vector<T> s = cross.svd(&left, &right);
    SquareMatrix<T> product = right * left;
    Matrix<T> flip = right;
    if (product.det() < T(0)) {
        const int smallest = s.minPos();
        for (int a = 0; a < space; ++a)
            flip(a, smallest) = -flip(a, smallest);
    }
    rotation = flip * left;
    for (int a = 0; a < space; ++a) {
        R t = cy[static_cast<std::size_t>(a)];
        for (int b = 0; b < space; ++b)
            t -= static_cast<R>(rotation(a, b)) * cx[static_cast<std::size_t>(b)];
        translation[a] = static_cast<T>(t);
    }
}

} // namespace

template <typename T>
void Shape<T>::computeLSRegistration(Vector<T>& translation, SquareMatrix<T>& rotation, const Shape& target) const
{
    const char* where = "void Shape<T>::computeLSRegistration(Vector<T>&,SquareMatrix<T>&,const Shape&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const auto from = vertexPointers(*this);
        const auto to = vertexPointers(target);
        if (from.size() != to.size())
            throwDimensions(where);
        rigidFit(from, to, getSpace(), translation, rotation, where);
    }
}

template <typename T>
void Shape<T>::computeLSRegistration(Vector<T>& translation, SquareMatrix<T>& rotation, const Shape& target,
                                     const Vector<int>& correspondence) const
{
    const char* where =
        "void Shape<T>::computeLSRegistration(Vector<T>&,SquareMatrix<T>&,const Shape&,const Vector<int>&) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        const auto from = vertexPointers(*this);
        const auto all = vertexPointers(target);
        if (correspondence.getSize() != static_cast<int>(from.size()))
            throwDimensions(where);
        std::vector<const Vector<T>*> to(from.size());
        for (std::size_t i = 0; i < from.size(); ++i) {
            const int j = correspondence[static_cast<int>(i)];
            if (j < 0 || j >= static_cast<int>(all.size()))
                throw RangeError(where, "Correspondence index out of range");
            to[i] = all[static_cast<std::size_t>(j)];
        }
        rigidFit(from, to, getSpace(), translation, rotation, where);
    }
}

template <typename T>
BoundingBox<T> Shape<T>::boundingBox() const
{
    const int space = getSpace();
    Vector<T> lower;
    Vector<T> upper;
    bool first = true;
    forEachVertex(*this, [&](Vector<T>& v) {
        requireDimension(v, space, "BoundingBox<T> Shape<T>::boundingBox() const");
        if (first) {
            lower = v;
            upper = v;
            first = false;
            return;
        }
        const T* x = v.data();
        for (int k = 0; k < space; ++k) {
            if (x[k] < lower[k])
                lower[k] = x[k];
            if (upper[k] < x[k])
                upper[k] = x[k];
        }
    });
    return first ? BoundingBox<T>() : BoundingBox<T>(lower, upper);
}

template <typename T>
Vector<T> Shape<T>::squareDistances(const Shape& other) const
{
    const char* where = "Vector<T> Shape<T>::squareDistances(const Shape&) const";
    using D = DistanceType<T>;
    const auto source = vertexPointers(other);
    if (static_cast<int>(source.size()) != getNumVertices())
        throwDimensions(where);
    Vector<T> out(static_cast<unsigned int>(source.size()));
    int i = 0;
    forEachVertex(*this, [&](Vector<T>& v) {
        const Vector<T>& w = *source[static_cast<std::size_t>(i)];
        requireDimension(w, v.getSize(), where);
        D s = 0;
        for (int k = 0; k < v.getSize(); ++k) {
            const D d = static_cast<D>(v[k]) - static_cast<D>(w[k]);
            s += d * d;
        }
        out[i++] = static_cast<T>(s);
    });
    return out;
}

template <typename T>
T Shape<T>::rmsDistance(const Shape& other) const
{
    using R = Accumulator<T>;
    const Vector<T> d = squareDistances(other);
    if (d.getSize() == 0)
        return T(0);
    R s = 0;
    for (const T& x : d)
        s += static_cast<R>(x);
    return toCoordinate<T>(std::sqrt(s / d.getSize()));
}

template <typename T>
Vector<T> Shape<T>::squareNearestNeighborDistances(const Shape& other) const
{
    if (other.getNumVertices() == 0 && getNumVertices() > 0)
        throw SizeError("Vector<T> Shape<T>::squareNearestNeighborDistances(const Shape&) const",
                        "The other shape has no vertex");
    const KDTree<T> tree(other);
    Vector<T> out(static_cast<unsigned int>(getNumVertices()));
    int i = 0;
    forEachVertex(*this, [&](Vector<T>& v) {
        T d = T(0);
        tree.nearestVertex(v, d);
        out[i++] = d;
    });
    return out;
}

template <typename T>
Vector<T> Shape<T>::nearestNeighborDistances(const Shape& other) const
{
    Vector<T> d = squareNearestNeighborDistances(other);
    for (T& x : d)
        x = toCoordinate<T>(std::sqrt(static_cast<Accumulator<T>>(x)));
    return d;
}

template <typename T>
Vector<T> Shape<T>::squareNearestNeighborDistances() const
{
    if (getNumVertices() < 2)
        throw SizeError("Vector<T> Shape<T>::squareNearestNeighborDistances() const",
                        "A shape needs at least two vertices");
    const KDTree<T> tree(*this);
    Vector<T> out(static_cast<unsigned int>(getNumVertices()));
    Vector<int> nodes;
    Vector<T> distances;
    int i = 0;
    // The query vertex itself (or a vertex at the same place) comes first.
    forEachVertex(*this, [&](Vector<T>& v) {
        tree.kNearestNeighbours(nodes, distances, 2, v);
        out[i++] = distances[1];
    });
    return out;
}

template <typename T>
Vertices<T> Shape<T>::nearestNeighbors(const Shape& other) const
{
    if (other.getNumVertices() == 0 && getNumVertices() > 0)
        throw SizeError("Vertices<T> Shape<T>::nearestNeighbors(const Shape&) const", "The other shape has no vertex");
    const KDTree<T> tree(other);
    Vertices<T> out(tree.getVertices());
    out.setSize(getNumVertices(), false);
    int i = 0;
    forEachVertex(*this, [&](Vector<T>& v) { out.setIndex(i++, tree.nearestVertex(v)); });
    return out;
}

template <typename T>
void Shape<T>::stats(T& mean, T& max) const
{
    using R = Accumulator<T>;
    R sum = 0;
    R largest = 0;
    int count = 0;
    forEachVertex(*this, [&](Vector<T>& v) {
        R s = 0;
        for (const T& c : v)
            s += static_cast<R>(c) * static_cast<R>(c);
        const R r = std::sqrt(s);
        sum += r;
        largest = std::max(largest, r);
        ++count;
    });
    mean = count ? toCoordinate<T>(sum / count) : T(0);
    max = toCoordinate<T>(largest);
}

template <typename T>
Vector<T> Shape<T>::toVector() const
{
    const int space = getSpace();
    Vector<T> out(static_cast<unsigned int>(getNumVertices() * space));
    T* p = out.data();
    forEachVertex(*this, [&](Vector<T>& v) {
        requireDimension(v, space, "Vector<T> Shape<T>::toVector() const");
        p = std::copy(v.begin(), v.end(), p);
    });
    return out;
}

template <typename T>
void Shape<T>::fromVector(const Vector<T>& source)
{
    const char* where = "void Shape<T>::fromVector(const Vector<T>&)";
    const int space = getSpace();
    if (source.getSize() != getNumVertices() * space)
        throwDimensions(where);
    const T* p = source.data();
    forEachVertex(*this, [&](Vector<T>& v) {
        requireDimension(v, space, where);
        std::copy(p, p + space, v.begin());
        p += space;
    });
}

#define PLEXAN_INSTANTIATE(T) template class Shape<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
