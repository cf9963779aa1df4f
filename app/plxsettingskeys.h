#pragma once
// The keys of the settings store (organisation "Varnak", application
// "Plexan") and their defaults, in one place for every window that keeps
// state there. Settings and preferences are written at exit; window
// geometry, visibility toggles and splitters as they change.

#include <QList>
#include <QSize>

namespace PLXSettingsKeys {

// PLXSettings: directories (absolute paths; default the home directory),
// recent files (most recent first; default none), open-stack dialog size.
inline constexpr char inputDirectory[] = "inputDirectory";
inline constexpr char outputDirectory[] = "outputDirectory";
inline constexpr char recentFiles[] = "recentFiles";
inline constexpr char openStackDialogSize[] = "openStackDialogSize";
inline constexpr QSize defaultOpenStackDialogSize(400, 300);

// PLXPreferences (defaults there): 5, false, true, 10 pixels, dark grey.
inline constexpr char maxNumBackups[] = "preferences/maxNumBackups";
inline constexpr char autoDecimation[] = "preferences/autoDecimation";
inline constexpr char enablePanoramaLabels[] = "preferences/enablePanoramaLabels";
inline constexpr char clickTolerance[] = "preferences/clickTolerance";
inline constexpr char imageCanvasBackgroundColor[] = "preferences/imageCanvasBackgroundColor";

// Root window: visibility toggles (default true), position (default the
// origin), size (default rootWindowDefaultSize), and its splitter (absent:
// rootWindowSplitterSizes).
inline constexpr char rootWindowBrowserVisible[] = "rootWindow/browserVisible";
inline constexpr char rootWindowToolBarVisible[] = "rootWindow/toolBarVisible";
inline constexpr char rootWindowStatusBarVisible[] = "rootWindow/statusBarVisible";
inline constexpr char rootWindowPos[] = "rootWindow/pos";
inline constexpr char rootWindowSize[] = "rootWindow/size";
inline constexpr char rootWindowSplitter[] = "rootWindowSplitter";
inline const QList<int> rootWindowSplitterSizes = {250, 750};
inline constexpr char rootBrowserSplitterSizes[] = "rootBrowserSplitterSizes";

// Two thirds of the desktop's width and height: twice the extent divided by
// three, rounded to the nearest integer.
inline QSize rootWindowDefaultSize(const QSize& desktop)
{
    auto twoThirds = [](int extent) { return static_cast<int>((2 * static_cast<long long>(extent) + 1) / 3); };
    return QSize(twoThirds(desktop.width()), twoThirds(desktop.height()));
}

// Tool windows and dialogs (position and size, or geometry, as they change).
inline constexpr char registrationWindowPos[] = "registrationWindow/pos";
inline constexpr char registrationWindowSize[] = "registrationWindow/size";
inline constexpr char renderingWindowPos[] = "renderingWindow/pos";
inline constexpr char renderingWindowSize[] = "renderingWindow/size";
inline constexpr char renderingWindowToolBarVisible[] = "renderingWindow/toolBarVisible";
inline constexpr char renderingWindowPanelVisible[] = "renderingWindow/panelVisible";
// The directory of the last STL export (default the home directory).
inline constexpr char exportDirectory[] = "exportDirectory";
inline constexpr char modelFilterDialogGeometry[] = "modelFilterDialog/geometry";
inline constexpr char fusionConfigDialogGeometry[] = "fusionConfigDialog/geometry";
inline constexpr char modelTransferDialogPos[] = "modelTransferDialog/pos";
inline constexpr char modelTransferDialogSize[] = "modelTransferDialog/size";
inline constexpr char analysisWindowPos[] = "analysisWindow/pos";
inline constexpr char analysisWindowSize[] = "analysisWindow/size";
inline constexpr char fusionWindowPos[] = "fusionWindow/pos";
inline constexpr char fusionWindowSize[] = "fusionWindow/size";
inline constexpr char fusionSummaryDialogPos[] = "fusionSummaryDialog/pos";
inline constexpr char fusionSummaryDialogSize[] = "fusionSummaryDialog/size";
inline constexpr char densityMappingDialogPos[] = "densityMappingDialog/pos";
inline constexpr char densityMappingDialogSize[] = "densityMappingDialog/size";

// Spot extraction: the settings of the last run (absent: the defaults of
// PLXSpotExtractionConfig); the resampled size and voxel size count only
// for a volume of the size they were chosen for.
inline constexpr char spotExtractionResize[] = "spotExtraction/resize";
inline constexpr char spotExtractionVolumeSize[] = "spotExtraction/volumeSize";
inline constexpr char spotExtractionNewSize[] = "spotExtraction/newSize";
inline constexpr char spotExtractionNewResolution[] = "spotExtraction/newResolution";
inline constexpr char spotExtractionSmoothing[] = "spotExtraction/smoothing";
inline constexpr char spotExtractionSmoothingType[] = "spotExtraction/smoothingType";
inline constexpr char spotExtractionSmoothingRadius[] = "spotExtraction/smoothingRadius";
inline constexpr char spotExtractionTopHat[] = "spotExtraction/tophat";
inline constexpr char spotExtractionTopHatType[] = "spotExtraction/tophatType";
inline constexpr char spotExtractionTopHatRadius[] = "spotExtraction/tophatRadius";
inline constexpr char spotExtractionIsotropy[] = "spotExtraction/isotropy";
inline constexpr char spotExtractionIsotropyRadius[] = "spotExtraction/isotropyRadius";
inline constexpr char spotExtractionBasename[] = "spotExtraction/basename";
inline constexpr char spotExtractionSeparateModels[] = "spotExtraction/separateModels";
inline constexpr char spotExtractionEquivalentSpheres[] = "spotExtraction/equivalentSpheres";

// 3D viewer canvas background (see the viewer for its defaults).
inline constexpr char viewerCanvasBackgroundColor[] = "viewerCanvas/background/color";
inline constexpr char viewerCanvasBackgroundGradient[] = "viewerCanvas/background/gradient";

} // namespace PLXSettingsKeys
