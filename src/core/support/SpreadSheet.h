#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace selvo {

// One worksheet of an .xls workbook, or a text file split by a separator, read whole at
// construction and handed out row by row as texts. Row 1 holds the column names.
//
// Workbook mode (the path ends in ".xls" or ".xlsx", any case): the second argument names the
// worksheet. Excel 97 (.xls) and Office Open XML (.xlsx) workbooks are told apart by their
// contents, whatever the name says.
// Numbers come as their shortest decimal text ("3.5", "10", "6901234567890"), dates as
// "YYYY-MM-DD", empty cells as empty texts; a cell stays one text whatever it holds.
// Text mode: each line is a row, split at the separator (a separator between two double quotes
// first, with the outer quotes removed). Text files may be UTF-8 or GB18030/GBK.
//
// After construction totalRows() and totalColumns() are 0 when nothing could be read, and
// lastError() says why.
class CSpreadSheet final {
public:
    CSpreadSheet(const QString& path, const QString& sheetOrSeparator);

    // Fills texts with the cells of the given row (1-based; 0 = the row after the one read
    // last) and returns true; false (with lastError()) when there is no such row.
    bool ReadRow(int row, QStringList& texts);

    // Whether a path is read as a workbook: it ends in ".xls" or ".xlsx", any case.
    static bool IsWorkbookPath(const QString& path);

    int totalRows() const { return static_cast<int>(m_rows.size()); }
    int totalColumns() const { return m_totalColumns; }
    QString lastError() const { return m_lastError; }
    QStringList columnNames() const { return m_columnNames; }
    bool isWorkbook() const { return m_workbook; }

    // The texts of lastError().
    static const QString kErrorOpeningFile;
    static const QString kErrorReadingRow;
    static const QString kErrorRowOutOfRange;
    static const QString kErrorNoWorksheet;
    static const QString kErrorRowBelowOne;

private:
    void loadWorkbook(const QString& sheet);
    void loadTextFile();
    QStringList splitLine(const QString& line) const;

    QString m_path;
    bool m_workbook = false;
    QString m_separator;
    QList<QStringList> m_rows;
    QStringList m_columnNames;
    int m_totalColumns = 0;
    int m_currentRow = 1;
    QString m_lastError;
};

} // namespace selvo
