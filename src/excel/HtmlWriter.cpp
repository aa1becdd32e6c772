#include "excel/HtmlWriter.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>
#include <cmath>
#include <map>

#include "excel/Error.h"
#include "excel/Workbook.h"

namespace excel {

namespace {

// Column widths are in characters of the default font; at 11 points a
// character is about 7 pixels plus 5 pixels of padding.
int columnPixels(double chars) {
    return chars <= 0 ? 0 : int(std::lround(chars * 7 + 5));
}
int rowPixels(double points) {
    return int(std::lround(points * 96.0 / 72.0));
}
int emuPixels(qint64 emu) {
    return int(std::lround(double(emu) / 9525.0));
}

QString css(const QColor& c) {
    return c.name(QColor::HexRgb);
}

QString borderCss(const BorderLine& line) {
    switch (line.style) {
        case BorderStyle::None:
            return {};
        case BorderStyle::Medium:
        case BorderStyle::MediumDashDot:
        case BorderStyle::MediumDashDotDot:
            return QStringLiteral("2px solid ");
        case BorderStyle::MediumDashed:
            return QStringLiteral("2px dashed ");
        case BorderStyle::Thick:
            return QStringLiteral("3px solid ");
        case BorderStyle::Double:
            return QStringLiteral("3px double ");
        case BorderStyle::Dashed:
        case BorderStyle::DashDot:
        case BorderStyle::DashDotDot:
        case BorderStyle::SlantDashDot:
            return QStringLiteral("1px dashed ");
        case BorderStyle::Dotted:
        case BorderStyle::Hair:
            return QStringLiteral("1px dotted ");
        default:
            return QStringLiteral("1px solid ");
    }
}

QString cellCss(const CellStyle& s, CellType type) {
    QStringList p;
    p << QStringLiteral("font-family:'%1'")
             .arg(QString(s.font.family).remove(QLatin1Char('\'')).toHtmlEscaped());
    p << QStringLiteral("font-size:%1pt").arg(s.font.size);
    if (s.font.bold) p << QStringLiteral("font-weight:bold");
    if (s.font.italic) p << QStringLiteral("font-style:italic");
    if (s.font.underline || s.font.strike)
        p << QStringLiteral("text-decoration:%1%2")
                 .arg(s.font.underline ? QStringLiteral("underline ") : QString(),
                      s.font.strike ? QStringLiteral("line-through") : QString());
    if (s.font.color.isValid()) p << QStringLiteral("color:") + css(s.font.color);
    if (s.fill.isValid()) p << QStringLiteral("background:") + css(s.fill);
    const std::pair<const char*, const BorderLine*> sides[] = {{"left", &s.borders.left},
                                                               {"right", &s.borders.right},
                                                               {"top", &s.borders.top},
                                                               {"bottom", &s.borders.bottom}};
    for (const auto& [side, line] : sides) {
        const QString b = borderCss(*line);
        if (!b.isEmpty())
            p << QStringLiteral("border-%1:%2%3")
                     .arg(QLatin1String(side), b,
                          line->color.isValid() ? css(line->color) : QStringLiteral("#000"));
    }
    QString align;
    switch (s.hAlign) {
        case HAlign::Left:
            align = QStringLiteral("left");
            break;
        case HAlign::Center:
        case HAlign::CenterContinuous:
            align = QStringLiteral("center");
            break;
        case HAlign::Right:
            align = QStringLiteral("right");
            break;
        case HAlign::Justify:
        case HAlign::Distributed:
            align = QStringLiteral("justify");
            break;
        default:
            align = type == CellType::Number ? QStringLiteral("right")
                    : type == CellType::Boolean || type == CellType::Error
                        ? QStringLiteral("center")
                        : QString();
    }
    if (!align.isEmpty()) p << QStringLiteral("text-align:") + align;
    switch (s.vAlign) {
        case VAlign::Top:
            p << QStringLiteral("vertical-align:top");
            break;
        case VAlign::Center:
            p << QStringLiteral("vertical-align:middle");
            break;
        default:
            p << QStringLiteral("vertical-align:bottom");
    }
    p << (s.wrap ? QStringLiteral("white-space:pre-wrap") : QStringLiteral("white-space:pre"));
    return p.join(QLatin1Char(';'));
}

}  // namespace

QString safeHref(const QString& target) {
    const QString t = target.trimmed();
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:[\\\\/]"));
    if (drive.match(t).hasMatch())
        return QUrl::fromLocalFile(QLatin1Char('/') +
                                   QString(t).replace(QLatin1Char('\\'), QLatin1Char('/')))
            .toString(QUrl::FullyEncoded);
    if (t.startsWith(QLatin1String("\\\\"))) {
        QString unc = t.mid(2);
        unc.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return QStringLiteral("file://") + QString::fromUtf8(QUrl::toPercentEncoding(unc, "/"));
    }
    const QUrl url(t);
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto") || scheme == QLatin1String("file") ||
        scheme == QLatin1String("ftp"))
        return url.toString(QUrl::FullyEncoded);
    if (scheme.isEmpty() && !t.isEmpty() && !t.contains(QLatin1Char(':')))
        return QString::fromUtf8(QUrl::toPercentEncoding(t, "/#?=&.-_~"));
    return {};
}

