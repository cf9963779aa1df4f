#pragma once
// Slice: one image of a stack as the document sees it: a name, a free-text
// annotation, the source its pixels come from (owned; cloned on set) and its
// pixel calibration.
//
// Display size: a slice is shown with square pixels and never with more
// pixels along an axis than its image has, so a non-square pixel shrinks the
// image along its shorter side (width() and height()).

#include "geometry/boundingbox.h"
#include "image/imagesource.h"
#include "image/pixelcalibration.h"

#include <memory>
#include <string>

class CalibrationCurve;
class Image;

class Slice {
public:
    Slice() = default;
    Slice(const Slice& other);
    Slice& operator=(const Slice& other);
    virtual ~Slice();

    void setName(const std::string& name) { m_name = name; }
    const std::string& getName() const { return m_name; }
    void setAnnotation(const std::string& text) { m_annotation = text; }
    const std::string& getAnnotation() const { return m_annotation; }

    // Stores a copy of source.
    void setImageSource(const ImageSource& source);
    void removeImageSource() { m_source.reset(); }
    bool hasImageSource() const { return m_source != nullptr; }
    // ProgramError "This slice has no image source" without a source.
    const ImageSource& getImageSource() const;
    // No source, or a source that names nothing.
    bool isEmpty() const;

    void setPixelCalibration(const PixelCalibration& c) { m_calibration = c; }
    const PixelCalibration& getPixelCalibration() const { return m_calibration; }
    PixelCalibration& getPixelCalibration() { return m_calibration; }

    // Display size in pixels (0 without a source).
    int width() const;
    int height() const;
    // From (0, 0) to (width - 1, height - 1).
    BoundingBox<int> boundingBox() const;
    // Shrinks one of the requested sizes w, h so that they keep the slice's
    // width:height ratio.
    void sizeForSize(int& w, int& h) const;
    // Reads the image from the source and resizes it to the display size.
    void load(Image& image) const;

    // The grey-level calibration of the slice, null when it has none.
    virtual CalibrationCurve* getCalibrationCurve() const = 0;

private:
    std::string m_name = "<slice>";
    std::string m_annotation;
    std::unique_ptr<ImageSource> m_source;
    PixelCalibration m_calibration;
};
