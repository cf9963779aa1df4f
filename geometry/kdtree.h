#pragma once
// KDTree<T>: exact nearest and k-nearest vertex search over the vertices of a
// shape. The tree is balanced and stored without pointers over an implicit
// complete binary tree (node k has children 2k + 1 and 2k + 2): the server
// index held by every node (-1 for an empty node) and its split axis (the
// space dimension for a leaf).
//
// Building: each node splits its rows along the coordinate of largest extent
// (the first such wins a tie), stably sorted by it, at the median row
// lo + count / 2. Searching visits a node's child on the query's side, the
// other child only while the best squared distance exceeds the squared
// distance to the split plane, and then the node itself, which replaces the
// best only when strictly closer: among vertices at equal distance the one
// met first in that order is kept.
//
// The tree references its shape and keeps a view on the shape's pool; it
// copies the coordinates when built, so it must be rebuilt after the
// vertices move. A stack is indexed only when all its levels share one pool.

#include "geometry/vertices.h"

#include <cstddef>
#include <utility>
#include <vector>

template <typename T>
class KDTree {
public:
    using Distance = plexan::DistanceType<T>;

    KDTree() = default;
    // Indexes shape and builds the tree.
    explicit KDTree(const Shape<T>& shape);

    // Records the shape and builds the tree (ValueError when a stack's levels
    // use different pools).
    void setShape(const Shape<T>& shape);
    const Shape<T>* getShape() const { return m_shape; }
    // Rebuilds from the shape's current vertices.
    void build();

    // The server index of the vertex nearest to p (-1 for an empty tree),
    // and optionally its squared distance.
    int nearestVertex(const Vector<T>& p) const;
    int nearestVertex(const Vector<T>& p, T& squaredDistance) const;
    // The recursive search below node start: node and squaredDistance hold
    // the best so far and are updated.
    void nearestNeighbour(int& node, Distance& squaredDistance, int start, const Vector<T>& p) const;
    // The k nearest vertices as node numbers with their squared distances,
    // closest first; entries beyond the vertex count are node -1 at the
    // largest distance.
    void kNearestNeighbours(Vector<int>& nodes, Vector<T>& squaredDistances, int k, const Vector<T>& p,
                            int start = 0) const;
    // The k nearest vertices, closest first, as a list on the shape's pool.
    void nearestVertices(Vertices<T>& result, const Vector<T>& p, int k) const;

    // The indexed vertices (server indices in vertex order) on the shape's
    // pool.
    const Vertices<T>& getVertices() const { return m_vertices; }
    int getNumNodes() const { return static_cast<int>(m_nodeVertex.size()); }
    // The server index held by a node (-1 when empty) and its split axis.
    int getNodeVertex(int node) const { return m_nodeVertex[static_cast<std::size_t>(node)]; }
    int getNodeAxis(int node) const { return m_nodeAxis[static_cast<std::size_t>(node)]; }
    // The coordinates of a node's vertex (meaningful only where the node
    // holds one), copied when the tree was built.
    const T* getNodeCoordinates(int node) const
    {
        return m_nodeCoordinates.data() + static_cast<std::size_t>(node) * static_cast<std::size_t>(m_space);
    }

private:
    struct Candidate {
        Distance distance;
        int node;
    };

    // A node still to split: its rows lo .. hi.
    struct Pending {
        int node, lo, hi;
    };
    // Trees of this many vertices or more split their first splitLevels
    // levels one level at a time, then build the subtrees below side by side.
    static constexpr int parallelBuildSize = 4096;
    static constexpr int splitLevels = 4;
    // Nodes of this many rows or more, on a level with fewer nodes than
    // threads, sort their rows on several threads.
    static constexpr std::size_t parallelSortSize = 8192;

    // Splits node over rows lo .. hi and leaves the children still to split
    // in children[0] (left) and children[1] (right), node -1 for none;
    // spread: sorting on several threads.
    void splitNode(int node, int lo, int hi, std::vector<int>& rows, const std::vector<T>& points,
                   const std::vector<int>& serverIndex, std::vector<std::pair<T, int>>& keys, Pending* children,
                   bool spread = false);
    void buildNode(int node, int lo, int hi, std::vector<int>& rows, const std::vector<T>& points,
                   const std::vector<int>& serverIndex, std::vector<std::pair<T, int>>& keys);
    void sortRows(std::vector<int>& rows, int lo, int hi, const std::vector<T>& points, int axis,
                  std::vector<std::pair<T, int>>& keys, bool spread) const;
    void setNode(int node, int row, const std::vector<T>& points, const std::vector<int>& serverIndex, int axis);
    bool exists(int node) const
    {
        return node < static_cast<int>(m_nodeVertex.size()) && m_nodeVertex[static_cast<std::size_t>(node)] >= 0;
    }
    Distance squaredDistanceTo(int node, const T* p) const;
    void searchNearest(int node, const T* p, int& best, Distance& bestDistance) const;
    void searchNearest(int node, const T* p, std::vector<Candidate>& best) const;
    void checkQuery(const Vector<T>& p, const char* where) const;

    const Shape<T>* m_shape = nullptr;
    Vertices<T> m_vertices;
    int m_space = 0;
    std::vector<int> m_nodeVertex;
    std::vector<int> m_nodeAxis;
    // The coordinates of every node's vertex, node after node, so that a
    // search reads one contiguous array.
    std::vector<T> m_nodeCoordinates;
};

#define PLEXAN_EXTERN_KDTREE(T) extern template class KDTree<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_KDTREE)
#undef PLEXAN_EXTERN_KDTREE
