#include "geometry/vertexstack.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <ostream>

template <typename T>
VertexStack<T>::VertexStack(int space, int height, int width, int capacity, int growth)
    : Shape<T>(space, std::max(height, 0) * std::max(width, 0), capacity, growth)
{
    height = std::max(height, 0);
    width = std::max(width, 0);
    for (int k = 0; k < height; ++k) {
        auto* level = new Vertices<T>;
        level->setServer(this->m_server);
        level->setSize(width, false);
        for (int i = 0; i < width; ++i)
            level->setIndex(i, k * width + i);
        m_levels.push_back(level);
    }
}

template <typename T>
VertexStack<T>::VertexStack(const VertexStack& other) : Shape<T>(other)
{
    m_levels.reserve(other.m_levels.size());
    for (const Vertices<T>* level : other.m_levels)
        m_levels.push_back(level->clone());
}

template <typename T>
VertexStack<T>::VertexStack(const std::string& fileName)
{
    this->load(fileName);
}

template <typename T>
VertexStack<T>::~VertexStack()
{
    clearLevels();
}

template <typename T>
void VertexStack<T>::clearLevels()
{
    for (Vertices<T>* level : m_levels)
        delete level;
    m_levels.clear();
}

template <typename T>
void VertexStack<T>::assign(const VertexClient<T>& other)
{
    const VertexStack& stack = dynamic_cast<const VertexStack&>(other);
    if (&stack == this)
        return;
    std::vector<Vertices<T>*> levels;
    levels.reserve(stack.m_levels.size());
    for (const Vertices<T>* level : stack.m_levels)
        levels.push_back(level->clone());
    Shape<T>::assign(other);
    clearLevels();
    m_levels = std::move(levels);
}

template <typename T>
VertexStack<T>& VertexStack<T>::operator=(const VertexStack& other)
{
    assign(other);
    return *this;
}

template <typename T>
int VertexStack<T>::getSpace() const
{
    if (this->m_server)
        return this->m_server->getSpace();
    return m_levels.empty() ? 0 : m_levels.front()->getSpace();
}

template <typename T>
int VertexStack<T>::getNumVertices() const
{
    int n = 0;
    for (const Vertices<T>* level : m_levels)
        n += level->getNumVertices();
    return n;
}

template <typename T>
Vector<T>& VertexStack<T>::operator[](const Vector<unsigned int>& locator)
{
    return m_levels[locator[0]]->vertex(static_cast<int>(locator[1]));
}

template <typename T>
const Vector<T>& VertexStack<T>::operator[](const Vector<unsigned int>& locator) const
{
    return m_levels[locator[0]]->vertex(static_cast<int>(locator[1]));
}

// Levels ----------------------------------------------------------------------

template <typename T>
void VertexStack<T>::insertLevel(std::size_t k, Vertices<T>* level)
{
    k = std::min(k, m_levels.size());
    m_levels.insert(m_levels.begin() + static_cast<std::ptrdiff_t>(k), level);
}

template <typename T>
void VertexStack<T>::append(const VertexStack& other)
{
    const std::vector<Vertices<T>*> levels = other.m_levels; // other may be this stack
    for (const Vertices<T>* level : levels)
        append(*level);
}

template <typename T>
void VertexStack<T>::prepend(const VertexStack& other)
{
    const std::vector<Vertices<T>*> levels = other.m_levels;
    for (auto it = levels.rbegin(); it != levels.rend(); ++it)
        prepend(**it);
}

template <typename T>
void VertexStack<T>::append(const Vertices<T>& vertices)
{
    insert(static_cast<unsigned int>(m_levels.size()), vertices);
}

template <typename T>
void VertexStack<T>::prepend(const Vertices<T>& vertices)
{
    insert(0, vertices);
}

template <typename T>
void VertexStack<T>::insert(unsigned int k, const Vertices<T>& vertices)
{
    Vertices<T>* level = newLevel();
    level->Vertices<T>::assign(vertices);
    if (!this->m_server)
        this->setServer(const_cast<VertexServer<T>*>(vertices.getServer()));
    insertLevel(k, level);
}

template <typename T>
Vertices<T>* VertexStack<T>::newLevel() const
{
    return new Vertices<T>;
}

template <typename T>
void VertexStack<T>::remove(int k)
{
    if (k < 0 || k >= getHeight())
        return;
    delete m_levels[static_cast<std::size_t>(k)];
    m_levels.erase(m_levels.begin() + k);
}

template <typename T>
void VertexStack<T>::reverse()
{
    std::reverse(m_levels.begin(), m_levels.end());
}

