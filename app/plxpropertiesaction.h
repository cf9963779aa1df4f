#pragma once
// PLXPropertiesAction: a change of the properties of a stack and of its
// slices, as the stack and slice properties dialogs make it: the stack's
// name, length unit, default spacing and pixel calibration and image-path
// policy; each slice's name, spacing and pixel calibration. It is made once
// the change is done, from the state before it (see stateOf), and pushed
// unapplied; revert puts the state before back, apply the state after. Each
// announces what it changes with the events the dialogs send (name,
// spacing, calibration; a stack modify event for the length unit and the
// path policy), inside one event batch unless one is open.

#include "app/plxaction.h"
#include "app/plxsliceplacement.h"
#include "image/pixelcalibration.h"

#include <QString>

#include <string>
#include <vector>

class PLXStack;
class StackSlice;

class PLXPropertiesAction : public PLXAction {
public:
    struct SliceState {
        StackSlice* slice = nullptr;
        std::string name;
        PLXSlicePlacement placement;
        PixelCalibration calibration;
        bool operator==(const SliceState& other) const;
    };
    struct State {
        std::string name;
        float spacing = 0;
        PixelCalibration calibration; // its length unit is the stack's
        bool absoluteImagesPath = false;
        std::vector<SliceState> slices;
        bool operator==(const State& other) const;
    };

    static State stateOf(const PLXStack& stack);

    // The change from before to the stack's present state; description is
    // the text of the Undo and Redo tool tips.
    PLXPropertiesAction(PLXStack& stack, State before, QString description);
    // The change from before to the present state as one step of the
    // stack's history, unless nothing changed.
    static void record(PLXStack& stack, State before, const QString& description);

    // Nothing changed.
    bool isNull() const override;
    void apply() override;
    void revert() override;
    QString description(bool detailed = false) const override;

private:
    void restore(const State& state);

    PLXStack* m_stack;
    State m_before;
    State m_after;
    QString m_description;
};
