#include "core/support/SpreadSheet.h"

#include "core/support/Encoding.h"
#include "core/support/Xlsx.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace selvo {

const QString CSpreadSheet::kErrorOpeningFile = QStringLiteral("Error in opening file\n");
const QString CSpreadSheet::kErrorReadingRow = QStringLiteral("Error reading row\n");
const QString CSpreadSheet::kErrorRowOutOfRange =
    QStringLiteral("Desired row is greater than total number of rows in spreadsheet\n");
const QString CSpreadSheet::kErrorNoWorksheet = QStringLiteral("Worksheet not found in workbook\n");
const QString CSpreadSheet::kErrorRowBelowOne = QStringLiteral("Desired row is less than 1\n");

namespace {

// The widest range an .xls sheet can hold (A1:IV65536).
constexpr unsigned kMaxRows = 65536;
constexpr unsigned short kMaxColumns = 256;
// A reader that sends nothing for this long is taken to hang on a damaged file.
constexpr int kReaderIdleMs = 30000;

// FreeXL can crash or read out of bounds on a damaged workbook, and an operator may pick any
// file. So the workbook is read in a child process that sends the cells through a pipe: a
// damaged file costs the child, never the till.
//
// Messages: 'C' + 4-byte length + UTF-8 cell, 'R' end of row, 'F' + failure code, 'D' done.
enum Failure : char { OpenFailed = 'o', NoWorksheet = 'w', ReadFailed = 'r' };

class PipeWriter final {
public:
    explicit PipeWriter(int fd) : m_fd(fd) {}
    void put(char c) { m_buffer.push_back(c); }
    void putCell(const char* text, std::size_t size) {
        const auto n = static_cast<std::uint32_t>(size);
        put('C');
        m_buffer.append(reinterpret_cast<const char*>(&n), sizeof n);
        m_buffer.append(text, size);
        if (m_buffer.size() > 65536)
            flush();
    }
    void flush() {
        std::size_t done = 0;
        while (done < m_buffer.size()) {
            const ssize_t w = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                _exit(3);
            done += static_cast<std::size_t>(w);
        }
        m_buffer.clear();
    }

private:
    int m_fd;
    std::string m_buffer;
};

// Runs in the child: plain C and std only, no Qt.
void sendCell(PipeWriter& out, const FreeXL_CellValue& value) {
    char number[64];
    switch (value.type) {
    case FREEXL_CELL_INT: {
        const auto r = std::to_chars(number, number + sizeof number, value.value.int_value);
        out.putCell(number, static_cast<std::size_t>(r.ptr - number));
        return;
    }
    case FREEXL_CELL_DOUBLE: {
        const std::string text = ShortestDecimalText(value.value.double_value);
        out.putCell(text.data(), text.size());
        return;
    }
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        if (value.value.text_value) {
            out.putCell(value.value.text_value, std::strlen(value.value.text_value));
            return;
        }
        break;
    default:
        break;
    }
    out.putCell("", 0);
}

void readInChild(const QByteArray& path, const QByteArray& sheet, PipeWriter& out) {
    const void* h = nullptr;
    if (freexl_open(path.constData(), &h) != FREEXL_OK) {
        out.put('F');
        out.put(OpenFailed);
        return;
    }
    unsigned int sheets = 0;
    if (freexl_get_info(h, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
        out.put('F');
        out.put(OpenFailed);
        return;
    }
    // The exact name first; otherwise without regard to ASCII case, as spreadsheet programs
    // match sheet names.
    int found = -1;
    for (const bool exact : {true, false}) {
        for (unsigned int i = 0; i < sheets && i <= 0xFFFF && found < 0; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(h, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
                continue;
            if (exact ? std::strcmp(name, sheet.constData()) == 0 : strcasecmp(name, sheet.constData()) == 0)
                found = static_cast<int>(i);
        }
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (found < 0) {
        out.put('F');
        out.put(NoWorksheet);
        return;
    }
    if (freexl_select_active_worksheet(h, static_cast<unsigned short>(found)) != FREEXL_OK ||
        freexl_worksheet_dimensions(h, &rows, &columns) != FREEXL_OK) {
        out.put('F');
        out.put(OpenFailed);
        return;
    }
    rows = std::min(rows, kMaxRows);
    columns = std::min(columns, kMaxColumns);
    for (unsigned int r = 0; r < rows && columns > 0; ++r) {
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value;
            if (freexl_get_cell_value(h, r, c, &value) != FREEXL_OK) {
                out.put('F');
                out.put(ReadFailed);
                return;
            }
            sendCell(out, value);
        }
        out.put('R');
    }
    freexl_close(h);
    out.put('D');
}

struct WorkbookRead {
    QList<QStringList> rows;
    bool done = false;
    char failure = 0;
};

// Parses the child's messages as they come; a message cut off at the end is ignored.
class MessageReader final {
public:
    void feed(const char* data, std::size_t size) { m_pending.append(data, static_cast<qsizetype>(size)); }
    void parse(WorkbookRead& result) {
        qsizetype i = 0;
        while (i < m_pending.size() && !result.done && !result.failure) {
            const char tag = m_pending[i];
            if (tag == 'C') {
                std::uint32_t n = 0;
                if (m_pending.size() - i < 1 + qsizetype(sizeof n))
                    break;
                std::memcpy(&n, m_pending.constData() + i + 1, sizeof n);
                const qsizetype start = i + 1 + qsizetype(sizeof n);
                if (m_pending.size() - start < qsizetype(n))
                    break;
                m_row << QString::fromUtf8(m_pending.constData() + start, qsizetype(n));
                i = start + qsizetype(n);
            } else if (tag == 'R') {
                result.rows << m_row;
                m_row.clear();
                ++i;
            } else if (tag == 'D') {
                result.done = true;
                ++i;
            } else if (tag == 'F') {
                if (m_pending.size() - i < 2)
                    break;
                result.failure = m_pending[i + 1];
                i += 2;
            } else {
                result.failure = ReadFailed; // garbled stream
                break;
            }
        }
        m_pending.remove(0, i);
    }

private:
    QByteArray m_pending;
    QStringList m_row;
};

WorkbookRead readWorkbook(const QString& path, const QString& sheet) {
    WorkbookRead result;
    const QByteArray encodedPath = QFile::encodeName(path);
    const QByteArray sheetName = sheet.toUtf8();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        result.failure = OpenFailed;
        return result;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        result.failure = OpenFailed;
        return result;
    }
    if (child == 0) {
        ::close(fds[0]);
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore); // a crash on a damaged file leaves no core file
        // nor goes through the program's own crash handlers, which would report the till as crashed.
        for (const int sig : {SIGSEGV, SIGBUS, SIGABRT, SIGFPE, SIGILL})
            ::signal(sig, SIG_DFL);
        PipeWriter out(fds[1]);
        readInChild(encodedPath, sheetName, out);
        out.flush();
        _exit(0);
    }
    ::close(fds[1]);
    MessageReader reader;
    char buffer[65536];
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, kReaderIdleMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ::kill(child, SIGKILL);
            break;
        }
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        reader.feed(buffer, static_cast<std::size_t>(n));
        reader.parse(result);
    }
    ::close(fds[0]);
    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    if (!result.done && !result.failure)
        result.failure = result.rows.isEmpty() ? OpenFailed : ReadFailed; // the reader died
    return result;
}

