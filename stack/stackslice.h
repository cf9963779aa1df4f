#pragma once
// StackSlice: a slice of a stack. Besides its image and calibration (Slice)
// it lists its model items (ModelItemOwner, jointly with their models), and
// carries its place in the stack: its position along the stack axis and its
// registration on the previous slice.
//
// Positions: a slice either follows the previous one at a relative distance
// (its own, or the stack's default spacing) or stands at an absolute
// position. The first slice of a relatively positioned stack is at 0.

#include "stack/modelitemowner.h"
#include "stack/registration.h"
#include "stack/slice.h"

#include <iostream>
#include <string>

class Stack;

class StackSlice : public ModelItemOwner, public Slice {
public:
    StackSlice() = default;
    explicit StackSlice(const std::string& name) { setName(name); }
    // Deletes the slice's items, which unlink themselves from their models.
    ~StackSlice() override;

    void setStack(Stack* stack) { m_stack = stack; }
    Stack* getStack() const { return m_stack; }
    // A slice outside a stack is its own first and last slice.
    bool isFirstSlice() const;
    bool isLastSlice() const;
    // The neighbours in the stack; the slice itself at the ends.
    StackSlice* prevSlice() const;
    StackSlice* nextSlice() const;

    void setRegistration(const Registration& r) { m_registration = r; }
    const Registration& getRegistration() const { return m_registration; }

    // Stored only: nothing in the reconstruction uses it.
    void setThickness(float thickness) { m_thickness = thickness; }
    float getThickness() const { return m_thickness; }

    // Positions ----------------------------------------------------------------

    // Follows the previous slice at distance d.
    void setRelativePosition(float d);
    // Follows the previous slice at the stack's default spacing (the state of
    // a new slice).
    void setDefaultRelativePosition();
    // Stands at an absolute position along the stack axis.
    void setAbsolutePosition(float position);
    bool useRelativePosition() const { return m_useRelativePosition; }
    bool useDefaultRelativePosition() const { return m_useDefaultRelativePosition; }
    // The distance from the previous slice: the stack's default spacing, the
    // stored one, or for an absolutely placed slice the difference of the
    // absolute positions (0 for the first slice).
    float getRelativePosition() const;
    // For a relatively placed slice, the sum of the relative positions from
    // the first slice (at 0); else the stored position.
    float getAbsolutePosition() const;

    // Slices carry no grey-level calibration.
    CalibrationCurve* getCalibrationCurve() const override { return nullptr; }

    void print(const std::string& title = "", std::ostream& stream = std::cout) const;

private:
    friend class Stack;
    // The relative position given the absolute position of the previous
    // slice (ignored for the first slice, index 0).
    float relativePosition(int index, float previousAbsolute) const;
    int indexInStack() const;

    Stack* m_stack = nullptr;
    float m_thickness = 0.0f;
    float m_position = 0.0f;
    bool m_useRelativePosition = true;
    bool m_useDefaultRelativePosition = true;
    Registration m_registration;
};
