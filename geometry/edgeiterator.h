#pragma once
// Edge iterators. Shape::edgeIterator() returns a new concrete iterator owned
// by the caller; the current edge is a two-vertex open curve that views the
// shape's own vertices. The base iterator is empty.

template <typename T> class Edge;

template <typename T>
class ConcreteEdgeIterator {
public:
    virtual ~ConcreteEdgeIterator() = default;
    // The current edge, null past the end.
    virtual Edge<T>* current() { return nullptr; }
    virtual void operator++(int) {}
    virtual void rewind() {}
};
