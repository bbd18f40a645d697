#pragma once

#include <QString>

namespace selvo {

// Argon2id hash of the trimmed password in libsodium's string form; empty on failure.
QString HashPassword(const QString& password);

// True when the stored value is one of our hashes (anything else is a legacy plain text).
bool IsPasswordHash(const QString& stored);

struct PasswordCheck {
    bool matches = false;
    // Set when the stored value should be replaced (legacy plain text, or weaker parameters).
    QString rehash;
};

// Compares a typed password with the stored value: the input is trimmed, then it must match
// exactly. A legacy plain-text value matches when equal, and a hash to store instead comes back.
PasswordCheck VerifyPassword(const QString& typed, const QString& stored);

} // namespace selvo
