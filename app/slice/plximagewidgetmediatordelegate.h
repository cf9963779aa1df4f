#pragma once
// PLXImageWidgetMediatorDelegate: an interchangeable tool of an image view.
// Installed as an event filter on the view's canvas, an active delegate
// receives the canvas's mouse, tablet, key and context-menu events through
// the handlers below and consumes those it accepts (event->accept()); what
// it leaves reaches the next delegate, then the canvas. An inactive
// delegate accepts nothing. A blocking delegate, while active, also
// swallows every other input event (wheel, unhandled keys and clicks), so
// that nothing else reacts while it works.
//
// Activating an active delegate, or deactivating an inactive one, is a
// ProgramError; deleting an active delegate is reported on the error output.

#include <QObject>

class QContextMenuEvent;
class QEvent;
class QKeyEvent;
class QMouseEvent;
class QTabletEvent;

class PLXImageWidgetMediatorDelegate : public QObject {
    Q_OBJECT
public:
    explicit PLXImageWidgetMediatorDelegate(QObject* mediator);
    ~PLXImageWidgetMediatorDelegate() override;

    QObject* getMediator() const { return m_mediator; }
    bool isActive() const { return m_active; }
    bool isBlocking() const { return m_blocking; }
    void setBlocking(bool blocking) { m_blocking = blocking; }

    // Dispatches the watched object's input events to the handlers.
    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // ProgramError "Activating already active delegate".
    virtual void activate();
    // ProgramError "Dectivating inactive delegate".
    virtual void deactivate();

    // Clears the active flag without the work of deactivate(), for an
    // editor going away together with its canvas.
    void forget() { m_active = false; }

protected:
    virtual void mouseDoubleClickEvent(QMouseEvent*) {}
    virtual void mousePressEvent(QMouseEvent*) {}
    virtual void mouseMoveEvent(QMouseEvent*) {}
    virtual void mouseReleaseEvent(QMouseEvent*) {}
    virtual void tabletMoveEvent(QTabletEvent*) {}
    virtual void tabletPressEvent(QTabletEvent*) {}
    virtual void tabletReleaseEvent(QTabletEvent*) {}
    virtual void keyPressEvent(QKeyEvent*) {}
    virtual void keyReleaseEvent(QKeyEvent*) {}
    virtual void contextMenuEvent(QContextMenuEvent*) {}
    // Any other event; returns whether it is consumed. By default a blocking
    // delegate consumes the input events its handlers left.
    virtual bool anyEvent(QEvent* event);

private:
    QObject* m_mediator;
    bool m_active = false;
    bool m_blocking = false;
};
