#include "app/tools/plxstackchecklist.h"

#include "app/plxevent.h"
#include "app/plxstack.h"
#include "app/plxstackserver.h"

#include <QSignalBlocker>

#include <algorithm>

namespace {

constexpr int stackRole = Qt::UserRole + 1;

} // namespace

PLXStackCheckList::PLXStackCheckList(const std::vector<PLXStack*>& checked, QWidget* parent)
    : QListWidget(parent)
{
    setMaximumHeight(110);
    for (int i = 0; i < PLXStackServer::stackServer.getNumStacks(); ++i) {
        PLXStack* stack = PLXStackServer::stackServer.getStack(i);
        addStack(*stack, std::find(checked.begin(), checked.end(), stack) != checked.end());
    }
    for (PLXStack* stack : checked)
        if (rowOf(*stack) < 0)
            addStack(*stack, true);
    connect(this, &QListWidget::itemChanged, this, &PLXStackCheckList::checkedStacksChanged);
}

std::vector<PLXStack*> PLXStackCheckList::getCheckedStacks() const
{
    std::vector<PLXStack*> stacks;
    for (int i = 0; i < count(); ++i)
        if (item(i)->checkState() == Qt::Checked)
            stacks.push_back(stackAt(i));
    return stacks;
}

void PLXStackCheckList::setStackChecked(PLXStack& stack, bool checked)
{
    const int row = rowOf(stack);
    if (row >= 0)
        item(row)->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

bool PLXStackCheckList::contains(const PLXStack& stack) const
{
    return rowOf(stack) >= 0;
}

void PLXStackCheckList::addStack(PLXStack& stack, bool checked)
{
    auto* row = new QListWidgetItem(QString::fromStdString(stack.getName()));
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    row->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    row->setData(stackRole, QVariant::fromValue(static_cast<void*>(&stack)));
    addItem(row);
}

int PLXStackCheckList::rowOf(const PLXStack& stack) const
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->data(stackRole).value<void*>() == &stack)
            return i;
    return -1;
}

PLXStack* PLXStackCheckList::stackAt(int row) const
{
    return static_cast<PLXStack*>(item(row)->data(stackRole).value<void*>());
}

void PLXStackCheckList::stackOpenEvent(PLXStackOpenEvent& e)
{
    if (rowOf(e.getStack()) >= 0)
        return;
    // A new stack comes unchecked: the checked set has not changed.
    const QSignalBlocker blocker(this);
    addStack(e.getStack(), false);
}

void PLXStackCheckList::stackCloseEvent(PLXStackCloseEvent& e)
{
    const int row = rowOf(e.getStack());
    if (row < 0)
        return;
    emit stackRemoved(&e.getStack());
    {
        const QSignalBlocker blocker(this);
        delete takeItem(row);
    }
    emit checkedStacksChanged();
}

void PLXStackCheckList::stackNameEvent(PLXStackNameEvent& e)
{
    const int row = rowOf(e.getStack());
    if (row >= 0)
        item(row)->setText(QString::fromStdString(e.getStack().getName()));
}

#include "moc_plxstackchecklist.cpp"
