#pragma once

#include <QString>

namespace selvo {

// The folder of the read-only product import template (Template, holding prd.xls) for a program
// in `executableFolder`: beside the executable in a build tree, else where the package installs
// it, <prefix>/share/selvo/Template for <prefix>/bin. Empty when neither exists.
QString TemplateFolder(const QString& executableFolder);

} // namespace selvo
