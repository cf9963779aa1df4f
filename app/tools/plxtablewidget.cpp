#include "app/tools/plxtablewidget.h"

#include "gl/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QHeaderView>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <vector>

namespace {

constexpr int sourceRowRole = Qt::UserRole + 1;
// Reals are shown to this many significant digits (their tool tips, copies
// and exports hold every digit).
constexpr int shownDigits = 6;

// Sorts by number where both cells are numbers, "NA" after every number,
// texts by their text.
class Item : public QTableWidgetItem {
public:
    explicit Item(const MorphometryTable::Cell& cell)
        : QTableWidgetItem(QString::fromStdString(cell.toString(shownDigits))), m_kind(cell.getKind()),
          m_value(cell.getValue())
    {
        if (m_kind == MorphometryTable::Cell::Real)
            setToolTip(QString::fromStdString(cell.toString()));
        setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        if (m_kind != MorphometryTable::Cell::Text)
            setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    bool operator<(const QTableWidgetItem& other) const override
    {
        const auto* o = dynamic_cast<const Item*>(&other);
        if (!o)
            return QTableWidgetItem::operator<(other);
        const double a = key(), b = o->key();
        if (m_kind != MorphometryTable::Cell::Text && o->m_kind != MorphometryTable::Cell::Text)
            return a < b;
        return text() < other.text();
    }

private:
    double key() const
    {
        return m_kind == MorphometryTable::Cell::Missing ? std::numeric_limits<double>::infinity() : m_value;
    }
    MorphometryTable::Cell::Kind m_kind;
    double m_value;
};

} // namespace

PLXTableWidget::PLXTableWidget(QWidget* parent) : QTableWidget(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->setVisible(false);
    // The columns share the width their contents leave (see spreadColumns).
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    m_copy = new QAction(tr("Copy"), this);
    m_copy->setShortcut(QKeySequence::Copy);
    m_copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(m_copy, &QAction::triggered, this, &PLXTableWidget::copy);
    m_export = new QAction(tr("Export..."), this);
    connect(m_export, &QAction::triggered, this, &PLXTableWidget::exportTable);
    addAction(m_copy);
    addAction(m_export);
}

void PLXTableWidget::setTable(const MorphometryTable& table)
{
    m_table = table;
    const int sortColumn = horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = horizontalHeader()->sortIndicatorOrder();
    const bool sorted = isSortingEnabled();
    setSortingEnabled(false);
    clear();
    setColumnCount(table.getNumColumns());
    setRowCount(table.getNumRows());
    QStringList headers;
    for (const std::string& h : table.getHeaders())
        headers << QString::fromStdString(h);
    setHorizontalHeaderLabels(headers);
    for (int r = 0; r < table.getNumRows(); ++r)
        for (int c = 0; c < table.getNumColumns(); ++c) {
            auto* item = new Item(table.getCell(r, c));
            item->setData(sourceRowRole, r);
            setItem(r, c, item);
        }
    if (sorted && sortColumn >= 0 && sortColumn < table.getNumColumns())
        sortItems(sortColumn, order);
    setSortingEnabled(true);
    if (!sorted)
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    spreadColumns();
    m_copy->setEnabled(table.getNumRows() > 0);
    m_export->setEnabled(table.getNumColumns() > 0);
}

void PLXTableWidget::spreadColumns()
{
    const int n = columnCount();
    if (n == 0)
        return;
    QHeaderView* header = horizontalHeader();
    std::vector<int> needed(static_cast<std::size_t>(n));
    int total = 0;
    for (int c = 0; c < n; ++c) {
        needed[static_cast<std::size_t>(c)] = std::max(sizeHintForColumn(c), header->sectionSizeHint(c));
        total += needed[static_cast<std::size_t>(c)];
    }
    const int spare = std::max(0, viewport()->width() - total);
    for (int c = 0; c < n; ++c) {
        // Evenly, the first columns taking the remainder's pixels.
        const int share = spare / n + (c < spare % n ? 1 : 0);
        header->resizeSection(c, needed[static_cast<std::size_t>(c)] + share);
    }
}

// Called when the view changes size, the window's resizing or a scroll bar
// coming or going.
void PLXTableWidget::resizeEvent(QResizeEvent* event)
{
    QTableWidget::resizeEvent(event);
    spreadColumns();
}

int PLXTableWidget::sourceRow(int shownRow) const
{
    const QTableWidgetItem* i = item(shownRow, 0);
    return i ? i->data(sourceRowRole).toInt() : -1;
}

MorphometryTable PLXTableWidget::shownTable(bool selectedOnly) const
{
    MorphometryTable shown(m_table.getHeaders());
    shown.setPrecision(m_table.getPrecision());
    std::set<int> selected;
    if (selectedOnly)
        for (const QModelIndex& index : selectionModel()->selectedRows())
            selected.insert(index.row());
    for (int r = 0; r < rowCount(); ++r)
        if (selected.empty() || selected.count(r))
            shown.addRow(m_table.getRow(sourceRow(r)));
    return shown;
}

void PLXTableWidget::copy()
{
    QApplication::clipboard()->setText(QString::fromStdString(shownTable(true).toTsv()));
}

bool PLXTableWidget::exportTo(const QString& filename, QString* error) const
{
    const QFileInfo target(filename);
    for (const QString& file : m_protected)
        if (!file.isEmpty() && target.exists() && QFileInfo(file).exists() &&
            target.canonicalFilePath() == QFileInfo(file).canonicalFilePath()) {
            if (error)
                *error = tr("Cannot write %1: it is the stack being measured").arg(filename);
            return false;
        }
    const bool csv = filename.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
    const MorphometryTable shown = shownTable();
    const std::string text = csv ? shown.toCsv() : shown.toTsv();
    QSaveFile file(filename);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = tr("Cannot write %1: %2").arg(filename, file.errorString());
        return false;
    }
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit()) {
        if (error)
            *error = tr("Cannot write %1: %2").arg(filename, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

void PLXTableWidget::exportTable()
{
    const QString name = Dialogs::getSaveFileName(this, tr("Export table"), m_exportName + QStringLiteral(".tsv"),
                                                  tr("Tab-separated values (*.tsv);;Comma-separated values (*.csv)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!exportTo(name, &error))
        Dialogs::warning(this, tr("Export table"), error);
}

