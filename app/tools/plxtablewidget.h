#pragma once
// PLXTableWidget: a MorphometryTable shown as a sortable table. Cells show
// reals to six significant digits (all of them in their tool tips); numeric
// columns sort by value, measures that could not be made ("NA") after every
// number. The table's rows can be copied to the clipboard (tab-separated,
// the selected rows or, without a selection, all of them, with the headers,
// every digit)
// and exported to a file, TSV or CSV by the file's extension, in the order
// shown: the file is written aside and renamed over the target only once
// complete, and never over the file of the stack measured.

#include "stack/morphometrytable.h"

#include <QTableWidget>

class QAction;

class PLXTableWidget : public QTableWidget {
    Q_OBJECT
public:
    explicit PLXTableWidget(QWidget* parent = nullptr);

    void setTable(const MorphometryTable& table);
    // The table as given.
    const MorphometryTable& getTable() const { return m_table; }
    // The rows as shown (sorted as the user asked); only the selected rows
    // when selectedOnly and some are selected.
    MorphometryTable shownTable(bool selectedOnly = false) const;
    // The source row of a shown row.
    int sourceRow(int shownRow) const;

    // The file name stem proposed by "Export...".
    void setExportName(const QString& name) { m_exportName = name; }
    // Files an export never writes over (the stack the table measures).
    void setProtectedFiles(const QStringList& files) { m_protected = files; }

    QAction* getCopyAction() const { return m_copy; }
    QAction* getExportAction() const { return m_export; }

    // Writes the shown table to the file: CSV when its name ends in ".csv"
    // (any case), TSV otherwise. False, with the reason in *error, when the
    // file could not be written (nothing is left behind then).
    bool exportTo(const QString& filename, QString* error = nullptr) const;

    // Sizes each column to its values and header, and spreads the width
    // the view leaves over evenly among the columns (after a new table and
    // whenever the view changes size); a table wider than its view scrolls.
    void spreadColumns();

public slots:
    void copy();
    // Asks for a file name and exports; a failure is reported.
    void exportTable();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    MorphometryTable m_table;
    QString m_exportName = QStringLiteral("table");
    QStringList m_protected;
    QAction* m_copy = nullptr;
    QAction* m_export = nullptr;
};
