#include "app/plxstackimagelisteditor.h"

#include "app/plxsettings.h"
#include "gl/dialogs.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

PLXStackImageListEditor::PLXStackImageListEditor(QWidget* parent)
    : QWidget(parent), m_list(new QListWidget(this)), m_add(new QPushButton(QStringLiteral("Add images..."), this))
{
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* remove = new QPushButton(QStringLiteral("Remove"), this);
    auto* up = new QPushButton(QStringLiteral("Up"), this);
    auto* down = new QPushButton(QStringLiteral("Down"), this);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {m_add, remove, up, down})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    connect(m_add, &QPushButton::clicked, this, &PLXStackImageListEditor::chooseImages);
    connect(remove, &QPushButton::clicked, this, &PLXStackImageListEditor::removeSelected);
    connect(up, &QPushButton::clicked, this, &PLXStackImageListEditor::moveUp);
    connect(down, &QPushButton::clicked, this, &PLXStackImageListEditor::moveDown);
}

QStringList PLXStackImageListEditor::getImageList() const
{
    QStringList files;
    for (int i = 0; i < m_list->count(); ++i)
        files << m_list->item(i)->text();
    return files;
}

void PLXStackImageListEditor::setImageList(const QStringList& files)
{
    m_list->clear();
    addImages(files);
}

void PLXStackImageListEditor::addImages(const QStringList& files)
{
    m_list->addItems(files);
    emit changed();
}

void PLXStackImageListEditor::chooseImages()
{
    const QStringList files =
        Dialogs::getOpenFileNames(this, QStringLiteral("Select image files"),
                                  PLXSettings::settings.getInputDirectory().absolutePath(),
                                  QStringLiteral("*.tif *.TIF *.img"));
    if (files.isEmpty())
        return;
    PLXSettings::settings.setInputDirectory(QFileInfo(files.first()).absoluteDir());
    addImages(files);
}

void PLXStackImageListEditor::removeSelected()
{
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return;
    qDeleteAll(selected);
    emit changed();
}

void PLXStackImageListEditor::moveUp()
{
    move(-1);
}

void PLXStackImageListEditor::moveDown()
{
    move(1);
}

void PLXStackImageListEditor::move(int step)
{
    const int row = m_list->currentRow();
    const int to = row + step;
    if (row < 0 || to < 0 || to >= m_list->count())
        return;
    QListWidgetItem* item = m_list->takeItem(row);
    m_list->insertItem(to, item);
    m_list->setCurrentRow(to);
    emit changed();
}
