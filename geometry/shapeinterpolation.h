#pragma once
// ShapeInterpolation<T>: the linear blend of two shapes of the same structure,
// vertex by vertex: at step t the result is source + t (target - source).
// Both shapes are referenced, not owned, and must outlive their use here; they
// are walked in parallel with their vertex iterators, so they must have the
// same vertex count and dimension. The result is always a detached copy: it
// shares no coordinates with either shape. T = float, double, long double.

template <typename T> class Shape;

template <typename T>
class ShapeInterpolation {
public:
    ShapeInterpolation() = default;
    ShapeInterpolation(const Shape<T>& source, const Shape<T>& target)
        : m_source(&source), m_target(&target)
    {
    }

    void setSourceShape(const Shape<T>& shape) { m_source = &shape; }
    void setTargetShape(const Shape<T>& shape) { m_target = &shape; }
    const Shape<T>* getSourceShape() const { return m_source; }
    const Shape<T>* getTargetShape() const { return m_target; }

    // Makes result the shape at step t in [0, 1]: a copy of the target for
    // t = 1, of the source for t = 0. ProgramError "Missing source and/or
    // target shape"; UsageError "Interpolation step out of [0-1] range";
    // SizeError "Incompatible vertex counts" when the shapes differ in size.
    void apply(const T t, Shape<T>& result) const;

private:
    const Shape<T>* m_source = nullptr;
    const Shape<T>* m_target = nullptr;
};

extern template class ShapeInterpolation<float>;
extern template class ShapeInterpolation<double>;
extern template class ShapeInterpolation<long double>;