template <typename T>
void VertexStack<T>::sort(int d)
{
    const int h = getHeight();
    // Empty levels have no key and sort after every other level.
    auto less = [d](const Vertices<T>* a, const Vertices<T>* b) {
        if (a->getNumVertices() == 0)
            return false;
        if (b->getNumVertices() == 0)
            return true;
        return a->vertex(0)[d] < b->vertex(0)[d];
    };
    for (int i = 0; i < h; ++i) {
        int smallest = i;
        for (int j = i + 1; j < h; ++j)
            if (less(m_levels[static_cast<std::size_t>(j)], m_levels[static_cast<std::size_t>(smallest)]))
                smallest = j;
        std::swap(m_levels[static_cast<std::size_t>(i)], m_levels[static_cast<std::size_t>(smallest)]);
    }
}

template <typename T>
Vertices<T> VertexStack<T>::cat() const
{
    Vertices<T> all;
    const VertexServer<T>* pool = nullptr;
    bool shared = true;
    for (const Vertices<T>* level : m_levels) {
        if (level->getNumVertices() == 0)
            continue;
        if (pool && level->getServer() != pool)
            shared = false;
        pool = level->getServer();
    }
    if (shared && pool) {
        all.setServer(const_cast<VertexServer<T>*>(pool));
        for (const Vertices<T>* level : m_levels)
            all.append(*level); // indices only: same pool
        return all;
    }
    for (const Vertices<T>* level : m_levels)
        all.append(*level);
    return all;
}

template <typename T>
VertexStack<int> VertexStack<T>::closestPointMap(const VertexStack& other) const
{
    using D = plexan::DistanceType<T>;
    // Other's vertices contiguous, with their locators.
    const int space = other.getSpace();
    std::vector<T> points;
    std::vector<int> where;
    for (int l = 0; l < other.getHeight(); ++l)
        for (int p = 0; p < other[l].getNumVertices(); ++p) {
            const Vector<T>& v = other[l].vertex(p);
            points.insert(points.end(), v.begin(), v.begin() + std::min(space, v.getSize()));
            where.push_back(l);
            where.push_back(p);
        }
    const std::size_t m = where.size() / 2;
    const int total = getNumVertices();
    VertexStack<int> map(2, 0, 0, std::max(total, 1), std::max(total, 1));
    Vector<int> locator(2u);
    for (const Vertices<T>* level : m_levels) {
        Vertices<int> row;
        row.setServer(map.getServer());
        for (int p = 0; p < level->getNumVertices(); ++p) {
            const T* x = level->vertex(p).data();
            std::size_t best = 0;
            D bestDistance = std::numeric_limits<D>::max();
            for (std::size_t q = 0; q < m; ++q) {
                const T* y = points.data() + q * static_cast<std::size_t>(space);
                D s = 0;
                for (int a = 0; a < space; ++a) {
                    const D d = static_cast<D>(x[a]) - static_cast<D>(y[a]);
                    s += d * d;
                }
                if (s < bestDistance) {
                    bestDistance = s;
                    best = q;
                }
            }
            locator[0] = m ? where[2 * best] : -1;
            locator[1] = m ? where[2 * best + 1] : -1;
            row.append(locator);
        }
        map.append(row);
    }
    return map;
}

template <typename T>
void VertexStack<T>::detach()
{
    for (Vertices<T>* level : m_levels)
        if (level->getServer() != this->m_server)
            level->detach();
    if (!this->m_server)
        return;
    int holders = 1;
    for (const Vertices<T>* level : m_levels)
        if (level->getServer() == this->m_server)
            ++holders;
    if (this->m_server->getRefs() == holders)
        return;
    VertexServer<T>* old = this->m_server;
    VertexClient<T> copy;
    copy.setServer(new VertexServer<T>(*old));
    for (Vertices<T>* level : m_levels)
        if (level->getServer() == old)
            level->setServer(copy.getServer());
    this->setServer(copy.getServer());
}

// Files -----------------------------------------------------------------------