bool isBlank(const QStringList& row) {
    for (const QString& cell : row) {
        if (!cell.isEmpty())
            return false;
    }
    return true;
}

QString decodeTextFile(QByteArray bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    if (auto gb = DecodeText(bytes, "GB18030"))
        return *gb;
    return QString::fromUtf8(bytes); // neither: keep what can be read, with replacement characters
}

} // namespace

bool CSpreadSheet::IsWorkbookPath(const QString& path) {
    return path.right(4).toLower() == QLatin1String(".xls") ||
           path.right(5).toLower() == QLatin1String(".xlsx");
}

CSpreadSheet::CSpreadSheet(const QString& path, const QString& sheetOrSeparator)
    : m_path(path), m_workbook(IsWorkbookPath(path)) {
    if (m_workbook) {
        loadWorkbook(sheetOrSeparator);
    } else {
        m_separator = sheetOrSeparator;
        loadTextFile();
    }
    if (!m_rows.isEmpty())
        m_columnNames = m_rows.first();
    m_currentRow = 1;
}

void CSpreadSheet::loadWorkbook(const QString& sheet) {
    // The contents decide the format, not the name: an .xlsx saved as .xls still reads.
    QFile file(m_path);
    const QByteArray magic = file.open(QIODevice::ReadOnly) ? file.read(4) : QByteArray();
    file.close();
    WorkbookRead read;
    if (magic == QByteArrayLiteral("PK\x03\x04")) {
        XlsxSheet xlsx = ReadXlsxSheet(m_path, sheet);
        read.rows = std::move(xlsx.rows);
        read.failure = xlsx.failure == XlsxSheet::OpenFailed    ? char(OpenFailed)
                       : xlsx.failure == XlsxSheet::NoWorksheet ? char(NoWorksheet)
                       : xlsx.failure == XlsxSheet::ReadFailed  ? char(ReadFailed)
                                                                : char(0);
    } else {
        read = readWorkbook(m_path, sheet);
    }
    m_rows = std::move(read.rows);
    switch (read.failure) {
    case OpenFailed:
        m_lastError = kErrorOpeningFile;
        break;
    case NoWorksheet:
        m_lastError = kErrorNoWorksheet;
        break;
    case ReadFailed:
        m_lastError = kErrorReadingRow; // the rows read so far stay
        break;
    default:
        break;
    }
    // Formatted but empty rows at the end are no data; empty rows between data stay in place.
    while (m_rows.size() > 1 && isBlank(m_rows.last()))
        m_rows.removeLast();
    m_totalColumns = m_rows.isEmpty() ? 0 : static_cast<int>(m_rows.first().size());
}

