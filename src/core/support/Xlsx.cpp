#include "core/support/Xlsx.h"

#include <QDate>
#include <QHash>
#include <QStringView>
#include <QXmlStreamReader>

#include <quazip.h>
#include <quazipfile.h>

#include <charconv>
#include <cmath>
#include <memory>
#include <optional>

namespace selvo {

namespace {

// What the format allows (A1:XFD1048576), and what one import may hold in memory: a small
// compressed file can unpack into billions of empty cells.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr qint64 kMaxCells = 4000000;
constexpr qint64 kMaxSharedChars = 64 * 1024 * 1024;

enum class CellFormat { Number, Date, DateTime, Time };

// A part unpacked whole: its bytes are checked (CRC) before anything is parsed, so a damaged
// part is found as such instead of ending the XML early. Parts bigger than any shop's sheet are
// taken as damaged too.
constexpr qint64 kMaxPartBytes = 256 * 1024 * 1024;
enum class Part { Missing, Damaged, Read };

Part readPart(QuaZip& zip, const QString& name, QByteArray* bytes) {
    bytes->clear();
    if (!zip.setCurrentFile(name) && !zip.setCurrentFile(name, QuaZip::csInsensitive))
        return Part::Missing;
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly))
        return Part::Damaged;
    char buffer[65536];
    for (;;) {
        const qint64 n = file.read(buffer, sizeof buffer);
        if (n < 0 || bytes->size() + n > kMaxPartBytes) {
            file.close();
            return Part::Damaged;
        }
        if (n == 0)
            break;
        bytes->append(buffer, n);
    }
    file.close();
    return file.getZipError() == UNZ_OK ? Part::Read : Part::Damaged;
}

QString attribute(const QXmlStreamReader& xml, QLatin1String name) {
    return xml.attributes().value(name).toString();
}

// The relationship id of a <sheet>: r:id, whatever prefix the writer bound its namespace to.
QString relationshipId(const QXmlStreamReader& xml) {
    for (const QXmlStreamAttribute& a : xml.attributes()) {
        if (a.name() == QLatin1String("id") && !a.namespaceUri().isEmpty())
            return a.value().toString();
    }
    return {};
}

// A target of a relationship, as a path inside the package.
QString resolveTarget(const QString& base, const QString& target) {
    QStringList parts = target.startsWith(u'/') ? QStringList() : base.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : target.split(u'/', Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".."))
            parts.isEmpty() ? void() : parts.removeLast();
        else if (part != QLatin1String("."))
            parts << part;
    }
    return parts.join(u'/');
}

// The relationships of a .rels entry describing parts in `base`: by id, and by the last word of
// their type ("officeDocument", "sharedStrings", "styles").
struct Relationships {
    QHash<QString, QString> byId;
    QHash<QString, QString> byType;
};

Relationships readRelationships(QuaZip& zip, const QString& relsName, const QString& base) {
    Relationships rels;
    QByteArray bytes;
    if (readPart(zip, relsName, &bytes) != Part::Read)
        return rels;
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("Relationship"))
            continue;
        const QString target = resolveTarget(base, attribute(xml, QLatin1String("Target")));
        const QString type = attribute(xml, QLatin1String("Type"));
        rels.byId.insert(attribute(xml, QLatin1String("Id")), target);
        rels.byType.insert(type.mid(type.lastIndexOf(u'/') + 1), target);
    }
    return rels;
}

