#pragma once
// PLXStackCheckList: the open stacks as a list of check boxes, for the tool
// windows that work on several specimens at once (density mapping, fusion).
// It follows the stack server by itself: a stack opened later is added
// unchecked, a closing stack is removed, a renamed one relabelled. Owners
// hear of changes through checkedStacksChanged(), and of a stack about to go
// through stackRemoved() (emitted before its row goes, while the stack still
// exists) so that results computed from it can be dropped.

#include "app/plxeventclient.h"

#include <QListWidget>

#include <vector>

class PLXStack;

class PLXStackCheckList : public QListWidget, public PLXEventClient {
    Q_OBJECT
public:
    // Every open stack, those in checked checked; stacks of checked that the
    // server does not hold are added too (checked).
    explicit PLXStackCheckList(const std::vector<PLXStack*>& checked, QWidget* parent = nullptr);

    // The checked stacks, in list order.
    std::vector<PLXStack*> getCheckedStacks() const;
    void setStackChecked(PLXStack& stack, bool checked);
    bool contains(const PLXStack& stack) const;

signals:
    void checkedStacksChanged();
    void stackRemoved(PLXStack* stack);

protected:
    void stackOpenEvent(PLXStackOpenEvent& e) override;
    void stackCloseEvent(PLXStackCloseEvent& e) override;
    void stackNameEvent(PLXStackNameEvent& e) override;

private:
    void addStack(PLXStack& stack, bool checked);
    int rowOf(const PLXStack& stack) const;
    PLXStack* stackAt(int row) const;
};
