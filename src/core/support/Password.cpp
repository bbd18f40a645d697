#include "core/support/Password.h"

#include <sodium.h>

namespace selvo {

namespace {
bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}
// Interactive limits: about a tenth of a second and 64 MiB on a shop PC.
constexpr unsigned long long kOpsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
constexpr size_t kMemLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;
} // namespace

QString HashPassword(const QString& password) {
    if (!sodiumReady())
        return {};
    const QByteArray utf8 = password.trimmed().toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()), kOpsLimit,
                              kMemLimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return {};
    return QString::fromLatin1(out);
}

bool IsPasswordHash(const QString& stored) {
    return stored.startsWith(QLatin1String("$argon2id$"));
}

PasswordCheck VerifyPassword(const QString& typed, const QString& stored) {
    PasswordCheck result;
    const QString input = typed.trimmed();
    if (!IsPasswordHash(stored)) {
        // A password written before hashing: plain text, compared exactly.
        result.matches = !stored.isNull() && input == stored;
        if (result.matches)
            result.rehash = HashPassword(input);
        return result;
    }
    if (!sodiumReady())
        return result;
    const QByteArray utf8 = input.toUtf8();
    const QByteArray hash = stored.toLatin1();
    result.matches = crypto_pwhash_str_verify(hash.constData(), utf8.constData(),
                                              static_cast<unsigned long long>(utf8.size())) == 0;
    if (result.matches && crypto_pwhash_str_needs_rehash(hash.constData(), kOpsLimit, kMemLimit) != 0)
        result.rehash = HashPassword(input);
    return result;
}

} // namespace selvo
