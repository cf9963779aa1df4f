#pragma once
// PLXSliceListWidget: the slices of one stack, by name, in stack order (the
// annotation as tool tip). sliceSelectionChanged() reports the user's
// selections only, not the ones made through selectSlice().

#include <QList>
#include <QListWidget>

class Stack;
class StackSlice;

class PLXSliceListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit PLXSliceListWidget(QWidget* parent = nullptr);

    // Lists the slices of stack (not owned), null: none.
    void setStack(Stack* stack);
    Stack* getStack() const { return m_stack; }
    void clear() { setStack(nullptr); }
    // Lists the stack's slices again (inserted, deleted), keeping the selection.
    void rebuild();
    // The slice's name or annotation changed.
    void updateSlice(StackSlice* slice);
    // Selects the slice alone (null: clears the selection).
    void selectSlice(StackSlice* slice);

    int findSlice(const StackSlice* slice) const;
    StackSlice* getSlice(int row) const;
    QList<StackSlice*> getSelectedSlices() const;

signals:
    void sliceSelectionChanged();

private:
    void describe(QListWidgetItem* entry, const StackSlice* slice);

    Stack* m_stack = nullptr;
    bool m_selecting = false;
};
