#pragma once
// The Web page of a workbook: one UTF-8 HTML file holding the active sheet as
// a table (merged cells as spans, column widths, fonts, fills, borders,
// alignment, hyperlinks) with its pictures in a folder beside it
// ("name_files"), positioned over the table where their anchors put them.
#include <QString>

namespace excel {

class Workbook;
class Worksheet;

// Writes htmlPath (atomically) and the picture folder. Throws Error(WriteFailed).
void writeWebPage(Workbook& book, const QString& htmlPath);
// The page's text for one sheet; picture files are named relative to the
// page under filesFolderName.
QString sheetToHtml(Worksheet& sheet, const QString& filesFolderName);
// An href for a link target: http(s), mailto and file links are kept,
// Windows paths become file URLs, anything else (javascript: ...) is "".
QString safeHref(const QString& target);

}  // namespace excel
