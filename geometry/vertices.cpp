#include "geometry/vertices.h"

#include "numerics/hugepages.h"
#include "numerics/parallel.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <numeric>
#include <ostream>
#include <typeinfo>

namespace {

// Growth of a server made for a list that had none.
constexpr int defaultGrowth = 64;

} // namespace

template <typename T>
Vertices<T>::Vertices(int space, int size, int capacity, int growth)
    : Shape<T>(space, size, capacity, growth)
{
    plexan::reserveLarge(m_indexes, static_cast<std::size_t>(std::max(size, 0)));
    // A mesh's index list runs to hundreds of small pages: mapped in a few
    // requests rather than a fault each.
    plexan::parallel::prefault(m_indexes.data(), m_indexes.capacity() * sizeof(m_indexes[0]));
    m_indexes.resize(static_cast<std::size_t>(std::max(size, 0)));
    std::iota(m_indexes.begin(), m_indexes.end(), 0);
}

template <typename T>
Vertices<T>::Vertices(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
void Vertices<T>::assign(const VertexClient<T>& other)
{
    const Vertices& list = dynamic_cast<const Vertices&>(other);
    if (&list == this)
        return;
    Shape<T>::assign(other);
    m_indexes = list.m_indexes;
}

template <typename T>
Vertices<T>& Vertices<T>::operator=(const Vertices& other)
{
    assign(other);
    return *this;
}

template <typename T>
Vertices<T>& Vertices<T>::operator=(Vertices&& other) noexcept
{
    if (&other != this) {
        Shape<T>::assign(other);
        m_indexes = std::move(other.m_indexes);
        other.m_indexes.clear();
    }
    return *this;
}

// Building ------------------------------------------------------------------

template <typename T>
int Vertices<T>::addServerVertex(const Vector<T>& v, const char* where)
{
    if (!this->m_server)
        this->setServer(new VertexServer<T>(v.getSize(), 0, 0, defaultGrowth));
    VertexServer<T>& server = *this->m_server;
    const int index = server.getSize();
    server.setSize(index + 1);
    try {
        server[index] = v; // a vector of another dimension is refused by the slot
    } catch (Exception& e) {
        server.setSize(index);
        e.addCall(where);
        throw;
    }
    return index;
}

template <typename T>
void Vertices<T>::append(const Vector<T>& v)
{
    m_indexes.push_back(addServerVertex(v, "void Vertices<T>::append(const Vector<T>&)"));
}

template <typename T>
void Vertices<T>::insert(int i, const Vector<T>& v)
{
    const int index = addServerVertex(v, "void Vertices<T>::insert(int, const Vector<T>&)");
    m_indexes.insert(m_indexes.begin() + i, index);
}

template <typename T>
void Vertices<T>::append(const Vertices& other)
{
    if (!other.m_server || other.m_indexes.empty())
        return;
    if (other.m_server == this->m_server) {
        const std::vector<int> shared = other.m_indexes; // other may be this list
        m_indexes.insert(m_indexes.end(), shared.begin(), shared.end());
        return;
    }
    if (!this->m_server)
        this->setServer(new VertexServer<T>(other.getSpace(), 0, 0, defaultGrowth));
    VertexServer<T>& server = *this->m_server;
    if (server.getSpace() != other.getSpace())
        throw SizeError("void Vertices<T>::append(const Vertices&)", "Incompatible vector dimensions");
    const int start = server.getSize();
    const int count = other.getNumVertices();
    server.setSize(start + count);
    m_indexes.reserve(m_indexes.size() + static_cast<std::size_t>(count));
    const int space = server.getSpace();
    for (int k = 0; k < count; ++k) {
        std::copy_n(other.coordinates(k), space, server.coordinates(start + k));
        m_indexes.push_back(start + k);
    }
}

template <typename T>
void Vertices<T>::setSize(int n, bool newVertices)
{
    n = std::max(n, 0);
    const int old = getNumVertices();
    const int next = old > 0 ? m_indexes.back() + 1 : 0;
    m_indexes.resize(static_cast<std::size_t>(n), 0);
    if (newVertices)
        for (int k = old; k < n; ++k)
            m_indexes[static_cast<std::size_t>(k)] = next + (k - old);
}

template <typename T>
void Vertices<T>::remove(int i)
{
    remove(i, i);
}

template <typename T>
void Vertices<T>::remove(int i, int j)
{
    const int n = getNumVertices();
    i = std::max(i, 0);
    j = std::min(j, n - 1);
    if (j < i)
        return;
    m_indexes.erase(m_indexes.begin() + i, m_indexes.begin() + j + 1);
}

template <typename T>
void Vertices<T>::removeOutside(int i, int j)
{
    if (j < i)
        return;
    const int n = getNumVertices();
    i = std::max(i, 0);
    j = std::min(j, n - 1);
    if (j < i) {
        m_indexes.clear();
        return;
    }
    m_indexes.erase(m_indexes.begin() + j + 1, m_indexes.end());
    m_indexes.erase(m_indexes.begin(), m_indexes.begin() + i);
}

template <typename T>
void Vertices<T>::reverse()
{
    std::reverse(m_indexes.begin(), m_indexes.end());
}

template <typename T>
void Vertices<T>::setOrigin(int k)
{
    const int n = getNumVertices();
    if (k <= 0 || n == 0)
        return;
    std::rotate(m_indexes.begin(), m_indexes.begin() + k % n, m_indexes.end());
}

// Searching -----------------------------------------------------------------

template <typename T>
int Vertices<T>::findMax(int d) const
{
    const int n = getNumVertices();
    int best = 0;
    for (int i = 1; i < n; ++i)
        if (vertex(best)[d] < vertex(i)[d])
            best = i;
    return best;
}

template <typename T>
int Vertices<T>::findMin(int d) const
{
    const int n = getNumVertices();
    int best = 0;
    for (int i = 1; i < n; ++i)
        if (vertex(i)[d] < vertex(best)[d])
            best = i;
    return best;
}

namespace {

template <typename T>
plexan::DistanceType<T> squaredDistance(const T* a, const T* b, int space)
{
    using D = plexan::DistanceType<T>;
    D s = 0;
    for (int k = 0; k < space; ++k) {
        const D d = static_cast<D>(a[k]) - static_cast<D>(b[k]);
        s += d * d;
    }
    return s;
}

// The coordinates of a list, contiguous and in list order.
template <typename T>
std::vector<T> gather(const Vertices<T>& list)
{
    const int n = list.getNumVertices();
    const int space = list.getSpace();
    std::vector<T> out(static_cast<std::size_t>(n) * static_cast<std::size_t>(space));
    for (int i = 0; i < n; ++i)
        std::copy_n(list.coordinates(i), space, out.data() + static_cast<std::size_t>(i) * space);
    return out;
}

} // namespace

template <typename T>
void Vertices<T>::closestPoints(const Vertices& other, int& i, int& j) const
{
    i = 0;
    j = 0;
    const int n = getNumVertices();
    const int m = other.getNumVertices();
    if (n == 0 || m == 0)
        return;
    const int space = std::min(this->getSpace(), other.getSpace());
    const std::vector<T> b = gather(other);
    auto best = squaredDistance(vertex(0).data(), b.data(), space);
    for (int p = 0; p < n; ++p) {
        const T* a = vertex(p).data();
        for (int q = 0; q < m; ++q) {
            const auto d = squaredDistance(a, b.data() + static_cast<std::size_t>(q) * other.getSpace(), space);
            if (d < best) {
                best = d;
                i = p;
                j = q;
            }
        }
    }
}

template <typename T>
Vector<int> Vertices<T>::closestPointMap(const Vertices& other) const
{
    const int n = getNumVertices();
    const int m = other.getNumVertices();
    Vector<int> map(static_cast<unsigned int>(n));
    map.setZeros();
    if (m == 0)
        return map;
    const int space = std::min(this->getSpace(), other.getSpace());
    const std::vector<T> b = gather(other);
    for (int p = 0; p < n; ++p) {
        const T* a = vertex(p).data();
        auto best = squaredDistance(a, b.data(), space);
        for (int q = 1; q < m; ++q) {
            const auto d = squaredDistance(a, b.data() + static_cast<std::size_t>(q) * other.getSpace(), space);
            if (d < best) {
                best = d;
                map[p] = q;
            }
        }
    }
    return map;
}

template <typename T>
int Vertices<T>::findMatch(const Vertices& other) const
{
    const int n = getNumVertices();
    if (other.getNumVertices() != n)
        throw SizeError("int Vertices<T>::findMatch(const Vertices&) const", "Size mismatch");
    if (n < 2)
        return 0;
    if (other.getSpace() != this->getSpace())
        throw SizeError("int Vertices<T>::findMatch(const Vertices&) const", "Incompatible vector dimensions");
    using R = plexan::Accumulator<T>;
    const int space = this->getSpace();
    // Both lists contiguous in the accumulation type, so that every shift is
    // two straight dot products.
    std::vector<R> a(static_cast<std::size_t>(n) * space);
    std::vector<R> b(a.size());
    for (int i = 0; i < n; ++i)
        for (int k = 0; k < space; ++k) {
            a[static_cast<std::size_t>(i) * space + k] = static_cast<R>(vertex(i)[k]);
            b[static_cast<std::size_t>(i) * space + k] = static_cast<R>(other.vertex(i)[k]);
        }
    const std::size_t total = a.size();
    int bestShift = 0;
    R best = 0;
    for (int shift = 0; shift < n; ++shift) {
        const std::size_t offset = static_cast<std::size_t>(shift) * space;
        R sum = 0;
        // this[i + shift] . other[i] for i < n - shift, then the wrapped part.
        for (std::size_t e = 0; e + offset < total; ++e)
            sum += a[e + offset] * b[e];
        for (std::size_t e = total - offset; e < total; ++e)
            sum += a[e + offset - total] * b[e];
        if (shift == 0 || sum > best) {
            best = sum;
            bestShift = shift;
        }
    }
    return bestShift;
}

template <typename T>
Vector<T> Vertices<T>::meanDirection(const Vector<T>& centre, bool weighted) const
{
    const char* where = "Vector<T> Vertices<T>::meanDirectionVector(...) const";
    if constexpr (!plexan::isReal<T>) {
        plexan::refuseType<T>(where);
    } else {
        if (this->getSpace() != 2)
            throw ProgramError(where, "Space dimension is not 2");
        T ssum = 0;
        T csum = 0;
        T wsum = 0;
        const int n = getNumVertices();
        for (int i = 0; i < n; ++i) {
            const T dx = vertex(i)[0] - centre[0];
            const T dy = vertex(i)[1] - centre[1];
            const T r = std::sqrt(dx * dx + dy * dy);
            if (!(r > 0))
                continue;
            const T phi = 2 * std::atan2(dy / r, dx / r);
            const T w = weighted ? r : T(1);
            ssum += w * std::sin(phi);
            csum += w * std::cos(phi);
            wsum += w;
        }
        Vector<T> direction(2u);
        direction.setZeros();
        if (wsum > 0) {
            csum /= wsum;
            ssum /= wsum;
            const T length = std::sqrt(csum * csum + ssum * ssum);
            const T alpha = std::atan2(ssum, csum) / 2;
            direction[0] = length * std::cos(alpha);
            direction[1] = length * std::sin(alpha);
        }
        return direction;
    }
}

// Files ---------------------------------------------------------------------

template <typename T>
int Vertices<T>::readVertexList(std::istream& stream, const char* where)
{
    const int type = this->readHeaderValue(stream, where);
    if (type < 0 || type > TriMeshShape)
        throw FileFormatError(where, "Unknown shape type");
    if (type != ClosedCurveShape && type != OpenCurveShape && type != VerticesShape && type != TriMeshShape)
        throw FileFormatError(where, "Shape type mismatch");
    const int space = this->readHeaderValue(stream, where);
    this->checkSpace(space, where);
    const int count = this->readHeaderValue(stream, where);
    this->checkCount(count, where, "Invalid number of vertices");

    // The pool grows as vertices arrive, so that a count the data does not
    // back allocates nothing.
    constexpr int chunk = 1 << 16;
    auto* server = new VertexServer<T>(space, 0, std::min(count, chunk), std::min(count, chunk));
    VertexClient<T> holder;
    holder.setServer(server); // frees the pool if reading fails
    for (int i = 0; i < count; ++i) {
        server->setSize(i + 1);
        T* x = server->coordinates(i);
        for (int k = 0; k < space; ++k)
            if (!(stream >> x[k]))
                throw FileFormatError(where, "Truncated or malformed vertex data");
    }
    server->setCapacity(count);
    server->setGrowth(count);
    this->setServer(server);
    m_indexes.resize(static_cast<std::size_t>(count));
    std::iota(m_indexes.begin(), m_indexes.end(), 0);
    return type;
}

template <typename T>
void Vertices<T>::read(std::istream& stream)
{
    readVertexList(stream, "void Vertices<T>::read(istream&)");
}

template <typename T>
void Vertices<T>::write(std::ostream& stream) const
{
    const char* where = "void Vertices<T>::write(ostream&) const";
    const auto mask = stream.exceptions();
    try {
        stream.exceptions(std::ios::failbit | std::ios::badbit);
        const int n = getNumVertices();
        const int space = this->getSpace();
        stream << "# " << this->getShapeType() << '\n' << "# " << space << '\n' << "# " << n << '\n';
        for (int i = 0; i < n; ++i) {
            const T* x = coordinates(i);
            for (int k = 0; k < space; ++k) {
                if (k)
                    stream << ' ';
                stream << x[k];
            }
            stream << '\n';
        }
        stream.exceptions(mask);
    } catch (const std::ios::failure&) {
        this->restoreExceptions(stream, mask);
        this->failWrite(where);
    }
}

template <typename T>
void Vertices<T>::print(const std::string& prefix, std::ostream& stream) const
{
    Shape<T>::print(prefix, stream);
    stream << prefix << " Size = " << getNumVertices() << '\n' << prefix << " Indexes =";
    for (int index : m_indexes)
        stream << ' ' << index;
    stream << '\n';
}

template <typename T>
ConcreteVertexIterator<T>* Vertices<T>::vertexIterator()
{
    return new VerticesVertexIterator<T>(*this);
}

template <typename T>
ConcreteVertexIterator<T>* Vertices<T>::vertexIterator() const
{
    return new VerticesVertexIterator<T>(const_cast<Vertices&>(*this));
}

#define PLEXAN_INSTANTIATE(T) template class Vertices<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
