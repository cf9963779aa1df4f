#include "app/tools/plxrenderingtoolbar.h"

#include "app/tools/plxrenderingmediator.h"

#include <QAction>

PLXRenderingToolbar::PLXRenderingToolbar(PLXRenderingMediator& mediator, QWidget* parent)
    : QToolBar(tr("Rendering"), parent)
{
    setObjectName(QStringLiteral("renderingToolBar"));
    setMovable(false);
    addAction(mediator.getResetAction());
    addAction(mediator.getSnapshotAction());
    addAction(mediator.getRandomRotationAction());
    addAction(mediator.getVideoStartAction());
    addSeparator();
    addAction(mediator.getPreviousStackAction());
    addAction(mediator.getNextStackAction());
}
