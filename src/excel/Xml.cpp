#include "excel/Xml.h"

#include <cstring>
#include <string>

#include "excel/Error.h"

namespace excel::xml {

namespace {
struct ByteWriter : pugi::xml_writer {
    QByteArray out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), static_cast<qsizetype>(size));
    }
};
}  // namespace

void parse(pugi::xml_document& doc, const QByteArray& bytes, const QString& partName) {
    // parse_ws_pcdata_single keeps a text of blanks only (<t> </t>), which a
    // cell may hold; parse_declaration keeps the declaration for saving.
    const unsigned options = pugi::parse_default | pugi::parse_declaration |
                             pugi::parse_ws_pcdata_single | pugi::parse_doctype;
    const pugi::xml_parse_result r =
        doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()), options);
    if (!r)
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("part %1 is malformed XML at offset %2: %3")
                        .arg(partName)
                        .arg(r.offset)
                        .arg(QString::fromUtf8(r.description())));
    // Workbook parts may not carry a DTD; one that does is refused rather
    // than read with its entities left unexpanded.
    for (pugi::xml_node n = doc.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_doctype)
            throw Error(ErrorCode::NotAWorkbook,
                        QStringLiteral("part %1 declares a DTD, which workbook parts may not hold")
                            .arg(partName));
    if (!doc.document_element())
        throw Error(ErrorCode::NotAWorkbook,
                    QStringLiteral("part %1 has no root element").arg(partName));
}

QByteArray serialize(const pugi::xml_document& doc) {
    ByteWriter w;
    w.out.reserve(16 * 1024);
    unsigned flags = pugi::format_raw;
    bool hasDeclaration = doc.first_child().type() == pugi::node_declaration;
    if (!hasDeclaration) {
        // Office expects a standalone declaration on parts it reads.
        static const char decl[] =
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
        w.out.append(decl);
    }
    doc.save(w, "", flags | pugi::format_no_declaration, pugi::encoding_utf8);
    return w.out;
}

const char* localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

bool is(const pugi::xml_node& n, const char* local) {
    return n.type() == pugi::node_element && std::strcmp(localName(n.name()), local) == 0;
}

pugi::xml_node child(const pugi::xml_node& parent, const char* local) {
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
        if (is(c, local)) return c;
    return {};
}

pugi::xml_attribute attr(const pugi::xml_node& n, const char* local) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute())
        if (std::strcmp(localName(a.name()), local) == 0) return a;
    return {};
}

QString relId(const pugi::xml_node& n, const char* local) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        if (std::strchr(name, ':') && std::strncmp(name, "xmlns", 5) != 0 &&
            std::strcmp(localName(name), local) == 0)
            return QString::fromUtf8(a.value());
    }
    return {};
}

QString text(const pugi::xml_attribute& a) {
    return QString::fromUtf8(a.value());
}
QString text(const pugi::xml_node& n) {
    return QString::fromUtf8(n.child_value());
}

QString prefixOf(const pugi::xml_node& n) {
    const char* name = n.name();
    const char* colon = std::strrchr(name, ':');
    return colon ? QString::fromUtf8(name, static_cast<qsizetype>(colon - name + 1)) : QString();
}

const std::initializer_list<const char*> worksheetOrder = {"sheetPr",
                                                           "dimension",
                                                           "sheetViews",
                                                           "sheetFormatPr",
                                                           "cols",
                                                           "sheetData",
                                                           "sheetCalcPr",
                                                           "sheetProtection",
                                                           "protectedRanges",
                                                           "scenarios",
                                                           "autoFilter",
                                                           "sortState",
                                                           "dataConsolidate",
                                                           "customSheetViews",
                                                           "mergeCells",
                                                           "phoneticPr",
                                                           "conditionalFormatting",
                                                           "dataValidations",
                                                           "hyperlinks",
                                                           "printOptions",
                                                           "pageMargins",
                                                           "pageSetup",
                                                           "headerFooter",
                                                           "rowBreaks",
                                                           "colBreaks",
                                                           "customProperties",
                                                           "cellWatches",
                                                           "ignoredErrors",
                                                           "smartTags",
                                                           "drawing",
                                                           "legacyDrawing",
                                                           "legacyDrawingHF",
                                                           "drawingHF",
                                                           "picture",
                                                           "oleObjects",
                                                           "controls",
                                                           "webPublishItems",
                                                           "tableParts",
                                                           "extLst"};

pugi::xml_node insertOrdered(pugi::xml_node parent, const char* local,
                             std::initializer_list<const char*> order) {
    auto rank = [&](const char* name) {
        int i = 0;
        for (const char* o : order) {
            if (std::strcmp(o, name) == 0) return i;
            ++i;
        }
        return -1;
    };
    const int mine = rank(local);
    const std::string name = (prefixOf(parent) + QString::fromUtf8(local)).toStdString();
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
        if (c.type() != pugi::node_element) continue;
        const int r = rank(localName(c.name()));
        if (r > mine) return parent.insert_child_before(name.c_str(), c);
    }
    return parent.append_child(name.c_str());
}

