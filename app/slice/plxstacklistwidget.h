#pragma once
// PLXStackListWidget: the open stacks, by name, in the order they were added
// (the file name as tool tip). stackSelectionChanged() reports the user's
// selections only, not the ones made through selectStack().

#include <QList>
#include <QListWidget>
#include <QString>

class Stack;

class PLXStackListWidget : public QListWidget {
    Q_OBJECT
public:
    explicit PLXStackListWidget(QWidget* parent = nullptr);

    // Appends the stack unless it is listed.
    void addStack(Stack* stack, const QString& fileName = {});
    void removeStack(Stack* stack);
    // The name or the file name changed.
    void updateStack(Stack* stack, const QString& fileName);
    // Selects the stack alone (null: clears the selection).
    void selectStack(Stack* stack);

    int findStack(const Stack* stack) const;
    bool hasStack(const Stack* stack) const { return findStack(stack) >= 0; }
    Stack* getStack(int row) const;
    QList<Stack*> getSelectedStacks() const;

signals:
    void stackSelectionChanged();

private:
    bool m_selecting = false;
};
