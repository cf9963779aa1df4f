#include "app/slice/plxslicelistwidget.h"

#include "stack/stack.h"
#include "stack/stackslice.h"

PLXSliceListWidget::PLXSliceListWidget(QWidget* parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_selecting)
            emit sliceSelectionChanged();
    });
}

void PLXSliceListWidget::setStack(Stack* stack)
{
    m_stack = stack;
    m_selecting = true;
    QListWidget::clear();
    m_selecting = false;
    rebuild();
}

void PLXSliceListWidget::describe(QListWidgetItem* entry, const StackSlice* slice)
{
    entry->setText(QString::fromStdString(slice->getName()));
    entry->setToolTip(QString::fromStdString(slice->getAnnotation()));
}

void PLXSliceListWidget::rebuild()
{
    const QList<StackSlice*> selected = getSelectedSlices();
    m_selecting = true;
    QListWidget::clear();
    if (m_stack) {
        for (int i = 0; i < m_stack->getNumSlices(); ++i) {
            StackSlice* slice = m_stack->getSlice(i);
            auto* entry = new QListWidgetItem(this);
            entry->setData(Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(slice)));
            describe(entry, slice);
            entry->setSelected(selected.contains(slice));
        }
    }
    m_selecting = false;
}

void PLXSliceListWidget::updateSlice(StackSlice* slice)
{
    const int row = findSlice(slice);
    if (row >= 0)
        describe(item(row), slice);
}

void PLXSliceListWidget::selectSlice(StackSlice* slice)
{
    m_selecting = true;
    clearSelection();
    const int row = findSlice(slice);
    if (row >= 0) {
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
        scrollToItem(item(row));
    }
    m_selecting = false;
}

int PLXSliceListWidget::findSlice(const StackSlice* slice) const
{
    for (int i = 0; i < count(); ++i)
        if (getSlice(i) == slice)
            return i;
    return -1;
}

StackSlice* PLXSliceListWidget::getSlice(int row) const
{
    const QListWidgetItem* entry = item(row);
    return entry ? reinterpret_cast<StackSlice*>(entry->data(Qt::UserRole).value<quintptr>()) : nullptr;
}

QList<StackSlice*> PLXSliceListWidget::getSelectedSlices() const
{
    QList<StackSlice*> slices;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            slices.append(getSlice(i));
    return slices;
}
