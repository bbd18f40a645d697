#include "core/products/ProductImport.h"

#include "core/products/ProductEditor.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Pinyin.h"
#include "core/support/SpreadSheet.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cmath>

namespace selvo {

QString ImportSheetName() {
    return QStringLiteral("产品导入模板");
}

QString TemplateFileName() {
    return QStringLiteral("prd.xls");
}

QString TemplateFormatWrongText() {
    return QStringLiteral("模板文件格式不正确");
}

QString TemplateEmptyText() {
    return QStringLiteral("请先录入数据");
}

QString ProposedTemplateName(const QDateTime& now) {
    // The time holds dots, so the name carries its suffix itself.
    return QStringLiteral("产品导入模板") + now.toString(QStringLiteral("(yyyy-MM-dd HH.mm.ss)")) +
           QStringLiteral(".xls");
}

bool CopyTemplate(const QString& templateFolder, const QString& target) {
    if (templateFolder.isEmpty() || target.isEmpty())
        return false;
    QFile source(QDir(templateFolder).filePath(TemplateFileName()));
    if (!source.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = source.readAll();
    if (source.error() != QFileDevice::NoError || bytes.isEmpty())
        return false;
    // Written beside the target and renamed over it: a failed copy leaves the old file whole.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

QString TemplateCopyFailedText() {
    return QStringLiteral("模板文件保存失败，请重试！");
}

QString ImportSummaryText(const ImportCounters& c, bool cancelled) {
    QString text = (cancelled ? QStringLiteral("已取消!") : QStringLiteral("完成!")) +
                   QStringLiteral("\n\n共 %1 条\n成功导入 %2 条\n过滤重复 %3 条\n排除出错 %4 条")
                       .arg(c.rows)
                       .arg(c.imported)
                       .arg(c.duplicates)
                       .arg(c.errors);
    if (c.categoryErrors > 0)
        text += QStringLiteral("\n产品类别错误 %1 条").arg(c.categoryErrors);
    if (cancelled)
        text += QStringLiteral("\n未处理 %1 条").arg(c.rows - c.handled());
    return text;
}

ProductImport::ProductImport(AppContext& ctx, CSpreadSheet& sheet) : m_ctx(ctx), m_sheet(sheet) {
    // A workbook that broke off while being read is damaged: importing the part before the fault
    // would pass for the whole sheet.
    if (m_sheet.totalColumns() < 4 || m_sheet.lastError() == CSpreadSheet::kErrorReadingRow)
        m_refusal = TemplateFormatWrongText();
    else if (m_sheet.totalRows() <= 1)
        m_refusal = TemplateEmptyText();
    else
        m_counters.rows = m_sheet.totalRows() - 1;
}

bool ProductImport::atEnd() const {
    return !m_refusal.isEmpty() || m_next > m_sheet.totalRows();
}

ProductImport::Outcome ProductImport::importRow(const QStringList& cells, QHash<QString, int>& categories,
                                                ProductRow* created) {
    AppContext& ctx = m_ctx;
    if (cells.isEmpty())
        return Outcome::Error;
    const QString& name = cells[0]; // as typed, not trimmed
    ctx.db.clearLastError();
    if (ProductNameExists(ctx, name, -1))
        return Outcome::Duplicate;
    if (!ctx.db.lastError().isEmpty())
        return Outcome::DatabaseFailed;
    if (cells.size() < 2)
        return Outcome::Error;
    auto known = categories.constFind(cells[1]);
    if (known == categories.cend()) {
        const int id = FindCategoryByName(ctx, cells[1]);
        if (!ctx.db.lastError().isEmpty())
            return Outcome::DatabaseFailed;
        known = categories.insert(cells[1], id);
    }
    const int category = *known;
    if (category == 0)
        return Outcome::CategoryError;
    if (cells.size() < 8)
        return Outcome::Error;
    // The editor's rules: a name, and none that holds the sale screen's special-offer mark.
    if (name.trimmed().isEmpty() || name.contains(QStringLiteral("[特] ")))
        return Outcome::Error;
    double purchase = 0;
    double price = 0;
    double stock = 0;
    if (!ReadProductAmount(cells[2], &purchase) || !ReadProductAmount(cells[3], &price) ||
        !ReadProductAmount(cells[7], &stock))
        return Outcome::Error;
    const bool mustInt = cells[5] != QStringLiteral("否");
    const int property = cells[6] == QStringLiteral("特价")   ? int(PropertySpecialOffer)
                         : cells[6] == QStringLiteral("赠品") ? int(PropertyGift)
                                                              : int(PropertyRegular);
    if (mustInt)
        stock = std::trunc(stock); // as the editor stores a whole-number product's opening stock
    const QString& unit = cells[4];
    const QString code = MakeProductCode(ctx, -1);
    if (!ctx.db.lastError().isEmpty())
        return Outcome::DatabaseFailed;
    if (code.isEmpty())
        return Outcome::Error;
    const QString initials = GetFirstSpell(name);
    const auto id = ctx.db.insertReturningId(
        QStringLiteral(
            "INSERT INTO tb_product(PrdCode, PrdInventory, PrdName, FirstSpell, PurchasePrice, Price, "
            "MustIntNum, PrdType, MeasuringUnit, LastEditDate, State, PrdProperty) "
            "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {code, stock, name, initials, purchase, price, mustInt ? 1 : 0, category, unit,
         ctx.db.dateTimeValue(Clock::instance().now()), int(ProductOnSale), property});
    if (!id)
        return Outcome::DatabaseFailed;
    created->id = int(*id);
    created->code = code;
    created->name = name;
    created->initials = initials;
    created->price = price;
    created->unit = unit;
    created->property = property;
    created->categoryName = cells[1].trimmed(); // the name it was found by
    created->stock = stock;
    created->category = category;
    created->state = ProductOnSale;
    return Outcome::Imported;
}

bool ProductImport::runBatch(const QList<QStringList>& rows, bool rowSavepoints, ImportCounters& counters,
                             QList<ProductRow>& created) {
    return db::runTransaction(m_ctx.db, [&] {
        counters = {};
        created.clear();
        QHash<QString, int> categories; // category names looked up in this transaction
        for (const QStringList& cells : rows) {
            if (rowSavepoints && !m_ctx.db.begin())
                return false;
            ProductRow row;
            Outcome outcome = importRow(cells, categories, &row);
            if (rowSavepoints) {
                if (outcome == Outcome::DatabaseFailed) {
                    if (!m_ctx.db.rollback())
                        return false;
                    outcome = Outcome::Error;
                } else if (!m_ctx.db.commit()) {
                    return false;
                }
            } else if (outcome == Outcome::DatabaseFailed) {
                return false;
            }
            switch (outcome) {
            case Outcome::Imported:
                ++counters.imported;
                created << row;
                break;
            case Outcome::Duplicate:
                ++counters.duplicates;
                break;
            case Outcome::CategoryError:
                ++counters.categoryErrors;
                break;
            case Outcome::Error:
            case Outcome::DatabaseFailed:
                ++counters.errors;
                break;
            }
        }
        return true;
    });
}

QList<ProductRow> ProductImport::importBatch(int maxRows) {
    QList<ProductRow> created;
    if (atEnd())
        return created;
    QList<QStringList> rows;
    QStringList cells;
    for (int row = m_next; row <= m_sheet.totalRows() && rows.size() < std::max(1, maxRows); ++row) {
        m_sheet.ReadRow(row, cells);
        rows << cells;
    }
    ImportCounters counted;
    // Quick way first; when a statement fails, once more with each row on its own savepoint.
    if (!runBatch(rows, false, counted, created) && !runBatch(rows, true, counted, created)) {
        counted = {};
        counted.errors = int(rows.size()); // the batch could not be written at all
        created.clear();
    }
    m_counters.imported += counted.imported;
    m_counters.duplicates += counted.duplicates;
    m_counters.errors += counted.errors;
    m_counters.categoryErrors += counted.categoryErrors;
    m_next += int(rows.size());
    return created;
}

QList<ProductRow> ProductImport::importAll(int batchRows) {
    QList<ProductRow> created;
    while (!atEnd())
        created += importBatch(batchRows);
    return created;
}

} // namespace selvo
