#pragma once

#include "core/products/ProductList.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace selvo {

struct AppContext;
class CSpreadSheet;

// The worksheet the import reads and the template workbook delivered with the program.
QString ImportSheetName();         // "产品导入模板"
QString TemplateFileName();        // "prd.xls", in the template folder (core/store/InstallPaths.h)
QString TemplateFormatWrongText(); // "模板文件格式不正确"
QString TemplateEmptyText();       // "请先录入数据"
// "产品导入模板(2016-06-15 09.30.05).xls": the name "获取模板" proposes.
QString ProposedTemplateName(const QDateTime& now);
// Copies the template over `target` (replaced whole or left as it was). False when the template
// cannot be read or the copy cannot be written.
bool CopyTemplate(const QString& templateFolder, const QString& target);
QString TemplateCopyFailedText(); // "模板文件保存失败，请重试！"

struct ImportCounters {
    int rows = 0; // data rows of the sheet (header row not counted)
    int imported = 0;
    int duplicates = 0;
    int errors = 0;
    int categoryErrors = 0;
    int handled() const { return imported + duplicates + errors + categoryErrors; }
};

// The closing message: "完成!\n\n共 %d 条\n成功导入 %d 条\n过滤重复 %d 条\n排除出错 %d 条", then
// "\n产品类别错误 %d 条" when there were any. A cancelled import starts with "已取消!" and
// ends with "\n未处理 %d 条", the rows not reached.
QString ImportSummaryText(const ImportCounters& counters, bool cancelled = false);

// Creates one product per data row of a filled-in template (columns: name, category name,
// purchase price, retail price, unit, "否" for fractions, "特价"/"赠品", opening stock).
//
// A row whose name exists is a duplicate; one whose category does not exist a category error;
// a row with fewer than 8 cells, an empty name, a name holding "[特] ", a figure that is not a
// plain number from 0 to 99999999, or a database failure is an error. Each is counted and
// skipped; the rows before it stay.
//
// Rows go in batches, each batch one transaction, so a large sheet is quick and the caller can
// show progress between batches (and stop: what was imported stays). When a statement of a
// batch fails, the batch is rolled back and done again with each row on its own savepoint, so
// only the failing row is lost.
class ProductImport final {
public:
    // `sheet` is read from its first data row on; it must outlive the import.
    ProductImport(AppContext& ctx, CSpreadSheet& sheet);

    // Why the sheet cannot be imported ("模板文件格式不正确", "请先录入数据"); empty when it can.
    QString refusal() const { return m_refusal; }
    bool atEnd() const;
    int rowsDone() const { return m_next - 2; } // data rows handled so far
    const ImportCounters& counters() const { return m_counters; }

    // Imports up to `maxRows` further rows in one transaction and returns the products they
    // created (as the product page lists them), in sheet order.
    QList<ProductRow> importBatch(int maxRows);
    // Every remaining row, batch after batch.
    QList<ProductRow> importAll(int batchRows = kBatchRows);

    static constexpr int kBatchRows = 200;

private:
    enum class Outcome { Imported, Duplicate, CategoryError, Error, DatabaseFailed };
    Outcome importRow(const QStringList& cells, QHash<QString, int>& categories, ProductRow* created);
    bool runBatch(const QList<QStringList>& rows, bool rowSavepoints, ImportCounters& counters,
                  QList<ProductRow>& created);

    AppContext& m_ctx;
    CSpreadSheet& m_sheet;
    QString m_refusal;
    ImportCounters m_counters;
    int m_next = 2; // the next sheet row to import
};

} // namespace selvo
