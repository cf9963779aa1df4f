#pragma once
// ShapeSet<T>: a named, ordered list of shapes, each flagged as a reference
// shape or not. An entry may be null (a specimen lacking that structure);
// operations skip null entries. Entries are referenced, or owned when added
// as owned, in which case the set deletes them on removal, clear and
// destruction. Sets are moved, not copied.

#include "geometry/coordinates.h"
#include "numerics/vector.h"

#include <string>
#include <vector>

template <typename T> class Shape;
template <typename T> class VertexStack;

template <typename T>
class ShapeSet {
public:
    ShapeSet() = default;
    explicit ShapeSet(const std::string& name) : m_name(name) {}
    ShapeSet(const ShapeSet&) = delete;
    ShapeSet& operator=(const ShapeSet&) = delete;
    ShapeSet(ShapeSet&& other) noexcept;
    ShapeSet& operator=(ShapeSet&& other) noexcept;
    ~ShapeSet();

    const std::string& getName() const { return m_name; }
    void setName(const std::string& name) { m_name = name; }

    // Appends shape (which may be null); an owned shape is deleted with the
    // set.
    void addShape(Shape<T>* shape, bool isReference = false, bool owned = false);
    // Removes entry i, or every entry holding shape.
    void removeShape(int i);
    void removeShape(const Shape<T>* shape);
    // Removes every entry.
    void clear();

    int getNumShapes() const { return static_cast<int>(m_entries.size()); }
    int getSize() const { return getNumShapes(); }
    Shape<T>* operator[](int i) const { return m_entries[static_cast<std::size_t>(i)].shape; }
    bool isReference(int i) const { return m_entries[static_cast<std::size_t>(i)].reference; }
    void setReference(int i, bool isReference) { m_entries[static_cast<std::size_t>(i)].reference = isReference; }
    bool isOwned(int i) const { return m_entries[static_cast<std::size_t>(i)].owned; }

    // Every non-null entry is a reference shape.
    bool onlyReference() const;
    // Every non-null entry has this shape-type code.
    bool onlyShapeType(int type) const;
    // A new set holding the reference entries in order, sharing the shapes.
    ShapeSet referenceShapeSet() const;
    // All vertices of all shapes, shapes in order, as one vertex stack on one
    // new pool: one level per vertex list (every level of a stack).
    VertexStack<T> asVertexStack() const;
    // The total vertex count of the non-null entries.
    int numVertices() const;

    // Correspondence and averaging (shapesetaveraging.cpp) -----------------------

    // Turns every closed quadrilateral mesh of this set so that its columns
    // correspond to those of the mesh at the same entry of other
    // (QuadMesh::match); entries of other kinds are left as they are.
    void matchSurfaces(const ShapeSet& other);
    // For every entry where both sets hold a shape, in entry order, the root
    // mean square distance between corresponding vertices. The sets must
    // have the same number of entries (SizeError otherwise).
    Vector<T> rmsDistances(const ShapeSet& other) const;
    // A new shape, owned by the caller, whose vertices are the vertex-wise
    // mean of the non-null entries (all of one shape type, else ValueError;
    // equal vertex counts, else SizeError); null for a set without shapes.
    // A mean quadrilateral mesh gets caps of its own when the first mesh has
    // them.
    Shape<T>* average() const;
    // The structure-wise mean of several sets: entry i is the average of the
    // entries i of all sets, owned by the result and flagged as reference
    // when the first set holding a shape there flags it; null where no set
    // holds a shape or where shapes of one type differ in vertex count (point
    // patterns of different specimens have no vertex-wise mean). Shapes of
    // different types at one entry are refused as average() refuses them.
    static ShapeSet computeMean(const std::vector<const ShapeSet*>& sets);

private:
    struct Entry {
        Shape<T>* shape = nullptr;
        bool reference = false;
        bool owned = false;
    };
    void release(Entry& entry);

    std::string m_name;
    std::vector<Entry> m_entries;
};

#define PLEXAN_EXTERN_SHAPE_SET(T) extern template class ShapeSet<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_SHAPE_SET)
#undef PLEXAN_EXTERN_SHAPE_SET
