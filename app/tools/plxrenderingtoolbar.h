#pragma once
// PLXRenderingToolbar: the tool bar of the rendering window: "Reset
// transformations", "Snapshot", "Start/stop random rotation", "Video start",
// and the previous and next open stack.

#include <QToolBar>

class PLXRenderingMediator;

class PLXRenderingToolbar : public QToolBar {
    Q_OBJECT
public:
    explicit PLXRenderingToolbar(PLXRenderingMediator& mediator, QWidget* parent = nullptr);
};
