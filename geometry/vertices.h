#pragma once
// Vertices<T>: an ordered list of vertices, kept as server indices into a
// shared vertex pool. The same server index may appear in several lists
// (shared vertices) or several times in one list. Changing the list never
// affects other clients of the pool; changing a coordinate changes it for all
// of them (detach() first for a private pool). Removing entries never touches
// the pool: removed slots stay, unreferenced.
//
// Positions are not checked: callers stay within 0 .. getNumVertices() - 1.

#include "geometry/shape.h"

#include <utility>
#include <vector>

template <typename T>
class Vertices : public Shape<T> {
public:
    // No server, no vertices.
    Vertices() = default;
    // A new server of size vertices (see VertexServer) listed 0 .. size - 1.
    Vertices(int space, int size, int capacity = 0, int growth = 0);
    // Shares the server, copies the list.
    Vertices(const Vertices& other) = default;
    // Shares the server and takes the list over: other is left an empty list
    // on the same server.
    Vertices(Vertices&& other) noexcept : Shape<T>(other), m_indexes(std::move(other.m_indexes)) {}
    // Loads a shape file.
    explicit Vertices(const std::string& fileName);

    // other must be a Vertices<T> (std::bad_cast otherwise): shares its
    // server and copies its list.
    void assign(const VertexClient<T>& other) override;
    Vertices& operator=(const Vertices& other);
    // Shares other's server and takes its list over (other keeps the server,
    // with an empty list).
    Vertices& operator=(Vertices&& other) noexcept;
    using Shape<T>::operator=;

    Vertices* clone() const override { return new Vertices(*this); }
    int getNumVertices() const override { return static_cast<int>(m_indexes.size()); }
    int getSize() const { return getNumVertices(); }
    int getShapeType() const override { return VerticesShape; }
    bool isComposite() const override { return false; }

    // The vertex at position i.
    Vector<T>& vertex(int i) { return (*this->m_server)[m_indexes[static_cast<std::size_t>(i)]]; }
    const Vector<T>& vertex(int i) const { return (*this->m_server)[m_indexes[static_cast<std::size_t>(i)]]; }
    Vector<T>& operator[](int i) { return vertex(i); }
    const Vector<T>& operator[](int i) const { return vertex(i); }
    // The vertex at position locator[0].
    Vector<T>& operator[](const Vector<unsigned int>& locator) override { return vertex(static_cast<int>(locator[0])); }
    const Vector<T>& operator[](const Vector<unsigned int>& locator) const override
    {
        return vertex(static_cast<int>(locator[0]));
    }

    // The coordinates of the vertex at position i, without making its
    // vector view (see VertexServer::coordinates).
    T* coordinates(int i) { return this->m_server->coordinates(m_indexes[static_cast<std::size_t>(i)]); }
    const T* coordinates(int i) const
    {
        return this->m_server->coordinates(m_indexes[static_cast<std::size_t>(i)]);
    }

    int getIndex(int i) const { return m_indexes[static_cast<std::size_t>(i)]; }
    void setIndex(int i, int serverIndex) { m_indexes[static_cast<std::size_t>(i)] = serverIndex; }
    const std::vector<int>& getIndexes() const { return m_indexes; }

    // Adds one server slot holding v and lists it at the end, at position i,
    // or at the front. A list without server gets a new one of v's
    // dimension.
    void append(const Vector<T>& v);
    void insert(int i, const Vector<T>& v);
    void prepend(const Vector<T>& v) { insert(0, v); }
    // On the same server only other's indices are appended (the vertices
    // become shared); otherwise other's vertices are copied, in its list
    // order, into new slots of this server.
    virtual void append(const Vertices& other);

    // Resizes the list to n. Added entries are 0, or with newVertices the
    // server indices following the former last entry (0 for an empty list);
    // the server is not grown, so those slots must be in use.
    void setSize(int n, bool newVertices);
    // Removes entry i, entries i to j inclusive, or all entries but i to j
    // (nothing when j < i).
    void remove(int i);
    void remove(int i, int j);
    void removeOutside(int i, int j);
    void reverse();
    // Rotates the list so that entry k becomes entry 0 (k <= 0: no change).
    void setOrigin(int k);

    // Position of the vertex with the largest (smallest) coordinate d, the
    // first winning a tie; 0 for fewer than 2 vertices.
    int findMax(int d) const;
    int findMin(int d) const;
    // Positions i (in this list) and j (in other) of the closest pair, the
    // first pair met winning a tie.
    void closestPoints(const Vertices& other, int& i, int& j) const;
    // For every vertex, the position of the nearest vertex of other.
    Vector<int> closestPointMap(const Vertices& other) const;
    // The cyclic shift k maximising the sum over i of this[(i + k) mod n] .
    // other[i]; the smallest k wins a tie. Lists of equal length only.
    int findMatch(const Vertices& other) const;
    void match(const Vertices& other) { setOrigin(findMatch(other)); }
    // The mean axial direction of the vertices around centre (or the centre
    // of gravity), for 2-D lists: its direction is the mean orientation, its
    // length the concentration (0 to 1 unweighted). Weighted by the distance
    // to the centre when asked. Vertices at the centre have no direction and
    // are skipped.
    Vector<T> meanDirection(const Vector<T>& centre, bool weighted) const;
    Vector<T> meanDirection(bool weighted) const { return meanDirection(this->cog(), weighted); }

    void read(std::istream& stream) override;
    void write(std::ostream& stream) const override;
    void print(const std::string& prefix = "", std::ostream& stream = std::cout) const override;
    ConcreteVertexIterator<T>* vertexIterator() override;
    ConcreteVertexIterator<T>* vertexIterator() const override;

protected:
    // Reads a vertex-list file body after its header into a new server and
    // returns the type code read.
    int readVertexList(std::istream& stream, const char* where);
    // Adds one server slot holding v and returns its server index.
    int addServerVertex(const Vector<T>& v, const char* where);

    std::vector<int> m_indexes;
};

// The iterator of a vertex list: one-element locator (the position).
template <typename T>
class VerticesVertexIterator : public ConcreteVertexIterator<T> {
public:
    explicit VerticesVertexIterator(Vertices<T>& list) : m_list(&list) { this->m_locator.setZeros(1); }
    VerticesVertexIterator* clone() const override { return new VerticesVertexIterator(*this); }
    Vector<T>* current() override { return valid() ? &m_list->vertex(m_position) : nullptr; }
    const Vector<T>* current() const override { return valid() ? &m_list->vertex(m_position) : nullptr; }
    const Vector<unsigned int>& locator() override
    {
        this->m_locator[0] = static_cast<unsigned int>(m_position);
        return this->m_locator;
    }
    int currentServerIndex() const override { return valid() ? m_list->getIndex(m_position) : -1; }
    void operator++(int) override { ++m_position; }
    void operator++() override { ++m_position; }
    void rewind() override { m_position = 0; }

private:
    bool valid() const { return m_position < m_list->getNumVertices() && m_list->hasServer(); }

    Vertices<T>* m_list;
    int m_position = 0;
};

#define PLEXAN_EXTERN_VERTICES(T) extern template class Vertices<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_VERTICES)
#undef PLEXAN_EXTERN_VERTICES
