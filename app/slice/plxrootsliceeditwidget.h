#pragma once
// PLXRootSliceEditWidget: the slice view of the root window. Its grey-level
// window (a BlackWhiteDoubleSlider) and its zoom indicator live in the
// window's tool bar and status bar, where setToolBar() and setStatusBar()
// place them. Its editor (the drawing and editing tools, their context menu
// and their mode, shown in the status bar) follows the slice shown.

#include "app/slice/plxsliceeditwidget.h"
#include "gl/blackwhitedoubleslider.h"

#include <QPointer>

class PLXSliceEditWidgetMediator;
class QLabel;
class QStatusBar;
class QToolBar;

class PLXRootSliceEditWidget : public PLXSliceEditWidget {
    Q_OBJECT
public:
    explicit PLXRootSliceEditWidget(QWidget* parent = nullptr);
    ~PLXRootSliceEditWidget() override;

    BlackWhiteDoubleSlider* getGreyLevelSlider() const { return m_slider; }
    QLabel* getZoomLabel() const { return m_zoomLabel; }
    PLXSliceEditWidgetMediator* getEditor() const { return m_editor; }

    // Appends the grey-level window to the tool bar.
    void setToolBar(QToolBar* toolBar);
    // Shows the zoom in the status bar.
    void setStatusBar(QStatusBar* statusBar);

private:
    void showZoom(double zoom);

    QPointer<BlackWhiteDoubleSlider> m_slider;
    QLabel* m_zoomLabel = nullptr;
    PLXSliceEditWidgetMediator* m_editor = nullptr;
};