template <typename T>
int VertexStack<T>::readStack(std::istream& stream, const char* where)
{
    const int type = this->readHeaderValue(stream, where);
    if (type < 0 || type > TriMeshShape)
        throw FileFormatError(where, "Unknown shape type");
    if (type != ClosedCurveStackShape && type != OpenCurveStackShape && type != ClosedQuadMeshShape &&
        type != OpenQuadMeshShape && type != VertexStackShape)
        throw FileFormatError(where, "Shape type mismatch");
    const int space = this->readHeaderValue(stream, where);
    this->checkSpace(space, where);
    const int height = this->readHeaderValue(stream, where);
    this->checkCount(height, where, "Invalid number of levels");

    // The pool and the levels grow as the data arrives, so that counts the
    // data does not back allocate nothing.
    VertexClient<T> pool;
    pool.setServer(new VertexServer<T>(space, 0, 0, 64));
    VertexServer<T>& server = *pool.getServer();
    std::vector<Vertices<T>*> levels;
    try {
        for (int k = 0; k < height; ++k) {
            const int count = this->readHeaderValue(stream, where);
            this->checkCount(count, where, "Invalid number of vertices");
            levels.push_back(newLevel());
            Vertices<T>& level = *levels.back();
            level.setServer(&server);
            for (int i = 0; i < count; ++i) {
                const int index = server.getSize();
                server.setGrowth(std::max(64, std::min(index, 1 << 20)));
                server.setSize(index + 1);
                T* x = server[index].data();
                for (int a = 0; a < space; ++a)
                    if (!(stream >> x[a]))
                        throw FileFormatError(where, "Truncated or malformed vertex data");
                level.setSize(i + 1, false);
                level.setIndex(i, index);
            }
        }
    } catch (...) {
        for (Vertices<T>* level : levels)
            delete level;
        throw;
    }
    server.setCapacity(server.getSize());
    server.setGrowth(server.getSize());
    clearLevels();
    m_levels = std::move(levels);
    this->setServer(&server);
    return type;
}

template <typename T>
void VertexStack<T>::read(std::istream& stream)
{
    readStack(stream, "void VertexStack<T>::read(istream&)");
}

template <typename T>
void VertexStack<T>::write(std::ostream& stream) const
{
    const char* where = "void VertexStack<T>::write(ostream&) const";
    for (const Vertices<T>* level : m_levels)
        if (level->getNumVertices() > 0 && level->getSpace() != getSpace())
            throw FileWriteError(where, "Levels of different space dimensions");
    const auto mask = stream.exceptions();
    try {
        stream.exceptions(std::ios::failbit | std::ios::badbit);
        stream << "# " << this->getShapeType() << '\n'
               << "# " << getSpace() << '\n'
               << "# " << getHeight() << '\n';
        for (const Vertices<T>* level : m_levels) {
            const int n = level->getNumVertices();
            stream << "# " << n << '\n';
            for (int i = 0; i < n; ++i) {
                const Vector<T>& x = level->vertex(i);
                for (int k = 0; k < x.getSize(); ++k) {
                    if (k)
                        stream << ' ';
                    stream << x[k];
                }
                stream << '\n';
            }
        }
        stream.exceptions(mask);
    } catch (const std::ios::failure&) {
        this->restoreExceptions(stream, mask);
        this->failWrite(where);
    }
}

template <typename T>
void VertexStack<T>::print(const std::string& prefix, std::ostream& stream) const
{
    Shape<T>::print(prefix, stream);
    stream << prefix << " Height = " << getHeight() << '\n';
    for (int k = 0; k < getHeight(); ++k) {
        stream << prefix << " Level " << k << '\n';
        m_levels[static_cast<std::size_t>(k)]->print(prefix + "  ", stream);
    }
}

template <typename T>
ConcreteVertexIterator<T>* VertexStack<T>::vertexIterator()
{
    return new VertexStackVertexIterator<T>(*this);
}

template <typename T>
ConcreteVertexIterator<T>* VertexStack<T>::vertexIterator() const
{
    return new VertexStackVertexIterator<T>(const_cast<VertexStack&>(*this));
}

// Iterator --------------------------------------------------------------------

template <typename T>
VertexStackVertexIterator<T>::VertexStackVertexIterator(VertexStack<T>& stack) : m_stack(&stack)
{
    this->m_locator.setZeros(2);
    settle();
}

template <typename T>
void VertexStackVertexIterator<T>::settle()
{
    while (m_level < m_stack->getHeight() &&
           (m_position >= (*m_stack)[m_level].getNumVertices() || !(*m_stack)[m_level].hasServer())) {
        ++m_level;
        m_position = 0;
    }
}

template <typename T>
void VertexStackVertexIterator<T>::advance()
{
    if (!valid())
        return;
    ++m_position;
    settle();
}

template <typename T>
void VertexStackVertexIterator<T>::rewind()
{
    m_level = 0;
    m_position = 0;
    settle();
}

template <typename T>
const Vector<unsigned int>& VertexStackVertexIterator<T>::locator()
{
    this->m_locator[0] = static_cast<unsigned int>(m_level);
    this->m_locator[1] = static_cast<unsigned int>(m_position);
    return this->m_locator;
}

#define PLEXAN_INSTANTIATE(T)                                                                                   \
    template class VertexStack<T>;                                                                              \
    template class VertexStackVertexIterator<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