QString sheetToHtml(Worksheet& sheet, const QString& filesFolder) {
    RangeRef used = sheet.usedRange();
    int lastRow = used.last.row, lastCol = used.last.col;
    for (const RangeRef& m : sheet.merges()) {
        lastRow = std::max(lastRow, m.last.row);
        lastCol = std::max(lastCol, m.last.col);
    }
    const std::vector<Picture> pictures = sheet.pictures();
    for (const Picture& p : pictures)
        if (p.anchor.kind != Anchor::Kind::Absolute) {
            lastRow =
                std::max(lastRow, p.anchor.kind == Anchor::Kind::TwoCell ? p.anchor.to.cell.row
                                                                         : p.anchor.from.cell.row);
            lastCol =
                std::max(lastCol, p.anchor.kind == Anchor::Kind::TwoCell ? p.anchor.to.cell.col
                                                                         : p.anchor.from.cell.col);
        }
    lastCol = std::min(lastCol, 16384);
    std::map<std::pair<int, int>, Hyperlink> links;
    for (const Hyperlink& h : sheet.hyperlinks()) links[{h.range.first.row, h.range.first.col}] = h;

    // Pixel edges of columns and rows, for placing the pictures.
    std::vector<int> colLeft(size_t(lastCol) + 2, 0), rowTop(size_t(lastRow) + 2, 0);
    for (int c = 1; c <= lastCol; ++c)
        colLeft[size_t(c) + 1] = colLeft[size_t(c)] + columnPixels(sheet.columnWidth(c));
    for (int r = 1; r <= lastRow; ++r)
        rowTop[size_t(r) + 1] = rowTop[size_t(r)] + rowPixels(sheet.rowHeight(r));

    QString h;
    h.reserve(64 * 1024);
    h += QStringLiteral(
             "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta "
             "charset=\"utf-8\">\n<title>%1</title>\n")
             .arg(sheet.name().toHtmlEscaped());
    h += QStringLiteral(
        "<style>table{border-collapse:collapse;table-layout:fixed}td{padding:0 2px;overflow:hidden}"
        ".sheet{position:relative}.sheet img{position:absolute}</style>\n</head>\n<body>\n");
    h += QStringLiteral("<div class=\"sheet\">\n<table>\n");
    for (int c = 1; c <= lastCol; ++c)
        h += QStringLiteral("<col style=\"width:%1px\">").arg(columnPixels(sheet.columnWidth(c)));
    h += QLatin1Char('\n');
    for (int r = 1; r <= lastRow; ++r) {
        h += QStringLiteral("<tr style=\"height:%1px\">").arg(rowPixels(sheet.rowHeight(r)));
        for (int c = 1; c <= lastCol; ++c) {
            int rowSpan = 1, colSpan = 1;
            if (const auto m = sheet.mergeAt(r, c)) {
                if (m->first.row != r || m->first.col != c)
                    continue;  // covered by the merge's first cell
                rowSpan = m->last.row - m->first.row + 1;
                colSpan = std::min(m->last.col, lastCol) - m->first.col + 1;
            }
            const CellValue v = sheet.value(r, c);
            h += QStringLiteral("<td");
            if (rowSpan > 1) h += QStringLiteral(" rowspan=\"%1\"").arg(rowSpan);
            if (colSpan > 1) h += QStringLiteral(" colspan=\"%1\"").arg(colSpan);
            h += QStringLiteral(" style=\"%1\">")
                     .arg(cellCss(sheet.style(r, c), v.type).toHtmlEscaped());
            QString text = sheet.displayText(r, c).toHtmlEscaped();
            if (auto link = links.find({r, c}); link != links.end()) {
                const QString href =
                    link->second.target.isEmpty() ? QString() : safeHref(link->second.target);
                if (!href.isEmpty())
                    text = QStringLiteral("<a href=\"%1\">%2</a>").arg(href.toHtmlEscaped(), text);
            }
            h += text + QStringLiteral("</td>");
        }
        h += QStringLiteral("</tr>\n");
    }
    h += QStringLiteral("</table>\n");
    int n = 0;
    for (const Picture& p : pictures) {
        if (!p.isPicture || p.imagePart.isEmpty()) continue;
        ++n;
        int x, y, w, ht;
        const Anchor& a = p.anchor;
        if (a.kind == Anchor::Kind::Absolute) {
            x = emuPixels(a.x);
            y = emuPixels(a.y);
        } else {
            x = colLeft[size_t(std::clamp(a.from.cell.col, 1, lastCol))] +
                emuPixels(a.from.colOffset);
            y = rowTop[size_t(std::clamp(a.from.cell.row, 1, lastRow))] +
                emuPixels(a.from.rowOffset);
        }
        if (a.kind == Anchor::Kind::TwoCell) {
            w = colLeft[size_t(std::clamp(a.to.cell.col, 1, lastCol))] + emuPixels(a.to.colOffset) -
                x;
            ht = rowTop[size_t(std::clamp(a.to.cell.row, 1, lastRow))] + emuPixels(a.to.rowOffset) -
                 y;
        } else {
            w = emuPixels(a.width);
            ht = emuPixels(a.height);
        }
        const QString ext = QFileInfo(p.imagePart).suffix();
        h += QStringLiteral(
                 "<img src=\"%1/image%2.%3\" alt=\"%4\" "
                 "style=\"left:%5px;top:%6px;width:%7px;height:%8px\">\n")
                 .arg(QString::fromUtf8(QUrl::toPercentEncoding(filesFolder)))
                 .arg(n, 3, 10, QLatin1Char('0'))
                 .arg(ext, p.name.toHtmlEscaped())
                 .arg(x)
                 .arg(y)
                 .arg(std::max(w, 1))
                 .arg(std::max(ht, 1));
    }
    h += QStringLiteral("</div>\n</body>\n</html>\n");
    return h;
}