// Excel escapes characters XML cannot carry as _xHHHH_ (and a literal "_x" as _x005F_x).
QString unescapeText(QString text) {
    if (!text.contains(QLatin1String("_x")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'_' && i + 6 < text.size() && text[i + 1] == u'x' && text[i + 6] == u'_') {
            bool ok = false;
            const ushort code = QStringView(text).mid(i + 2, 4).toUShort(&ok, 16);
            if (ok) {
                out += QChar(code);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The text of a rich or plain string item (<si> or <is>): its <t> runs, phonetic runs left out.
// The reader stands on the item's start element and ends on its end element.
QString readStringItem(QXmlStreamReader& xml) {
    QString text;
    const QString end = xml.name().toString();
    int phonetic = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t") && phonetic == 0)
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
        } else if (xml.isEndElement()) {
            if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == end)
                break;
        }
    }
    return unescapeText(text);
}

bool readSharedStrings(QuaZip& zip, const QString& name, QStringList* strings) {
    QByteArray bytes;
    const Part part = readPart(zip, name, &bytes);
    if (part == Part::Missing)
        return true; // a workbook without text cells has none
    if (part == Part::Damaged)
        return false;
    QXmlStreamReader xml(bytes);
    qint64 chars = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            strings->append(readStringItem(xml));
            chars += strings->last().size();
            if (chars > kMaxSharedChars)
                return false;
        }
    }
    return !xml.hasError();
}

// Date and time formats: the built-in ones (with those of Chinese Excel) and any custom code that
// shows a year, day, hour or second outside quotes and brackets.
CellFormat classify(int id, const QString& code) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || id == 36 || (id >= 50 && id <= 54) || id == 57 ||
        id == 58)
        return CellFormat::Date;
    if ((id >= 18 && id <= 21) || (id >= 32 && id <= 35) || (id >= 45 && id <= 47) || id == 55 || id == 56)
        return CellFormat::Time;
    if (id == 22)
        return CellFormat::DateTime;
    if (code.isEmpty())
        return CellFormat::Number;
    bool date = false;
    bool time = false;
    bool quoted = false;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code[i].toLower();
        if (c == u'"') {
            quoted = !quoted;
        } else if (quoted) {
            continue;
        } else if (c == u'\\' || c == u'_' || c == u'*') {
            ++i; // the next character is shown as it is
        } else if (c == u'[') {
            // [h], [mm], [ss]: elapsed time; [Red], [$-804]: not a date part
            const qsizetype close = code.indexOf(u']', i);
            const QString inner = code.mid(i + 1, close < 0 ? -1 : close - i - 1).toLower();
            if (!inner.isEmpty() && (inner[0] == u'h' || inner[0] == u'm' || inner[0] == u's'))
                time = true;
            i = close < 0 ? code.size() : close;
        } else if (c == u'y' || c == u'd') {
            date = true;
        } else if (c == u'h' || c == u's') {
            time = true;
        }
    }
    if (date && time)
        return CellFormat::DateTime;
    if (date)
        return CellFormat::Date;
    if (time)
        return CellFormat::Time;
    return CellFormat::Number;
}

struct Styles {
    QList<CellFormat> formats; // by cell style index (the s attribute)
    bool date1904 = false;
};

Styles readStyles(QuaZip& zip, const QString& name) {
    Styles styles;
    QByteArray bytes;
    if (readPart(zip, name, &bytes) != Part::Read)
        return styles;
    QXmlStreamReader xml(bytes);
    QHash<int, QString> codes;
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("numFmt")) {
                codes.insert(attribute(xml, QLatin1String("numFmtId")).toInt(),
                             attribute(xml, QLatin1String("formatCode")));
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                const int id = attribute(xml, QLatin1String("numFmtId")).toInt();
                styles.formats << classify(id, codes.value(id));
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    return styles;
}

QString dateText(double serial, CellFormat format, bool date1904) {
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465.0) // beyond 9999-12-31
        return QString::fromStdString(ShortestDecimalText(serial));
    double days = std::floor(serial);
    qint64 seconds = std::llround((serial - days) * 86400.0);
    if (seconds >= 86400) {
        days += 1;
        seconds -= 86400;
    }
    // The 1900 system counts a 29 February 1900 that never was.
    QDate base = date1904 ? QDate(1904, 1, 1) : (days < 61 ? QDate(1899, 12, 31) : QDate(1899, 12, 30));
    const QDate date = base.addDays(qint64(days));
    const QString time =
        QString::asprintf("%02d:%02d:%02d", int(seconds / 3600), int(seconds / 60 % 60), int(seconds % 60));
    switch (format) {
    case CellFormat::Date:
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    case CellFormat::DateTime:
        return date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' + time;
    case CellFormat::Time:
        return time;
    case CellFormat::Number:
        break;
    }
    return QString::fromStdString(ShortestDecimalText(serial));
}

