#include "core/support/Encoding.h"

#include <QList>

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace selvo {

namespace {

class IconvHandle final {
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (ok())
            iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// glibc's own wide form: converting from it is a single step, so a character the target
// cannot hold costs one restart instead of a re-run of the whole chunk.
constexpr const char* kWide = "WCHAR_T";
static_assert(sizeof(wchar_t) == 4);

} // namespace

QByteArray EncodeText(const QString& text, const char* charset) {
    // One code point per unit; a lone surrogate comes out as U+FFFD.
    QList<uint> in = text.toUcs4();
    QByteArray out;
    IconvHandle cd(charset, kWide);
    if (!cd.ok() || in.isEmpty())
        return out;
    out.resize(in.size() * 4 + 16);
    char* src = reinterpret_cast<char*>(in.data());
    size_t srcLeft = static_cast<size_t>(in.size()) * sizeof(uint);
    size_t written = 0;
    while (srcLeft > 0) {
        char* dst = out.data() + written;
        size_t dstLeft = static_cast<size_t>(out.size()) - written;
        const size_t r = iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft);
        written = static_cast<size_t>(dst - out.data());
        if (r != static_cast<size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
        } else {
            // Not representable (EILSEQ) or cut short (EINVAL): one "?" for the character.
            const size_t skip = std::min<size_t>(srcLeft, sizeof(uint));
            src += skip;
            srcLeft -= skip;
            if (written + 1 > static_cast<size_t>(out.size()))
                out.resize(out.size() * 2);
            out[static_cast<qsizetype>(written++)] = '?';
        }
    }
    out.resize(static_cast<qsizetype>(written));
    return out;
}

std::optional<QString> DecodeText(const QByteArray& bytes, const char* charset) {
    if (bytes.isEmpty())
        return QString();
    IconvHandle cd("UTF-8", charset);
    if (!cd.ok())
        return std::nullopt;
    QByteArray in = bytes;
    QByteArray out(bytes.size() * 4 + 16, Qt::Uninitialized);
    char* src = in.data();
    size_t srcLeft = static_cast<size_t>(in.size());
    char* dst = out.data();
    size_t dstLeft = static_cast<size_t>(out.size());
    if (iconv(cd.get(), &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1))
        return std::nullopt;
    out.resize(static_cast<qsizetype>(dst - out.data()));
    return QString::fromUtf8(out);
}

} // namespace selvo
