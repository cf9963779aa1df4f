#pragma once
// PLXSlicePlacement: where a slice sits along the stack axis, as the actions
// that undo a change of it keep it: the stack's default spacing, a spacing
// of its own after the slice before it, or an absolute position.

class StackSlice;

struct PLXSlicePlacement {
    bool relative = true;
    bool useDefault = true;
    float position = 0.0f; // own spacing or absolute position; 0 with the default

    static PLXSlicePlacement of(const StackSlice& slice);
    void applyTo(StackSlice& slice) const;

    bool operator==(const PLXSlicePlacement& other) const = default;
};
