#pragma once
// PLXRegistrationCanvas: the previous slice ("background") and the current
// slice ("foreground") superimposed, the foreground moved and turned by the
// registration being edited, so that the user can align the two by eye.
//
// Display images: both slice images, made 8-bit grey, low-pass filtered and
// resized to one physical scale, so that both fit, at their physical size,
// within the maximum display size (the desktop's size times the display
// scale in percent). They are made in a worker thread (setSlices), which
// reports "Loading background slice image...", "Low-pass filtering
// background slice image...", "Resizing background slice image..." and the
// same for the foreground through the progress proxy of its worker.
//
// Geometry: the background is centred in the canvas; a foreground pixel p
// shows at  c_b + R(angle) (p - c_f) + shift,  c_b and c_f the image centres,
// R turning from x toward y (clockwise on the screen), all in display
// pixels. This is how the stack reconstruction places a slice on the
// previous one. The registration is kept in image pixels and converted to
// display pixels with a WMConverter (world: the foreground's display image,
// model: its image); the drag works on the display-space registration, so
// that small moves add up.
//
// Mouse: the left button translates (each move adds its displacement to the
// shifts), the right button rotates about the foreground's centre (each move
// adds the turn of the mouse about it to a continuous angle kept in [0, 360);
// the registration's angle is that angle floored to a tenth of a degree, and
// a move that does not change it emits nothing). Every other move emits
// registrationChanged() with the registration in image pixels.
//
// Size: at least contentsSize(), so that in a scroll area every part of
// both images, however far the foreground was moved, can be scrolled to.
//
// Pixels: the background level b and the foreground level f (0 outside
// their images), each through the grey-level window of the canvas mode,
// show as the transparency map's entry for (b, f).

#include "app/slice/canvasmode.h"
#include "stack/registration.h"
#include "stack/wmconverter.h"

#include <QImage>
#include <QMetaType>
#include <QPoint>
#include <QSize>
#include <QWidget>

#include <memory>
#include <utility>
#include <vector>

class Image;
class PLXWorker;
class StackSlice;

Q_DECLARE_METATYPE(Registration)

// How the two grey levels combine, in the order of the panel's combo box.
enum class ImageTransparencyMode { Addition = 0, Subtraction = 1, Multiplication = 2, Minimum = 3, Maximum = 4 };

class PLXRegistrationCanvas : public QWidget {
    Q_OBJECT
public:
    static constexpr int defaultScale = 80;
    // The registration's angle step, in degrees.
    static constexpr double rotationPrecision = 0.1;

    enum class MouseMode { None, Translate, Rotate };

    explicit PLXRegistrationCanvas(QWidget* parent = nullptr);
    ~PLXRegistrationCanvas() override;

    // Shows the two slices (not owned; both null clears the canvas), making
    // their display images in a worker thread; returns once they are made.
    // The registration is kept (in image pixels).
    void setSlices(StackSlice* background, StackSlice* foreground);
    void clear() { setSlices(nullptr, nullptr); }
    StackSlice* getBackgroundSlice() const { return m_backgroundSlice; }
    StackSlice* getForegroundSlice() const { return m_foregroundSlice; }
    // Makes the display images again (a calibration changed).
    void refresh();
    // The worker that makes the display images: its progress proxy reports
    // the stages.
    PLXWorker& getWorker() const { return *m_worker; }

    // The registration in image pixels (shifts) and degrees.
    void setRegistration(const Registration& registration);
    const Registration& getRegistration() const { return m_registration; }
    // The same in display pixels.
    const Registration& getDisplayRegistration() const { return m_displayRegistration; }
    const WMConverter& getConverter() const { return m_converter; }

