#include "excel/Styles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "excel/NumberFormat.h"
#include "excel/Xml.h"

namespace excel {

namespace {

// The legacy palette that indexed colours refer to.
const unsigned indexedPalette[] = {
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
    0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
    0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
    0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
    0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
    0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
    0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};

QColor applyTint(QColor c, double tint) {
    if (tint == 0 || !c.isValid()) return c;
    float h, s, l;
    c.getHslF(&h, &s, &l);
    l = tint < 0 ? float(l * (1 + tint)) : float(l * (1 - tint) + tint);
    QColor out;
    out.setHslF(h < 0 ? 0 : h, s, std::clamp(l, 0.0f, 1.0f));
    return out;
}

BorderStyle borderStyle(const char* s) {
    static const std::pair<const char*, BorderStyle> names[] = {
        {"thin", BorderStyle::Thin},
        {"medium", BorderStyle::Medium},
        {"thick", BorderStyle::Thick},
        {"dashed", BorderStyle::Dashed},
        {"dotted", BorderStyle::Dotted},
        {"double", BorderStyle::Double},
        {"hair", BorderStyle::Hair},
        {"mediumDashed", BorderStyle::MediumDashed},
        {"dashDot", BorderStyle::DashDot},
        {"mediumDashDot", BorderStyle::MediumDashDot},
        {"dashDotDot", BorderStyle::DashDotDot},
        {"mediumDashDotDot", BorderStyle::MediumDashDotDot},
        {"slantDashDot", BorderStyle::SlantDashDot}};
    for (const auto& [name, style] : names)
        if (std::strcmp(name, s) == 0) return style;
    return BorderStyle::None;
}

HAlign hAlign(const char* s) {
    static const std::pair<const char*, HAlign> names[] = {
        {"left", HAlign::Left},
        {"center", HAlign::Center},
        {"right", HAlign::Right},
        {"fill", HAlign::Fill},
        {"justify", HAlign::Justify},
        {"centerContinuous", HAlign::CenterContinuous},
        {"distributed", HAlign::Distributed}};
    for (const auto& [name, a] : names)
        if (std::strcmp(name, s) == 0) return a;
    return HAlign::General;
}

VAlign vAlign(const char* s) {
    if (std::strcmp(s, "top") == 0) return VAlign::Top;
    if (std::strcmp(s, "center") == 0) return VAlign::Center;
    if (std::strcmp(s, "justify") == 0) return VAlign::Justify;
    if (std::strcmp(s, "distributed") == 0) return VAlign::Distributed;
    return VAlign::Bottom;
}

pugi::xml_node nth(const pugi::xml_node& list, int index, const char* local) {
    int i = 0;
    for (pugi::xml_node n = list.first_child(); n; n = n.next_sibling())
        if (xml::is(n, local) && i++ == index) return n;
    return {};
}

bool truthy(const pugi::xml_attribute& a, bool absent = false) {
    if (!a) return absent;
    const char* v = a.value();
    return std::strcmp(v, "1") == 0 || std::strcmp(v, "true") == 0;
}

}  // namespace

void Styles::load(const QByteArray& bytes, const QByteArray& themeBytes) {
    theme_.clear();
    if (!themeBytes.isEmpty()) {
        pugi::xml_document theme;
        try {
            xml::parse(theme, themeBytes, QStringLiteral("theme"));
            pugi::xml_node root = theme.document_element();
            pugi::xml_node scheme = xml::child(xml::child(root, "themeElements"), "clrScheme");
            for (pugi::xml_node c = scheme.first_child(); c; c = c.next_sibling()) {
                pugi::xml_node v = c.first_child();
                QString hex = xml::text(xml::attr(v, "lastClr"));
                if (hex.isEmpty()) hex = xml::text(xml::attr(v, "val"));
                theme_.push_back(QColor(QLatin1Char('#') + hex.right(6)));
            }
            // Excel counts lt1, dk1, lt2, dk2 where the scheme lists dk1, lt1, dk2, lt2.
            if (theme_.size() >= 4) {
                std::swap(theme_[0], theme_[1]);
                std::swap(theme_[2], theme_[3]);
            }
        } catch (...) {
            theme_.clear();  // a broken theme only costs colours
        }
    }
    styles_.clear();
    dateStyles_.clear();
    changed_ = false;
    if (bytes.isEmpty()) return;
    xml::parse(doc_, bytes, QStringLiteral("xl/styles.xml"));
    pugi::xml_node cellXfs = xml::child(doc_.document_element(), "cellXfs");
    for (pugi::xml_node xf = cellXfs.first_child(); xf; xf = xf.next_sibling())
        if (xml::is(xf, "xf")) styles_.push_back(resolve(xf));
}

QColor Styles::color(const pugi::xml_node& n) const {
    if (!n) return {};
    if (pugi::xml_attribute rgb = n.attribute("rgb")) {
        const QString hex = xml::text(rgb);
        return QColor(QLatin1Char('#') + hex.right(6));
    }
    const double tint = n.attribute("tint").as_double(0);
    if (pugi::xml_attribute t = n.attribute("theme")) {
        const unsigned i = t.as_uint();
        if (i < theme_.size()) return applyTint(theme_[i], tint);
        return {};
    }
    if (pugi::xml_attribute ix = n.attribute("indexed")) {
        const unsigned i = ix.as_uint();
        if (i < std::size(indexedPalette)) return applyTint(QColor(QRgb(indexedPalette[i])), tint);
    }
    return {};
}

CellStyle Styles::resolve(const pugi::xml_node& xf) const {
    CellStyle s;
    pugi::xml_node root = doc_.document_element();
    const int numFmtId = xf.attribute("numFmtId").as_int(0);
    s.numFmtId = numFmtId;
    s.numberFormat = builtinNumberFormat(numFmtId);
    for (pugi::xml_node f : xml::child(root, "numFmts").children())
        if (f.attribute("numFmtId").as_int(-1) == numFmtId)
            s.numberFormat = xml::text(f.attribute("formatCode"));
    if (s.numberFormat.isEmpty()) s.numberFormat = QStringLiteral("General");
    s.isDateFormat = isDateFormat(numFmtId, s.numberFormat);

    if (pugi::xml_node font =
            nth(xml::child(root, "fonts"), xf.attribute("fontId").as_int(0), "font")) {
        if (pugi::xml_node n = xml::child(font, "name"))
            s.font.family = xml::text(n.attribute("val"));
        if (pugi::xml_node n = xml::child(font, "sz"))
            s.font.size = n.attribute("val").as_double(11);
        s.font.bold = xml::child(font, "b") && truthy(xml::child(font, "b").attribute("val"), true);
        s.font.italic =
            xml::child(font, "i") && truthy(xml::child(font, "i").attribute("val"), true);
        s.font.strike =
            xml::child(font, "strike") && truthy(xml::child(font, "strike").attribute("val"), true);
        if (pugi::xml_node u = xml::child(font, "u"))
            s.font.underline = std::strcmp(u.attribute("val").as_string("single"), "none") != 0;
        s.font.color = color(xml::child(font, "color"));
    }
    if (pugi::xml_node fill =
            nth(xml::child(root, "fills"), xf.attribute("fillId").as_int(0), "fill")) {
        if (pugi::xml_node p = xml::child(fill, "patternFill")) {
            const char* type = p.attribute("patternType").as_string("none");
            if (std::strcmp(type, "none") != 0) {
                // Solid fills paint the foreground colour; other patterns
                // are shown by it as well, as a plain approximation.
                s.fill = color(xml::child(p, "fgColor"));
                if (!s.fill.isValid()) s.fill = color(xml::child(p, "bgColor"));
                if (!s.fill.isValid() && std::strcmp(type, "solid") == 0) s.fill = Qt::black;
            }
        } else if (pugi::xml_node g = xml::child(fill, "gradientFill")) {
            s.fill = color(xml::child(xml::child(g, "stop"), "color"));
        }
    }
    if (pugi::xml_node border =
            nth(xml::child(root, "borders"), xf.attribute("borderId").as_int(0), "border")) {
        auto line = [&](const char* side, const char* alt) {
            pugi::xml_node n = xml::child(border, side);
            if (!n && alt) n = xml::child(border, alt);
            BorderLine l;
            if (n) {
                l.style = borderStyle(n.attribute("style").as_string(""));
                l.color = color(xml::child(n, "color"));
            }
            return l;
        };
        s.borders.left = line("left", "start");
        s.borders.right = line("right", "end");
        s.borders.top = line("top", nullptr);
        s.borders.bottom = line("bottom", nullptr);
    }
    if (pugi::xml_node a = xml::child(xf, "alignment")) {
        s.hAlign = hAlign(a.attribute("horizontal").as_string(""));
        s.vAlign = vAlign(a.attribute("vertical").as_string("bottom"));
        s.wrap = truthy(a.attribute("wrapText"));
        s.shrinkToFit = truthy(a.attribute("shrinkToFit"));
        s.indent = a.attribute("indent").as_int(0);
        s.rotation = a.attribute("textRotation").as_int(0);
    }
    return s;
}

const CellStyle& Styles::style(int xfIndex) const {
    if (xfIndex >= 0 && static_cast<size_t>(xfIndex) < styles_.size())
        return styles_[static_cast<size_t>(xfIndex)];
    if (!styles_.empty()) return styles_[0];
    return fallback_;
}

bool Styles::isDate(int xfIndex) const {
    return style(xfIndex).isDateFormat;
}

int Styles::dateStyleFor(int xfIndex) {
    if (isDate(xfIndex)) return xfIndex;
    if (auto it = dateStyles_.find(xfIndex); it != dateStyles_.end()) return it->second;
    pugi::xml_node cellXfs = xml::child(doc_.document_element(), "cellXfs");
    if (!cellXfs) return xfIndex;  // no styles part: the value is still a date serial
    pugi::xml_node base = nth(cellXfs, xfIndex, "xf");
    pugi::xml_node xf = base ? cellXfs.append_copy(base) : cellXfs.append_child("xf");
    // 14 is the locale's short date, which Japanese desktops show as yyyy/m/d.
    xf.remove_attribute("numFmtId");
    xf.prepend_attribute("numFmtId") = 14;
    xf.remove_attribute("applyNumberFormat");
    xf.append_attribute("applyNumberFormat") = 1;
    const int index = static_cast<int>(styles_.size());
    cellXfs.remove_attribute("count");
    cellXfs.prepend_attribute("count") = index + 1;
    styles_.push_back(resolve(xf));
    dateStyles_[xfIndex] = index;
    changed_ = true;
    return index;
}

QByteArray Styles::serialize() const {
    return xml::serialize(doc_);
}

}  // namespace excel