// "AB12" → column 27 (0-based); -1 when the reference holds no letters.
int columnOf(QStringView ref) {
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && ref[i].isLetter(); ++i) {
        const char16_t c = ref[i].toUpper().unicode();
        if (c < u'A' || c > u'Z')
            return -1;
        column = column * 26 + (c - u'A' + 1);
        if (column > kMaxColumns)
            return -1;
    }
    return i == 0 ? -1 : column - 1;
}

struct SheetParser {
    const QStringList& shared;
    const Styles& styles;
    QList<QStringList> rows;
    int width = 0;
    qint64 cells = 0;

    QString cellText(const QString& type, int style, const QString& value, const QString& inlineText) const {
        if (type == QLatin1String("s")) {
            bool ok = false;
            const int index = value.trimmed().toInt(&ok);
            return ok && index >= 0 && index < shared.size() ? shared[index] : QString();
        }
        if (type == QLatin1String("inlineStr"))
            return inlineText;
        if (type == QLatin1String("str") || type == QLatin1String("e") || type == QLatin1String("d"))
            return type == QLatin1String("e") ? QString() : unescapeText(value);
        const QString t = value.trimmed();
        if (t.isEmpty())
            return {};
        double number = 0;
        const QByteArray bytes = t.toLatin1();
        const auto r = std::from_chars(bytes.constData(), bytes.constData() + bytes.size(), number);
        if (r.ec != std::errc() || r.ptr != bytes.constData() + bytes.size())
            return t;
        if (type == QLatin1String("b"))
            return number != 0 ? QStringLiteral("1") : QStringLiteral("0");
        const CellFormat format =
            style >= 0 && style < styles.formats.size() ? styles.formats[style] : CellFormat::Number;
        if (format != CellFormat::Number)
            return dateText(number, format, styles.date1904);
        return QString::fromStdString(ShortestDecimalText(number));
    }

    // False when the sheet goes beyond what one import may hold.
    bool put(int row, int column, QString text) {
        if (row >= kMaxRows || column >= kMaxColumns || ++cells > kMaxCells)
            return false;
        width = std::max(width, column + 1);
        if (text.isEmpty() && row >= rows.size())
            return true; // a formatted empty cell widens the sheet but adds no row
        while (rows.size() <= row)
            rows.append(QStringList());
        QStringList& r = rows[row];
        while (r.size() <= column)
            r.append(QString());
        r[column] = std::move(text);
        return true;
    }

    // The reader stands on <c>; returns false when the sheet must stop being read.
    bool readCell(QXmlStreamReader& xml, int row, int* nextColumn) {
        const QString ref = attribute(xml, QLatin1String("r"));
        int column = ref.isEmpty() ? *nextColumn : columnOf(ref);
        if (column < 0)
            return false;
        const QString type = attribute(xml, QLatin1String("t"));
        const QString styleText = attribute(xml, QLatin1String("s"));
        const int style = styleText.isEmpty() ? 0 : styleText.toInt();
        QString value;
        QString inlineText;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isStartElement()) {
                if (xml.name() == QLatin1String("v"))
                    value = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                else if (xml.name() == QLatin1String("is"))
                    inlineText = readStringItem(xml);
                else
                    xml.skipCurrentElement(); // formulas (<f>) and extensions
            } else if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
                break;
            }
        }
        *nextColumn = column + 1;
        return put(row, column, cellText(type, style, value, inlineText));
    }

    bool read(const QByteArray& bytes) {
        QXmlStreamReader xml(bytes);
        int nextRow = 0;
        int nextColumn = 0;
        int row = -1;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("row")) {
                bool ok = false;
                const int r = attribute(xml, QLatin1String("r")).toInt(&ok);
                row = ok && r >= 1 ? r - 1 : nextRow;
                if (row < nextRow - 1 || row >= kMaxRows)
                    return false; // rows out of order: a damaged sheet
                nextRow = row + 1;
                nextColumn = 0;
            } else if (xml.name() == QLatin1String("c")) {
                if (row < 0 || !readCell(xml, row, &nextColumn))
                    return false;
            }
        }
        return !xml.hasError();
    }
};

} // namespace

