#pragma once
// ShapePainterGL<T>: the base of the painters that draw one shape with a set
// of drawing attributes. The painter holds a non-owning reference to its
// shape: the owner keeps the shape alive while the painter may draw it, and
// calls setShape again after replacing it.
//
// Drawing: glDraw() draws a set, visible shape between glPreDraw() (colour,
// material, point size and line width from the defined attributes) and
// glPostDraw(). Vertex symbols other than dots are small solids; the sphere
// comes from a display list once glInit() has made one in the current
// context (glClear() deletes it, again in that context; the destructor
// cannot, having no context).

#include "gl/paintergl.h"
#include "gl/shapepainterattributesgl.h"
#include "geometry/shape.h"

template <typename T>
class ShapePainterGL : public PainterGL<T> {
public:
    ShapePainterGL() = default;
    ShapePainterGL(const ShapePainterGL&) = delete;
    ShapePainterGL& operator=(const ShapePainterGL&) = delete;
    ~ShapePainterGL() override = default;

    // The shape's box; empty without shape.
    BoundingBox<T> boundingBox() const override;

    // Painters of a given class take shapes of theirs only: another class
    // fails the dynamic cast (std::bad_cast) and leaves the painter as it was.
    virtual void setShape(const Shape<T>& shape);
    const Shape<T>& getShape() const { return *m_shape; }
    bool hasShape() const { return m_shape != nullptr; }

    // Replaces the attributes. A sphere display list in use is rebuilt (at the
    // next draw, where the context is current) for the new symbol size.
    virtual void setAttributes(const ShapePainterAttributesGL& attributes);
    const ShapePainterAttributesGL& getAttributes() const { return m_attributes; }
    // The visibility attribute when defined, else true.
    bool isVisible() const;

    // Builds the sphere display list in the current context.
    virtual void glInit();
    // Deletes the display list (current context: the one of glInit).
    virtual void glClear();
    bool usesSphereList() const { return m_useSphereList; }

    void glDraw() override;
    virtual void glDrawShape() = 0;
    virtual void glPreDraw();
    virtual void glPostDraw();
    // One vertex symbol centred at the origin, of the attribute's kind and
    // size (size 1 when undefined).
    void glDrawSymbol();

protected:
    // Lets a temporary painter drawing part of this painter's shape use this
    // painter's sphere list (it never deletes it).
    void lendSphereList(ShapePainterGL& borrower) const;
    // The attributes' symbol size, 1 when undefined.
    float symbolSize() const;

    const Shape<T>* m_shape = nullptr;
    ShapePainterAttributesGL m_attributes;
    unsigned int m_sphereList = 0;
    bool m_useSphereList = false;

private:
    void glBuildSphereList();

    bool m_ownsSphereList = false;
    bool m_sphereListDirty = false;
};

extern template class ShapePainterGL<float>;
extern template class ShapePainterGL<double>;
extern template class ShapePainterGL<long double>;
