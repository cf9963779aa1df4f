#pragma once
// GlobalShapeSetGroupRegistration<T>: joint registration and averaging. One
// sweep registers each set in turn (ShapeSetRegistration) onto the average
// of the reference sets of all the others; sweeps repeat while the mean
// group error changes by more than eps relatively
// (|e - e'| / (eps + e) > eps, eps = Vector<T>::epsilon()). Sets that
// coincide to the precision of T are not moved (ShapeSetRegistration), so
// the error of registered sets repeats exactly and the sweeps end. Sweeps are
// capped at getMaximumSweeps() (1000), a guard against errors that alternate
// for ever; converging runs end long before.
//
// Every reference shape must be a quadrilateral mesh. Progress counts one
// step per set registration; the announced total grows in blocks of
// ceil(sqrt N) + 3 sweeps of N steps. A cancel is honoured between sweeps.

#include "statistics/shapesetgroupregistration.h"

template <typename T>
class GlobalShapeSetGroupRegistration : public ShapeSetGroupRegistration<T> {
public:
    void apply(ShapeSetGroup<T>& group) override;

    // The relative change of the error at which sweeps (and the rounds of
    // each set's registration) stop, Vector<T>::epsilon() unless set.
    void setTolerance(T eps) { m_tolerance = eps; }
    T getTolerance() const { return m_tolerance; }
    // A guard against errors that alternate for ever (1000), not reached
    // by a converging run.
    void setMaximumSweeps(int n) { m_maximumSweeps = n; }
    int getMaximumSweeps() const { return m_maximumSweeps; }
    // The number of sweeps of the last run.
    int getNumSweeps() const { return m_sweeps; }

private:
    T m_tolerance = Vector<T>::epsilon();
    int m_maximumSweeps = 1000;
    int m_sweeps = 0;
};

#define PLEXAN_EXTERN_GLOBAL_SSG_REGISTRATION(T) extern template class GlobalShapeSetGroupRegistration<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_GLOBAL_SSG_REGISTRATION)
#undef PLEXAN_EXTERN_GLOBAL_SSG_REGISTRATION
