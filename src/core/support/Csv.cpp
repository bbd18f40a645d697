#include "core/support/Csv.h"

#include "core/support/Encoding.h"

namespace selvo {

namespace {

QString field(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QByteArray EncodeCsv(const QStringList& titles, const QList<QStringList>& rows) {
    QString text;
    QString titleLine;
    for (const QString& title : titles)
        titleLine += field(title) + u',';
    while (titleLine.endsWith(u','))
        titleLine.chop(1);
    text += titleLine + QStringLiteral("\r\n");

    for (const QStringList& row : rows) {
        const qsizetype columns = std::max(row.size(), titles.size());
        for (qsizetype c = 0; c < columns; ++c) {
            if (c > 0)
                text += u',';
            if (c < row.size())
                text += field(row[c]);
        }
        text += QStringLiteral("\r\n");
    }
    return EncodeText(text, "GB18030");
}

} // namespace selvo