std::string ShortestDecimalText(double value) {
    std::string text(400, '\0');
    const auto r = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    text.resize(r.ec == std::errc() ? static_cast<std::size_t>(r.ptr - text.data()) : 0);
    return text;
}

XlsxSheet ReadXlsxSheet(const QString& path, const QString& sheet) {
    XlsxSheet result;
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip)) {
        result.failure = XlsxSheet::OpenFailed;
        return result;
    }
    QString workbookPath = readRelationships(zip, QStringLiteral("_rels/.rels"), QString())
                               .byType.value(QStringLiteral("officeDocument"));
    if (workbookPath.isEmpty())
        workbookPath = QStringLiteral("xl/workbook.xml");
    const qsizetype slash = workbookPath.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QString() : workbookPath.left(slash);
    const QString relsName = (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/") +
                             workbookPath.mid(slash + 1) + QStringLiteral(".rels");

    // The workbook: its sheets (name → relationship id) and its date system.
    QList<std::pair<QString, QString>> sheets;
    bool date1904 = false;
    {
        QByteArray bytes;
        if (readPart(zip, workbookPath, &bytes) != Part::Read) {
            result.failure = XlsxSheet::OpenFailed;
            return result;
        }
        QXmlStreamReader xml(bytes);
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("sheet")) {
                sheets.append({attribute(xml, QLatin1String("name")), relationshipId(xml)});
            } else if (xml.name() == QLatin1String("workbookPr")) {
                const QString v = attribute(xml, QLatin1String("date1904"));
                date1904 = v == QLatin1String("1") || v == QLatin1String("true");
            }
        }
        if (xml.hasError()) {
            result.failure = XlsxSheet::OpenFailed;
            return result;
        }
    }
    QString relId;
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (const auto& [name, id] : sheets) {
            if (relId.isEmpty() && name.compare(sheet, cs) == 0)
                relId = id;
        }
    }
    if (relId.isEmpty()) {
        result.failure = XlsxSheet::NoWorksheet;
        return result;
    }
    // The package names its parts by relationship type; the usual names are the fallback.
    const Relationships parts = readRelationships(zip, relsName, folder);
    const QString prefix = folder.isEmpty() ? QString() : folder + u'/';
    const QString sharedName =
        parts.byType.value(QStringLiteral("sharedStrings"), prefix + QStringLiteral("sharedStrings.xml"));
    const QString stylesName =
        parts.byType.value(QStringLiteral("styles"), prefix + QStringLiteral("styles.xml"));
    const QString sheetName = parts.byId.value(relId);
    if (sheetName.isEmpty()) {
        result.failure = XlsxSheet::OpenFailed;
        return result;
    }
    QStringList shared;
    if (!readSharedStrings(zip, sharedName, &shared)) {
        result.failure = XlsxSheet::ReadFailed;
        return result;
    }
    Styles styles = readStyles(zip, stylesName);
    styles.date1904 = date1904;

    QByteArray bytes;
    const Part part = readPart(zip, sheetName, &bytes);
    if (part != Part::Read) {
        result.failure = part == Part::Missing ? XlsxSheet::OpenFailed : XlsxSheet::ReadFailed;
        return result;
    }
    SheetParser parser{shared, styles, {}, 0, 0};
    const bool clean = parser.read(bytes);
    result.rows = std::move(parser.rows);
    for (QStringList& row : result.rows) {
        while (row.size() < parser.width)
            row.append(QString());
    }
    if (!clean)
        result.failure = XlsxSheet::ReadFailed;
    return result;
}

} // namespace selvo