void writeWebPage(Workbook& book, const QString& htmlPath) {
    Worksheet& sheet = book.activeSheet();
    const QFileInfo info(htmlPath);
    const QString folderName = info.completeBaseName() + QStringLiteral("_files");
    const QString page = sheetToHtml(sheet, folderName);
    const std::vector<Picture> pictures = sheet.pictures();
    int n = 0;
    for (const Picture& p : pictures) {
        if (!p.isPicture || p.imagePart.isEmpty()) continue;
        ++n;
        const QDir dir(info.absolutePath());
        if (!dir.mkpath(folderName))
            throw Error(ErrorCode::WriteFailed,
                        QStringLiteral("cannot create %1").arg(dir.filePath(folderName)));
        QSaveFile img(dir.filePath(QStringLiteral("%1/image%2.%3")
                                       .arg(folderName)
                                       .arg(n, 3, 10, QLatin1Char('0'))
                                       .arg(QFileInfo(p.imagePart).suffix())));
        const QByteArray bytes = sheet.imageBytes(p);
        if (!img.open(QIODevice::WriteOnly) || img.write(bytes) != bytes.size() || !img.commit())
            throw Error(ErrorCode::WriteFailed,
                        QStringLiteral("cannot write %1").arg(img.fileName()));
    }
    QSaveFile f(htmlPath);
    const QByteArray bytes = page.toUtf8();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit())
        throw Error(ErrorCode::WriteFailed, QStringLiteral("cannot write %1").arg(htmlPath));
}

}  // namespace excel
