#pragma once
// PLXPreferences: the behaviour the user sets in the preferences dialog. The
// values are class-wide; the one instance, PLXPreferences::__preferences,
// lets the dialog pass them by reference. Read at start-up (load) and
// written at exit (save) under "preferences/..." in the default settings
// store:
//
//   maxNumBackups (int, 0 to 10)        5     backups kept by each save
//   autoDecimation (bool)               false contours decimated when drawn
//   enablePanoramaLabels (bool)         true  slice names under thumbnails
//   clickTolerance (int, pixels, 1-50)  10    how near a click must fall
//   imageCanvasBackgroundColor (colour) dark grey
//
// A stored colour that cannot be read as a colour gives an invalid colour.

#include <QColor>

class PLXPreferences {
public:
    static PLXPreferences __preferences;

    // Resets every value but the colour to its default.
    PLXPreferences();

    static void load();
    static void save();

    static void setMaxNumBackups(int n) { s_maxNumBackups = n; }
    static int getMaxNumBackups() { return s_maxNumBackups; }
    static void enableAutoDecimation(bool on) { s_autoDecimation = on; }
    static bool autoDecimationEnabled() { return s_autoDecimation; }
    static void setPanoramaLabelEnabled(bool on) { s_panoramaLabels = on; }
    static bool isPanoramaLabelEnabled() { return s_panoramaLabels; }
    static void setClickTolerance(int pixels) { s_clickTolerance = pixels; }
    static int getClickTolerance() { return s_clickTolerance; }
    static void setImageCanvasBackgroundColor(const QColor& c) { s_backgroundColor = c; }
    static const QColor& getImageCanvasBackgroundColor() { return s_backgroundColor; }

    static constexpr int defaultMaxNumBackups = 5;
    static constexpr int largestMaxNumBackups = 10;
    static constexpr int defaultClickTolerance = 10;
    static constexpr int smallestClickTolerance = 1;
    static constexpr int largestClickTolerance = 50;

private:
    static int s_maxNumBackups;
    static bool s_autoDecimation;
    static bool s_panoramaLabels;
    static int s_clickTolerance;
    static QColor s_backgroundColor;
};
