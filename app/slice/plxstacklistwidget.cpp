#include "app/slice/plxstacklistwidget.h"

#include "stack/stack.h"

PLXStackListWidget::PLXStackListWidget(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_selecting)
            emit stackSelectionChanged();
    });
}

void PLXStackListWidget::addStack(Stack* stack, const QString& fileName)
{
    if (!stack || hasStack(stack))
        return;
    auto* row = new QListWidgetItem(this);
    row->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(stack)));
    updateStack(stack, fileName);
}

void PLXStackListWidget::removeStack(Stack* stack)
{
    const int row = findStack(stack);
    if (row < 0)
        return;
    m_selecting = true;
    delete takeItem(row);
    m_selecting = false;
}

void PLXStackListWidget::updateStack(Stack* stack, const QString& fileName)
{
    const int row = findStack(stack);
    if (row < 0)
        return;
    QListWidgetItem* entry = item(row);
    entry->setText(QString::fromStdString(stack->getName()));
    entry->setToolTip(fileName.isEmpty() ? tr("(not saved yet)") : fileName);
}

void PLXStackListWidget::selectStack(Stack* stack)
{
    m_selecting = true;
    clearSelection();
    const int row = findStack(stack);
    if (row >= 0) {
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        scrollToItem(item(row));
    }
    m_selecting = false;
}

int PLXStackListWidget::findStack(const Stack* stack) const
{
    for (int i = 0; i < count(); ++i)
        if (getStack(i) == stack)
            return i;
    return -1;
}

Stack* PLXStackListWidget::getStack(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? reinterpret_cast<Stack*>(entry->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

QList<Stack*> PLXStackListWidget::getSelectedStacks() const
{
    QList<Stack*> stacks;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            stacks.append(getStack(i));
    return stacks;
}
