#pragma once
// ModelItem: one outline (or point set) of one model on one slice, in integer
// pixel coordinates of the slice image. The item knows its model and its
// slice, and both list it (ModelItemOwner): the item is deleted with the
// first of the two lists to go, and deleting it unlinks it from both. An
// item unlisted from an owner keeps naming it until that owner is destroyed,
// which clears the back-pointer.
//
// The editing operations keep the vertex selection as long as the vertex list
// and record an update box, the image region changed by the last edit, that
// views repaint. Tolerances are in image pixels; distances are compared
// squared, in integers.

#include "geometry/boundingbox.h"
#include "geometry/vertices.h"
#include "stack/modelitemproperties.h"
#include "stack/modelitemselection.h"
#include "stack/modelproperties.h"

#include <cstdint>

class Model;
class ModelItemOwner;
class StackSlice;

class ModelItem {
public:
    // No model, no slice, no vertices, no property override.
    ModelItem();
    // Links the item to both, without listing it: see attach().
    ModelItem(Model* model, StackSlice* slice);
    ModelItem(const ModelItem&) = delete;
    ModelItem& operator=(const ModelItem&) = delete;
    // Unlinks the item from its model and its slice.
    ~ModelItem();

    // A new model (slice) also stops the former one from listing the item;
    // attach() lists it in the new one.
    void setModel(Model* model);
    Model* getModel() const { return m_model; }
    void setSlice(StackSlice* slice);
    StackSlice* getSlice() const { return m_slice; }

    // Listing in the model's and the slice's item lists (no effect on a null
    // owner, nor when already listed or already absent).
    void attach();
    void detach();
    void attachToModel();
    void attachToSlice();
    void detachFromModel();
    void detachFromSlice();

    // The item's own overrides of its model's item properties.
    void setProperties(const ModelItemProperties& p) { m_properties = p; }
    const ModelItemProperties& getProperties() const { return m_properties; }
    ModelItemProperties& getProperties() { return m_properties; }

    ModelItemSelection& getSelection() { return m_selection; }
    const ModelItemSelection& getSelection() const { return m_selection; }

    // The geometry of the item's model (Unknown without a model or geometry).
    MPrimitive getGeometry() const;
    // Polygon or Polyline.
    bool isConnected() const;
    // Polygon.
    bool isClosed() const;

    // Vertices ---------------------------------------------------------------

    int getSize() const { return m_vertices.getNumVertices(); }
    // Replaces the vertices (sharing v's pool) and clears the selection; the
    // update box covers the old and the new outline.
    void setVertices(const Vertices<int>& v);
    const Vertices<int>& getVertices() const { return m_vertices; }

    void appendVertex(const Vector<int>& p);
    void appendVertices(const Vertices<int>& v);
    // Inserts p before position i, unselected.
    void insertVertex(int i, const Vector<int>& p);
    void moveVertex(int i, const Vector<int>& p);
    void removeVertex(int i);
    // Positions i to j inclusive.
    void removeVertices(int i, int j);
    void removeSelectedVertices();
    // The kept vertices stay selected.
    void removeUnselectedVertices();
    void removeSelection() { removeSelectedVertices(); }
    // New vertex lists, in order, on pools of their own.
    Vertices<int> selectedVertices() const;
    Vertices<int> unselectedVertices() const;

    // Picking ----------------------------------------------------------------

    // Whether p lies within tol of the segment ab: measured perpendicularly
    // when its projection falls strictly inside the segment; with ends, also
    // within tol of a or b.
    static bool pointNearSegment(const Vector<int>& a, const Vector<int>& b, const Vector<int>& p,
                                 int tol, bool ends);
    // The vertex nearest to p within tol (the lower index on equal
    // distances), or -1.
    int findNearestVertex(const Vector<int>& p, int tol) const;
    // Point sets: the first vertex within tol. Outlines: the first vertex
    // whose segment to the next (the closing one included for a closed
    // outline) passes within tol, ends included. -1 if none.
    int findNearVertex(const Vector<int>& p, int tol) const;
    // Where a vertex inserted at p belongs: the vertex count for a point set;
    // for an outline, i + 1 for the first segment (i, i + 1) within tol (ends
    // excluded), else the vertex count when the closing segment of a closed
    // outline is, else -1.
    int findInsertion(const Vector<int>& p, int tol) const;

    // Orientation (polygons only; y pointing down in image coordinates, the
    // sign is that of the outline's twice signed area).
    bool isClockwise() const;
    // Reverses a Polygon item whose orientation differs (and its selection).
    void setClockwise(bool clockwise);

    // Whether this closed item and other lie on the same slice and at least
    // one vertex of other is inside this outline.
    bool partiallyContains(const ModelItem& other) const;

    // Boxes ------------------------------------------------------------------

    // The box of the vertices, with the drawing margin (empty without vertices).
    BoundingBox<int> boundingBox() const;
    // The region changed by the last edit, with the drawing margin.
    BoundingBox<int> updateBox() const;
    // The region changed by the last edit, without margin.
    const BoundingBox<int>& getUpdateBox() const { return m_updateBox; }
    // box from vertex 1 - m to vertex 2 + m + 1 on every axis, m being the
    // larger integer part of the line width and the point size (the item's
    // own, else its model's).
    BoundingBox<int> rectifyBox(const BoundingBox<int>& box) const;

private:
    friend class ModelItemOwner;
    // Called by an owner the item names, as it is destroyed.
    void ownerDestroyed(const ModelItemOwner* owner);

    // The box of the listed vertex positions (rectified).
    BoundingBox<int> boxOf(const int* positions, int count) const;
    BoundingBox<int> boxOfAll() const;
    // The box of vertex i and its drawn neighbours.
    BoundingBox<int> boxAround(int i) const;
    int drawingMargin() const;
    // Twice the signed area of the outline (0 below 3 vertices).
    std::int64_t twiceArea() const;
    // Keeps the vertices whose selection flag equals keep.
    void keepSelected(bool keep);
    Vertices<int> collect(bool selected) const;

    Model* m_model = nullptr;
    StackSlice* m_slice = nullptr;
    Vertices<int> m_vertices;
    BoundingBox<int> m_updateBox;
    ModelItemSelection m_selection;
    ModelItemProperties m_properties;
};
