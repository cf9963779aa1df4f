#pragma once
// Vertex iterators. Shape::vertexIterator() returns a new concrete iterator
// owned by the caller; VertexIterator<T> (over a modifiable shape) and
// ConstVertexIterator<T> (over a const shape) own one and forward to it.
//
//     for (ConstVertexIterator<T> it(shape); it.current(); ++it)
//         use(*it.current());

#include "geometry/coordinates.h"
#include "numerics/vector.h"

#include <utility>

template <typename T> class Shape;

// The base iterator is empty: current() is null from the start.
template <typename T>
class ConcreteVertexIterator {
public:
    virtual ~ConcreteVertexIterator() = default;
    virtual ConcreteVertexIterator* clone() const { return new ConcreteVertexIterator(*this); }
    // The current vertex, null past the end.
    virtual Vector<T>* current() { return nullptr; }
    virtual const Vector<T>* current() const { return nullptr; }
    // The current position (one element for a list, (level, position) for a
    // stack).
    virtual const Vector<unsigned int>& locator() { return m_locator; }
    // The server index of the current vertex, -1 past the end.
    virtual int currentServerIndex() const { return -1; }
    virtual void operator++(int) {}
    virtual void operator++() {}
    virtual void rewind() {}

protected:
    Vector<unsigned int> m_locator;
};

// Owns a concrete iterator over a shape; copies clone it.
template <typename T, typename ShapeType, typename VertexType>
class BasicVertexIterator {
public:
    explicit BasicVertexIterator(ShapeType& shape) : m_iterator(shape.vertexIterator()) {}
    BasicVertexIterator(const BasicVertexIterator& other) : m_iterator(other.m_iterator->clone()) {}
    BasicVertexIterator& operator=(const BasicVertexIterator& other)
    {
        if (this != &other) {
            ConcreteVertexIterator<T>* copy = other.m_iterator->clone();
            delete m_iterator;
            m_iterator = copy;
        }
        return *this;
    }
    ~BasicVertexIterator() { delete m_iterator; }

    VertexType* current() const { return m_iterator->current(); }
    const Vector<unsigned int>& locator() const { return m_iterator->locator(); }
    int currentServerIndex() const { return m_iterator->currentServerIndex(); }
    BasicVertexIterator& operator++()
    {
        ++*m_iterator;
        return *this;
    }
    void operator++(int) { (*m_iterator)++; }
    void rewind() { m_iterator->rewind(); }

private:
    ConcreteVertexIterator<T>* m_iterator;
};

template <typename T>
using VertexIterator = BasicVertexIterator<T, Shape<T>, Vector<T>>;
template <typename T>
using ConstVertexIterator = BasicVertexIterator<T, const Shape<T>, const Vector<T>>;
