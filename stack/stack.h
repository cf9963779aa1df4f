#pragma once
// Stack: the document. An ordered series of slices (each names its image and
// carries its calibration, position and registration), the models outlined on
// them, the saved viewpoints (poses) and the grey-level standards.
//
// Ownership: the stack owns its slices, models, poses and standard images.
// Model items are owned jointly by their model and their slice (see
// ModelItemOwner). remove* operations unlink without deleting, handing the
// object back to the caller (the undo history keeps it); a model removed from
// the stack keeps its items, which still name their slices: re-add or delete
// it before those slices go.

#include "image/imagecolorcontent.h"
#include "image/lengthunit.h"
#include "image/pixelcalibration.h"
#include "stack/modelproperties.h"
#include "stack/poseowner.h"

#include <iostream>
#include <string>
#include <vector>

class CalibrationCurve;
class Model;
class StackSlice;
class StandardImage;
template <typename T> class Vector;
template <typename T> class VoxelMatrix;

class Stack : public PoseOwner {
public:
    Stack();
    Stack(const Stack&) = delete;
    Stack& operator=(const Stack&) = delete;
    ~Stack() override;

    // Deletes the slices (with their items), the models and the standard
    // images, and forgets the last segmented and registered slices. Poses and
    // the other fields stay.
    void clear();

    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }
    void setAnnotation(const std::string& text) { m_annotation = text; }
    const std::string& getAnnotation() const { return m_annotation; }
    // The directory of the slice images (the stack file's, once read).
    void setImagesPath(const std::string& path) { m_imagesPath = path; }
    const std::string& getImagesPath() const { return m_imagesPath; }
    // Whether image directories are written absolute.
    void setAbsoluteImagesPathPolicy(bool flag) { m_absoluteImagesPathPolicy = flag; }
    bool getAbsoluteImagesPathPolicy() const { return m_absoluteImagesPathPolicy; }

    void setDefaultSliceThickness(float t) { m_defaultSliceThickness = t; }
    float getDefaultSliceThickness() const { return m_defaultSliceThickness; }
    // The spacing of slices that follow the default relative position.
    void setDefaultRelativePosition(float d) { m_defaultRelativePosition = d; }
    float getDefaultRelativePosition() const { return m_defaultRelativePosition; }
    // Micrometres unless changed.
    void setDefaultPixelCalibration(const PixelCalibration& c) { m_defaultCalibration = c; }
    const PixelCalibration& getDefaultPixelCalibration() const { return m_defaultCalibration; }
    PixelCalibration& getDefaultPixelCalibration() { return m_defaultCalibration; }

    void setLastSegmentedSlice(const std::string& name) { m_lastSegmentedSlice = name; }
    const std::string& getLastSegmentedSlice() const { return m_lastSegmentedSlice; }
    void setLastRegisteredSlice(const std::string& name) { m_lastRegisteredSlice = name; }
    const std::string& getLastRegisteredSlice() const { return m_lastRegisteredSlice; }

    // The unit of the default calibration and of every slice's calibration.
    void setLengthUnit(const LengthUnit& unit);
    const LengthUnit& getLengthUnit() const { return m_defaultCalibration.getLengthUnit(); }

    // Slices -------------------------------------------------------------------

    int getNumSlices() const { return static_cast<int>(m_slices.size()); }
    int getSize() const { return getNumSlices(); }
    StackSlice* getSlice(int i) const { return m_slices[i]; }
    StackSlice* getFirstSlice() const { return m_slices.empty() ? nullptr : m_slices.front(); }
    StackSlice* getLastSlice() const { return m_slices.empty() ? nullptr : m_slices.back(); }
    // The neighbours of s; s itself at the ends or when it is not in the stack.
    StackSlice* getNextSlice(StackSlice* s) const;
    StackSlice* getPreviousSlice(StackSlice* s) const;
    // Index, or -1 (exact name match for the first form).
    int findSlice(const std::string& name) const;
    int findSlice(const StackSlice* slice) const;
    // Appends (or inserts before index i) and takes ownership; a slice
    // already in the stack stays where it is.
    void addSlice(StackSlice* slice);
    void addSlice(StackSlice* slice, int i);
    // Unlinks slice i without deleting it. A middle slice hands its spacing
    // on: when slice i + 1 follows relatively, it gets the relative position
    // that keeps every remaining absolute position.
    StackSlice* removeSlice(int i);
    // The same, then deletes the slice and its items.
    void deleteSlice(int i);

    // The absolute position of slice i; positions of every slice, in order.
    float absolutePosition(int i) const;
    std::vector<float> absolutePositions() const;

    // Models -------------------------------------------------------------------

    int getNumModels() const { return static_cast<int>(m_models.size()); }
    Model* getModel(int i) const { return m_models[i]; }
    int findModel(const std::string& name) const;
    int findModel(const Model* model) const;
    // Appends, takes ownership, and lists each of the model's items on its
    // slice (nothing for a model already in the stack).
    void addModel(Model* model);
    // The same, inserting before model i (appending when i is negative or
    // past the end).
    void addModel(Model* model, int i);
    // Unlists each of the model's items from its slice, then unlinks the
    // model without deleting it.
    void removeModel(Model* model);
    // Deletes model i and its items.
    void deleteModel(int i);
    // Last to first.
    void deleteAllModels();
    // Some model has geometry g.
    bool hasGeometryModels(MPrimitive g) const;
    // Some model of geometry g has an item.
    bool hasGeometryModelItems(MPrimitive g) const;

    // Standard images ------------------------------------------------------------

    // Appends and takes ownership.
    void addStandardImage(StandardImage* image);
    int getNumStandardImages() const { return static_cast<int>(m_standardImages.size()); }
    StandardImage* getStandardImage(int i) const { return m_standardImages[i]; }
    // One calibration (possibly null) per standard image.
    int getNumCalibration() const { return getNumStandardImages(); }
    CalibrationCurve* getCalibration(int i) const;
    // The curve of the standard image of that name, null if none.
    CalibrationCurve* getCalibration(const std::string& name) const;

    // Images ---------------------------------------------------------------------

    // The colour content (ImageColorContent code) shared by all slice images,
    // 4 (colour) at the first difference, 5 for an empty stack.
    int colorContent() const;
    // True for one slice; for more, every slice has the first one's display
    // size, no slice after the first is shifted or rotated, and the slices
    // from the third on have the second one's relative position.
    bool isRegular() const;
    // The slice images at their display size, plane z for slice z, as grey
    // levels or one colour component. SizeError when a slice's display size
    // differs from the first one's. T: int, float, double, long double.
    template <typename T>
    VoxelMatrix<T> toVoxelMatrix(ImageColorContent content) const;

    void print(const std::string& title = "", std::ostream& stream = std::cout) const;

private:
    void handOnSpacing(int i);

    std::string m_name;
    std::string m_annotation;
    std::string m_imagesPath;
    bool m_absoluteImagesPathPolicy = false;
    std::vector<StackSlice*> m_slices;
    std::vector<Model*> m_models;
    float m_defaultSliceThickness = 0.0f;
    float m_defaultRelativePosition = 0.0f;
    PixelCalibration m_defaultCalibration;
    std::vector<StandardImage*> m_standardImages;
    std::string m_lastSegmentedSlice;
    std::string m_lastRegisteredSlice;
};
