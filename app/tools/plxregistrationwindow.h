#pragma once
// PLXRegistrationWindow: aligns each slice of a stack on the slice before it
// (see PLXRegistrationMediator). It holds the canvas (in a scroll area that
// keeps its middle on the same part of the sections as the canvas grows or
// shrinks), the panel with the automatic-registration group, a tool bar
// (slice navigation and the grey-level window of the canvas) and a status
// bar.
//
// At most one registration window is open per stack: setStack() marks the
// stack as being registered and closing clears the mark. open() is what the
// root window's "Register" calls: it does nothing on a stack of fewer than
// two slices or one that has a window already.
//
// Position and size are read from "registrationWindow/pos" and
// "registrationWindow/size" when the window opens, and stored there as they
// change (the size also on close). The window deletes itself when closed.

#include <QMainWindow>

class BlackWhiteDoubleSlider;
class PLXAutomaticRegistrationPanel;
class PLXRegistrationCanvas;
class PLXRegistrationMediator;
class PLXRegistrationPanel;
class PLXRegistrationStatusBar;
class PLXStack;
class QScrollArea;
class QToolBar;

class PLXRegistrationWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit PLXRegistrationWindow(QWidget* parent = nullptr);
    ~PLXRegistrationWindow() override;

    // A new window on the stack, shown; null when the stack has fewer than
    // two slices or a registration window already.
    // It opens with the canvas's scale chosen so that every section shows
    // whole in the view (fitToView); without a stored size, at two thirds of
    // the screen.
    static PLXRegistrationWindow* open(PLXStack& stack, QWidget* parent = nullptr);
    // Sets the canvas's scale to the largest at which any slice of the stack
    // and the one before it fit in the visible part of the scroll area.
    void fitToView();

    // UsageError "Cannot perform registration without at least 2 slices"
    // for a shorter stack; marks the stack as being registered.
    void setStack(PLXStack& stack);

    PLXRegistrationMediator& getMediator() const { return *m_mediator; }
    PLXRegistrationCanvas& getCanvas() const { return *m_canvas; }
    PLXRegistrationPanel& getPanel() const { return *m_panel; }
    PLXAutomaticRegistrationPanel& getAutomaticPanel() const { return *m_automaticPanel; }
    PLXRegistrationStatusBar& getStatusBar() const { return *m_statusBar; }
    QToolBar& getToolBar() const { return *m_toolBar; }
    BlackWhiteDoubleSlider& getLevelsSlider() const { return *m_levels; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateTitle();
    void releaseStack();

    PLXRegistrationCanvas* m_canvas;
    QScrollArea* m_scrollArea;
    PLXRegistrationPanel* m_panel;
    PLXAutomaticRegistrationPanel* m_automaticPanel;
    PLXRegistrationStatusBar* m_statusBar;
    QToolBar* m_toolBar;
    BlackWhiteDoubleSlider* m_levels;
    PLXRegistrationMediator* m_mediator;
    bool m_restoringGeometry = false;
};
