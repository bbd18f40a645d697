#pragma once

#include <QString>

namespace selvo {

// The login-start entry: an XDG autostart file, ~/.config/autostart/selvo.desktop, whose Exec
// line is this executable's full path followed by " -hide". `configDir` replaces ~/.config
// (tests); empty means the user's configuration folder.
QString AutostartFile(const QString& configDir = {});
// The Exec line written for an executable.
QString AutostartCommand(const QString& executable);

// Set when the entry exists and starts exactly this executable: an entry written by a copy of the
// program in another folder counts as not set.
bool IsAutostartSet(const QString& executable, const QString& configDir = {});
// Writes the entry for this executable (replacing another copy's) or removes it.
bool SetAutostart(const QString& executable, bool on, const QString& configDir = {});

} // namespace selvo
