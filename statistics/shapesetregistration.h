#pragma once
// ShapeSetRegistration<T>: rigid registration of one shape set onto another
// by iterated closest correspondences over their reference shapes. Each
// round turns the moving reference meshes to correspond column by column
// with the target's, fits the least-squares rigid transform between
// corresponding vertices, moves the whole moving set by it and measures the
// mean RMS distance e' (e being the distance before the round); rounds stop
// when the distance changes by no more than eps relatively
// (|e - e'| / (eps + e) <= eps, eps = Vector<T>::epsilon()). Every distance,
// the first included, is kept in the dynamics.
//
// A fit that moves no vertex by more than rounding (isRounding) is the
// identity: once the sets coincide to the precision of T the set is left
// where it is, the round keeps its distance (e' = e) and so ends the rounds.
// Otherwise rounding alone would move the set at random and the relative
// change of a distance near zero would never settle. Rounds are capped at
// getMaximumIterations() (1000), a guard against correspondences that
// alternate for ever; converging registrations end long before.
//
// Entries are paired by position in the two reference sets; entries where
// either set has no shape play no part.

#include "geometry/shapeset.h"
#include "geometry/vertices.h"
#include "numerics/squarematrix.h"

#include <vector>

template <typename T>
class ShapeSetRegistration {
public:
    ShapeSetRegistration();

    // Moves moving onto target; registering a set onto itself leaves it in
    // place. ValueError when the sets have no reference shape in common.
    void apply(ShapeSet<T>& moving, const ShapeSet<T>& target);

    // The transform applied, accumulated over the rounds.
    const SquareMatrix<T>& getRotationMatrix() const { return m_rotation; }
    const Vector<T>& getTranslationVector() const { return m_translation; }
    // The mean RMS distance before the first round and after each.
    const std::vector<T>& getDynamics() const { return m_dynamics; }

    // The relative change of the distance at which rounds stop,
    // Vector<T>::epsilon() unless set.
    void setTolerance(T eps) { m_tolerance = eps; }
    T getTolerance() const { return m_tolerance; }
    // A guard against correspondences that alternate for ever (1000).
    void setMaximumIterations(int n) { m_maximumIterations = n; }
    int getMaximumIterations() const { return m_maximumIterations; }

    // The vertices of the entries present in both sets, in entry order, as
    // two lists of corresponding vertices.
    static void correspondingVertices(const ShapeSet<T>& moving, const ShapeSet<T>& target,
                                      Vertices<T>& movingVertices, Vertices<T>& targetVertices);
    // The reference vertices of a set with its surfaces matched onto the
    // target references, and the target vertices they correspond to.
    static void matchedVertices(const ShapeSet<T>& set, const ShapeSet<T>& targetReferences,
                                Vertices<T>& setVertices, Vertices<T>& targetVertices);
    // The mean of the RMS distances of the entries present in both sets.
    static T meanDistance(const ShapeSet<T>& moving, const ShapeSet<T>& target);
    // Whether the rigid transform x -> rotation x + translation moves no
    // vertex of from by more than 16 units in the last place of the largest
    // coordinate of from and to: the least-squares fit between sets that
    // coincide to the precision of T, which is the identity up to rounding.
    static bool isRounding(const SquareMatrix<T>& rotation, const Vector<T>& translation, const Vertices<T>& from,
                           const Vertices<T>& to);

private:
    SquareMatrix<T> m_rotation;
    Vector<T> m_translation;
    std::vector<T> m_dynamics;
    T m_tolerance = Vector<T>::epsilon();
    int m_maximumIterations = 1000;
};

#define PLEXAN_EXTERN_SHAPE_SET_REGISTRATION(T) extern template class ShapeSetRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_SHAPE_SET_REGISTRATION)
#undef PLEXAN_EXTERN_SHAPE_SET_REGISTRATION
