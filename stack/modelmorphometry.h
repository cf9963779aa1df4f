#pragma once
// ModelMorphometry: the measures of one model in the 3D frame of its stack,
// in the stack's length unit: its vertex and contour counts, its centre
// (isobarycentre of all its vertices), its principal axes and their lengths,
// its surface area and its volume.
//
// run() reconstructs the whole model with StackReconstruction<double>:
// - the principal axes are the eigenvectors of the vertices' covariance
//   matrix (second moments about the centre divided by the vertex count), by
//   decreasing eigenvalue, one per column, made right-handed; each axis
//   length is the standard deviation of the vertices along that axis;
// - the area of a polygon or polyline model is that of the arc-length
//   triangulation (CurveStackTriangulation method 2) of its contour stack,
//   which has no caps; a stack with two contours on one slice gets no
//   surface, and area and volume are then -1. The literal triangulation
//   (the default) joins each pair of outlines from their closest vertices,
//   as drawn; with matched starts, the outlines of a polygon model are first
//   turned the same way round and started where they match level to level
//   (CurveStack::matchStarts), so that the area no longer depends on where
//   or which way each outline was drawn;
// - the volume of a polygon model is the sum of its slabs: each slice's
//   section (the signed areas of the model's outlines on it, summed) is
//   extruded up to the next slice with a section, the last one by its own
//   spacing to the slice before it. Other geometries have volume 0.
// A model without items (or without vertices) has no stack to measure: its
// counts, centre and axes stay empty or 0, its area and volume are -1.

#include "geometry/curvestack.h"
#include "numerics/squarematrix.h"
#include "numerics/vector.h"

class Model;
class Stack;
template <typename T> class StackReconstruction;

class ModelMorphometry {
public:
    ModelMorphometry();

    // The model is referenced, not owned.
    void setModel(const Model& model) { m_model = &model; }
    const Model* getModel() const { return m_model; }

    // The triangulation that measures the surface area.
    enum class Surface { Literal, MatchedStarts };
    void setSurface(Surface surface) { m_surface = surface; }
    Surface getSurface() const { return m_surface; }
    // "literal" or "matched".
    static const char* surfaceName(Surface surface);

    // Measures the model. UsageError "No model to measure" without one.
    void run();
    // Empties the vectors and sets the counts, area and volume to 0.
    void clear();

    int getNumVertices() const { return m_numVertices; }
    int getNumContours() const { return m_numContours; }
    // -1 when it cannot be computed.
    double getArea() const { return m_area; }
    // -1 when it cannot be computed; 0 for models that are not polygons.
    double getVolume() const { return m_volume; }
    // The radius of the sphere of the same volume, (3 V / 4 pi)^(1/3); -1 when
    // the volume cannot be computed.
    double getEquivRadius() const;
    const Vector<double>& getIsobarycenter() const { return m_isobarycenter; }
    // Decreasing.
    const Vector<double>& getMainAxesLengths() const { return m_mainAxesLengths; }
    // One unit axis per column, right-handed.
    const SquareMatrix<double>& getMainAxes() const { return m_mainAxes; }
    // For each main axis, the coordinate axis (0, 1 or 2) closest to it: the
    // position of its largest absolute component, the first on a tie.
    const Vector<int>& getMatchingCoordinateAxes() const { return m_matchingAxes; }

    // True when the stack has fewer than two levels or no two consecutive
    // levels lie on the same slice (equal third coordinate of their first
    // vertices; levels without vertices are passed over). False means a
    // branching structure, which is not triangulated.
    static bool simpleCurveStack(const CurveStack<double>& stack);
    // The volume of the model's outlines by slabs, whether or not the model
    // branches: walking the slices in order, each section is the sum of the
    // signed areas of the model's outlines on the slice, placed in 3D, so
    // that an outline drawn the other way round (a hole) is subtracted;
    // slices whose section is 0 are skipped. Each section is extruded
    // (in absolute value) up to the next slice with a section, the last one
    // by its relative position. 0 for models that are not polygons.
    static double slabVolume(const StackReconstruction<double>& reconstruction, const Model& model);

private:
    // The slab volume from the model's contour stack as the reconstruction
    // lists it.
    static double slabVolume(const Stack& stack, const Model& model, const CurveStack<double>& contours);

    const Model* m_model = nullptr;
    Surface m_surface = Surface::Literal;
    int m_numVertices = 0;
    int m_numContours = 0;
    double m_area = 0.0;
    double m_volume = 0.0;
    Vector<double> m_isobarycenter;
    Vector<double> m_mainAxesLengths;
    SquareMatrix<double> m_mainAxes;
    Vector<int> m_matchingAxes;
};
