#pragma once

#include <QString>
#include <QStringList>

namespace selvo {

struct AppContext;

// Outcome of a login, unlock or password change: on refusal the text to show and the field
// that gets the focus; on success the confirmation text (password change only).
struct AuthResult {
    enum class Field { None, Account, Password, OldPassword, NewPassword, Confirm };

    bool ok = false;
    QString message;
    Field focus = Field::None;
    // The password dialog empties the current-password edit after a wrong entry.
    bool clearField = false;
};

// set.ini in the data folder, section "LOGIN", key "CURUID": the last account that logged in.
// Reading gives "admin" when nothing is stored, trimmed and cut at 500 characters.
QString ReadLastAccount(const QString& dataFolder);
bool WriteLastAccount(const QString& dataFolder, const QString& account);

// The accounts offered by the login list, oldest operator first.
QStringList LoginAccounts(AppContext& ctx);

// "密码提示：" and the hint of the account (trimmed), or empty when there is none.
QString AccountHintLine(AppContext& ctx, const QString& account);
// The same for the logged-in operator, by ID (the lock screen).
QString OperatorHintLine(AppContext& ctx);

// Logs in: checks the fields, the password against the stored hash and the account state, then
// fills ctx.op, remembers the account in set.ini and writes the login line to the operation log.
AuthResult Login(AppContext& ctx, const QString& dataFolder, const QString& account, const QString& password);

// Checks the logged-in operator's password for the lock screen. The account state is not
// looked at: an operator locked out meanwhile can still unlock the running program.
AuthResult Unlock(AppContext& ctx, const QString& password);

// Changes the logged-in operator's password and hint, checking in order and stopping at the
// first refusal.
AuthResult ChangePassword(AppContext& ctx, const QString& oldPassword, const QString& newPassword,
                          const QString& confirmation, const QString& hint);

} // namespace selvo