    // Display scale in percent of the desktop (10 to 100 in steps of 10
    // from the default 80). Changing it makes the display images again.
    void setScale(int percent);
    int getScale() const { return m_scale; }
    // The desktop's size times the scale / 100, each rounded.
    QSize getMaximumDisplaySize() const;
    // The largest scale (100 down to 10 by tens) at which every slice of
    // the list shown over the one before it fits within available (display
    // pixels); 10 when none does. Reads no image: only the sizes and
    // calibrations the slices know.
    int fittingScale(const std::vector<const StackSlice*>& slices, const QSize& available) const;
    // The display sizes of a background and foreground within maximum.
    static std::pair<QSize, QSize> displaySizes(const StackSlice& background, const StackSlice& foreground,
                                                const QSize& maximum);
    // The desktop size the maximum display size derives from (the primary
    // screen's unless set).
    void setDesktopSize(const QSize& size);
    QSize getDesktopSize() const;

    ImageTransparencyMode getTransparencyMode() const { return m_transparencyMode; }
    bool areFramesEnabled() const { return m_frames; }
    const CanvasMode& getCanvasMode() const { return m_canvasMode; }
    MouseMode getMouseMode() const { return m_mouseMode; }
    // The continuous angle of the current (or last) rotation drag.
    double getContinuousAngle() const { return m_continuousAngle; }

    // The display images (8-bit grey) and where they stand in the widget:
    // the background centred, the foreground's centre displaced by the
    // display shifts.
    const QImage& getBackgroundImage() const { return m_backgroundImage; }
    const QImage& getForegroundImage() const { return m_foregroundImage; }
    QPointF getBackgroundCentre() const;
    QPointF getForegroundCentre() const;
    // The displayed picture of the widget's contents.
    QImage composedImage() const;

    // The displayed grey level of background level b and foreground level f.
    static int transparency(ImageTransparencyMode mode, int b, int f);
    // The 256 x 256 table, row b, column f.
    const std::vector<unsigned char>& getTransparencyMap() const { return m_map; }

    // A slice image made 8-bit grey, smoothed by a box mean of the given
    // half-size (none below 1) and resized to size (not keeping its
    // proportions, bilinear).
    static QImage displayImage(const Image& image, const QSize& size, int halfSize);

    QSize sizeHint() const override;
    // The least size that shows both images whole: the background centred,
    // the foreground moved and turned by the registration. The canvas is
    // never smaller (outside a drag, which grows it when it ends).
    QSize contentsSize() const;

public slots:
    void setTransparencyMode(ImageTransparencyMode mode);
    void setTransparencyMode(int mode) { setTransparencyMode(static_cast<ImageTransparencyMode>(mode)); }
    void setFramesEnabled(bool on);
    void setCanvasMode(const CanvasMode& mode);
    // "Bigger": +10 while the scale is at most 99; "Smaller": -10 while it is
    // at least 11. False when nothing changed.
    bool increaseScale();
    bool decreaseScale();

signals:
    // The user moved or turned the foreground (image pixels, degrees).
    void registrationChanged(const Registration& registration);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void makeDisplayImages();
    // Minimum size to contentsSize(); within a view, resized to it or the
    // view's size, whichever is larger.
    void fitContents();
    void updateConverter();
    void computeTransparencyMap();
    void emitRegistration();

    StackSlice* m_backgroundSlice = nullptr;
    StackSlice* m_foregroundSlice = nullptr;
    QImage m_backgroundImage;
    QImage m_foregroundImage;
    QSize m_foregroundImageSize;
    std::unique_ptr<PLXWorker> m_worker;

    Registration m_registration;
    Registration m_displayRegistration;
    WMConverter m_converter;

    int m_scale = defaultScale;
    QSize m_desktopSize;
    ImageTransparencyMode m_transparencyMode = ImageTransparencyMode::Addition;
    bool m_frames = false;
    CanvasMode m_canvasMode;
    std::vector<unsigned char> m_map;

    MouseMode m_mouseMode = MouseMode::None;
    QPoint m_lastPosition;
    double m_continuousAngle = 0.0;
};