void CSpreadSheet::loadTextFile() {
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_lastError = kErrorOpeningFile;
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_lastError = kErrorOpeningFile;
        return;
    }
    QStringList lines = decodeTextFile(bytes).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line break that ends the last line
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QStringList cells = splitLine(line);
        m_totalColumns = std::max(m_totalColumns, static_cast<int>(cells.size()));
        m_rows << cells;
    }
}

QStringList CSpreadSheet::splitLine(const QString& line) const {
    if (!m_separator.isEmpty()) {
        const QString quoted = u'"' + m_separator + u'"';
        if (line.contains(quoted)) {
            QStringList cells = line.split(quoted);
            if (cells.first().startsWith(u'"'))
                cells.first().remove(0, 1);
            if (cells.last().endsWith(u'"'))
                cells.last().chop(1);
            return cells;
        }
        if (line.contains(m_separator))
            return line.split(m_separator);
    }
    if (line.size() >= 2 && line.startsWith(u'"') && line.endsWith(u'"'))
        return {line.mid(1, line.size() - 2)};
    return {line};
}

bool CSpreadSheet::ReadRow(int row, QStringList& texts) {
    if (row > totalRows()) {
        m_lastError = kErrorRowOutOfRange;
        return false;
    }
    if (row < 0) {
        m_lastError = kErrorRowBelowOne;
        return false;
    }
    if (row == 0 && m_currentRow > totalRows())
        return false;
    if (row != 0)
        m_currentRow = row;
    texts = m_rows.at(m_currentRow - 1);
    ++m_currentRow;
    return true;
}

} // namespace selvo