QString xmlSafe(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        const ushort u = c.unicode();
        if (u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) continue;
        if (u == 0xFFFE || u == 0xFFFF) continue;
        if (c.isHighSurrogate()) {
            if (i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
                out += c;
                out += s[++i];
            }
            continue;
        }
        if (c.isLowSurrogate()) continue;
        out += c;
    }
    return out;
}

// --- Relationships --------------------------------------------------------

void Relationships::load(const QByteArray& bytes, const QString& partName) {
    parse(doc_, bytes, partName);
}

void Relationships::initEmpty() {
    doc_.reset();
    pugi::xml_node root = doc_.append_child("Relationships");
    root.append_attribute("xmlns") = "http://schemas.openxmlformats.org/package/2006/relationships";
}

bool Relationships::find(const QString& id, Rel& out) const {
    const std::string wanted = id.toStdString();
    for (pugi::xml_node r : doc_.document_element().children()) {
        if (!is(r, "Relationship") || wanted != r.attribute("Id").value()) continue;
        out.id = id;
        out.type = text(r.attribute("Type"));
        out.target = text(r.attribute("Target"));
        out.external = std::strcmp(r.attribute("TargetMode").value(), "External") == 0;
        return true;
    }
    return false;
}

QString Relationships::add(const QString& type, const QString& target, bool external) {
    pugi::xml_node root = doc_.document_element();
    int n = 1;
    for (;;) {
        const std::string id = "rId" + std::to_string(n);
        bool used = false;
        for (pugi::xml_node r : root.children())
            if (id == r.attribute("Id").value()) used = true;
        if (!used) break;
        ++n;
    }
    const QString id = QStringLiteral("rId%1").arg(n);
    pugi::xml_node r =
        root.append_child((prefixOf(root) + QStringLiteral("Relationship")).toUtf8().constData());
    r.append_attribute("Id") = id.toUtf8().constData();
    r.append_attribute("Type") = type.toUtf8().constData();
    r.append_attribute("Target") = xmlSafe(target).toUtf8().constData();
    if (external) r.append_attribute("TargetMode") = "External";
    return id;
}

void Relationships::remove(const QString& id) {
    const std::string wanted = id.toStdString();
    pugi::xml_node root = doc_.document_element();
    for (pugi::xml_node r = root.first_child(); r; r = r.next_sibling())
        if (wanted == r.attribute("Id").value()) {
            root.remove_child(r);
            return;
        }
}

bool Relationships::removeByTypeTail(const QString& tail) {
    pugi::xml_node root = doc_.document_element();
    bool removed = false;
    for (pugi::xml_node r = root.first_child(); r;) {
        pugi::xml_node next = r.next_sibling();
        if (text(r.attribute("Type")).endsWith(tail)) {
            root.remove_child(r);
            removed = true;
        }
        r = next;
    }
    return removed;
}

// --- ContentTypes ---------------------------------------------------------

void ContentTypes::load(const QByteArray& bytes) {
    parse(doc_, bytes, QStringLiteral("[Content_Types].xml"));
}

bool ContentTypes::ensureDefault(const QString& extension, const QString& type) {
    pugi::xml_node root = doc_.document_element();
    for (pugi::xml_node d : root.children())
        if (is(d, "Default") &&
            text(d.attribute("Extension")).compare(extension, Qt::CaseInsensitive) == 0)
            return false;
    pugi::xml_node first = child(root, "Default");
    const std::string name = (prefixOf(root) + QStringLiteral("Default")).toStdString();
    pugi::xml_node d =
        first ? root.insert_child_before(name.c_str(), first) : root.prepend_child(name.c_str());
    d.append_attribute("Extension") = extension.toUtf8().constData();
    d.append_attribute("ContentType") = type.toUtf8().constData();
    return true;
}

void ContentTypes::removeOverride(const QString& part) {
    pugi::xml_node root = doc_.document_element();
    const QString wanted = QLatin1Char('/') + part;
    for (pugi::xml_node o = root.first_child(); o;) {
        pugi::xml_node next = o.next_sibling();
        if (is(o, "Override") && text(o.attribute("PartName")) == wanted) root.remove_child(o);
        o = next;
    }
}

void ContentTypes::addOverride(const QString& part, const QString& type) {
    pugi::xml_node root = doc_.document_element();
    pugi::xml_node o =
        root.append_child((prefixOf(root) + QStringLiteral("Override")).toUtf8().constData());
    o.append_attribute("PartName") = (QLatin1Char('/') + part).toUtf8().constData();
    o.append_attribute("ContentType") = type.toUtf8().constData();
}

}  // namespace excel::xml
