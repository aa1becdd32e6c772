#pragma once
#include <QString>

namespace text {

// Removes leading and trailing blanks and control characters (every code
// point up to U+0020), the way a record's text is cleaned before it is stored.
QString trimBlanksAndControls(const QString& s);

}  // namespace text
