#pragma once

#include <QString>

namespace platform {

// Copies source over target through a temporary file beside target, so an
// earlier target survives a failed copy: afterwards target is either the old
// file or the whole copy. Returns false when it fails.
bool copyFileReplacing(const QString& source, const QString& target);

}  // namespace platform
