#pragma once
// VertexStack<T>: an ordered stack of vertex lists (levels, level 0 first),
// such as the points of a structure slice by slice. The stack holds a pool of
// its own which its levels normally share; a level inserted from elsewhere
// keeps the pool it came with. A vertex is addressed by the two-element
// locator (level, position). Levels and positions are not checked.

#include "geometry/vertices.h"

#include <vector>

template <typename T>
class VertexStack : public Shape<T> {
public:
    VertexStack() = default;
    // One pool of height x width vertices (a capacity below 1 stands for that
    // size, and so does a growth below 1), and height levels of width
    // vertices, level k listing server indices k width .. (k + 1) width - 1.
    VertexStack(int space, int height, int width, int capacity = 0, int growth = 0);
    // Copies the levels, sharing their pools.
    VertexStack(const VertexStack& other);
    explicit VertexStack(const std::string& fileName);
    ~VertexStack() override;

    // other must be a VertexStack<T> (std::bad_cast otherwise): shares its
    // pool and copies its levels.
    void assign(const VertexClient<T>& other) override;
    VertexStack& operator=(const VertexStack& other);
    using Shape<T>::operator=;

    VertexStack* clone() const override { return new VertexStack(*this); }
    // The stack's pool dimension, or else the first level's, or else 0.
    int getSpace() const override;
    // The sum of the level sizes.
    int getNumVertices() const override;
    int getShapeType() const override { return VertexStackShape; }
    bool isComposite() const override { return true; }
    int getHeight() const { return static_cast<int>(m_levels.size()); }

    Vertices<T>& operator[](int k) { return *m_levels[static_cast<std::size_t>(k)]; }
    const Vertices<T>& operator[](int k) const { return *m_levels[static_cast<std::size_t>(k)]; }
    // Vertex locator[1] of level locator[0].
    Vector<T>& operator[](const Vector<unsigned int>& locator) override;
    const Vector<T>& operator[](const Vector<unsigned int>& locator) const override;

    // Adds the levels of another stack at the end, or in front keeping their
    // order.
    virtual void append(const VertexStack& other);
    virtual void prepend(const VertexStack& other);
    // Adds a level copied from vertices (sharing their pool) at the end, in
    // front, or before level k. A stack without pool adopts the level's.
    virtual void append(const Vertices<T>& vertices);
    virtual void prepend(const Vertices<T>& vertices);
    virtual void insert(unsigned int k, const Vertices<T>& vertices);
    // A new empty level of this stack's level class, owned by the caller.
    virtual Vertices<T>* newLevel() const;

    // Deletes level k.
    void remove(int k);
    // Reverses the order of the levels.
    void reverse();
    // Orders the levels by coordinate d of their first vertex, ascending, by
    // selection sort (the first level met wins a tie); empty levels go last.
    void sort(int d);
    // All levels concatenated into one list (on the levels' pool when they
    // share one).
    Vertices<T> cat() const;
    // For every vertex, the locator (level, position) of the nearest vertex
    // among all levels of other, the first met winning a tie: a stack of
    // dimension 2 with this stack's level sizes.
    VertexStack<int> closestPointMap(const VertexStack& other) const;

    // Detaches the stack and every level on its pool together, so that they
    // keep sharing one private pool; nothing happens when nothing outside
    // the stack holds the pool.
    void detach() override;

    void read(std::istream& stream) override;
    void write(std::ostream& stream) const override;
    void print(const std::string& prefix = "", std::ostream& stream = std::cout) const override;
    ConcreteVertexIterator<T>* vertexIterator() override;
    ConcreteVertexIterator<T>* vertexIterator() const override;

protected:
    // Reads a stack file into new levels on one new pool, each level
    // numbered on from the previous one; returns the type code read.
    int readStack(std::istream& stream, const char* where);
    void clearLevels();
    // Inserts an owned level before position k.
    void insertLevel(std::size_t k, Vertices<T>* level);

    std::vector<Vertices<T>*> m_levels;
};

// The iterator of a stack: level 0 vertex by vertex, then level 1, and so on;
// two-element locator (level, position).
template <typename T>
class VertexStackVertexIterator : public ConcreteVertexIterator<T> {
public:
    explicit VertexStackVertexIterator(VertexStack<T>& stack);
    VertexStackVertexIterator* clone() const override { return new VertexStackVertexIterator(*this); }
    Vector<T>* current() override { return valid() ? &(*m_stack)[m_level].vertex(m_position) : nullptr; }
    const Vector<T>* current() const override
    {
        return valid() ? &(*m_stack)[m_level].vertex(m_position) : nullptr;
    }
    const Vector<unsigned int>& locator() override;
    int currentServerIndex() const override { return valid() ? (*m_stack)[m_level].getIndex(m_position) : -1; }
    void operator++(int) override { advance(); }
    void operator++() override { advance(); }
    void rewind() override;

private:
    bool valid() const { return m_level < m_stack->getHeight(); }
    // Moves past empty levels.
    void settle();
    void advance();

    VertexStack<T>* m_stack;
    int m_level = 0;
    int m_position = 0;
};

#define PLEXAN_EXTERN_VERTEX_STACK(T) extern template class VertexStack<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_VERTEX_STACK)
#undef PLEXAN_EXTERN_VERTEX_STACK
