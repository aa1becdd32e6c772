// Pictures and shapes of a sheet's drawing part: listing them with their
// anchors, and replacing or deleting a named one.
#include <QFileInfo>
#include <cstring>
#include <functional>

#include "excel/Image.h"
#include "excel/WorkbookImpl.h"

namespace excel {

void loadDrawing(WorkbookImpl& impl, SheetData& sheet) {
    if (sheet.drawingLoaded) return;
    sheet.drawingLoaded = true;
    const pugi::xml_node ref = xml::child(sheet.root, "drawing");
    if (!ref) return;
    xml::Relationships::Rel rel;
    if (!impl.sheetRels(sheet).find(xml::relId(ref), rel)) return;
    const QString part = resolvePartPath(sheet.part, rel.target);
    if (!impl.package->has(part)) return;
    xml::parse(sheet.drawing, impl.package->read(part), part);
    const QString relsPart = relsPartOf(part);
    if (impl.package->has(relsPart))
        sheet.drawingRels.load(impl.package->read(relsPart), relsPart);
    else
        sheet.drawingRels.initEmpty();
    sheet.drawingPart = part;
}

namespace {

bool isAnchor(const pugi::xml_node& n) {
    return xml::is(n, "twoCellAnchor") || xml::is(n, "oneCellAnchor") ||
           xml::is(n, "absoluteAnchor");
}

bool isShape(const pugi::xml_node& n) {
    return xml::is(n, "pic") || xml::is(n, "sp") || xml::is(n, "grpSp") ||
           xml::is(n, "graphicFrame") || xml::is(n, "cxnSp");
}

// The cNvPr element of a shape (under nvPicPr, nvSpPr, nvGrpSpPr, ...).
pugi::xml_node cNvPr(const pugi::xml_node& shape) {
    for (pugi::xml_node nv = shape.first_child(); nv; nv = nv.next_sibling())
        if (std::strncmp(xml::localName(nv.name()), "nv", 2) == 0) return xml::child(nv, "cNvPr");
    return {};
}

// Visits every shape, groups first and then their members, in document
// order, which is the order of the sheet's shape collection.
void eachShape(const pugi::xml_node& root,
               const std::function<bool(pugi::xml_node anchor, pugi::xml_node shape)>& visit) {
    std::function<bool(pugi::xml_node, pugi::xml_node)> walk = [&](pugi::xml_node anchor,
                                                                   pugi::xml_node container) {
        for (pugi::xml_node s = container.first_child(); s; s = s.next_sibling()) {
            if (!isShape(s)) continue;
            if (!visit(anchor, s)) return false;
            if (xml::is(s, "grpSp") && !walk(anchor, s)) return false;
        }
        return true;
    };
    for (pugi::xml_node a = root.first_child(); a; a = a.next_sibling())
        if (isAnchor(a) && !walk(a, a)) return;
}

pugi::xml_node findShape(const pugi::xml_node& root, const QString& name,
                         pugi::xml_node* anchorOut) {
    const QByteArray wanted = name.toUtf8();
    pugi::xml_node found;
    eachShape(root, [&](pugi::xml_node anchor, pugi::xml_node shape) {
        if (wanted == cNvPr(shape).attribute("name").value()) {
            found = shape;
            *anchorOut = anchor;
            return false;
        }
        return true;
    });
    return found;
}

AnchorPoint point(const pugi::xml_node& n) {
    AnchorPoint p;
    p.cell.col = xml::child(n, "col").text().as_int(0) + 1;
    p.cell.row = xml::child(n, "row").text().as_int(0) + 1;
    p.colOffset = xml::child(n, "colOff").text().as_llong(0);
    p.rowOffset = xml::child(n, "rowOff").text().as_llong(0);
    return p;
}

Anchor readAnchor(const pugi::xml_node& a, const pugi::xml_node& shape) {
    Anchor out;
    if (xml::is(a, "twoCellAnchor")) {
        out.kind = Anchor::Kind::TwoCell;
        out.from = point(xml::child(a, "from"));
        out.to = point(xml::child(a, "to"));
    } else if (xml::is(a, "oneCellAnchor")) {
        out.kind = Anchor::Kind::OneCell;
        out.from = point(xml::child(a, "from"));
    } else {
        out.kind = Anchor::Kind::Absolute;
        const pugi::xml_node pos = xml::child(a, "pos");
        out.x = pos.attribute("x").as_llong(0);
        out.y = pos.attribute("y").as_llong(0);
    }
    if (pugi::xml_node ext = xml::child(a, "ext")) {
        out.width = ext.attribute("cx").as_llong(0);
        out.height = ext.attribute("cy").as_llong(0);
    } else {
        pugi::xml_node props = xml::child(shape, "spPr");
        if (!props) props = xml::child(shape, "grpSpPr");
        if (!props) props = shape;
        const pugi::xml_node e = xml::child(xml::child(props, "xfrm"), "ext");
        out.width = e.attribute("cx").as_llong(0);
        out.height = e.attribute("cy").as_llong(0);
    }
    return out;
}

std::string sameNs(const pugi::xml_node& like, const char* local) {
    return (xml::prefixOf(like) + QString::fromUtf8(local)).toStdString();
}

// Removes a shape: its whole anchor when it stands alone, else only the shape
// from its group (and the group's anchor when that leaves it empty).
void removeShape(pugi::xml_node anchor, pugi::xml_node shape) {
    pugi::xml_node parent = shape.parent();
    if (parent == anchor) {
        anchor.parent().remove_child(anchor);
        return;
    }
    parent.remove_child(shape);
    bool anyLeft = false;
    for (pugi::xml_node s = parent.first_child(); s; s = s.next_sibling())
        if (isShape(s)) anyLeft = true;
    if (!anyLeft) removeShape(anchor, parent);
}

int nextShapeId(const pugi::xml_node& root) {
    int maxId = 0;
    eachShape(root, [&](pugi::xml_node, pugi::xml_node shape) {
        maxId = std::max(maxId, cNvPr(shape).attribute("id").as_int(0));
        return true;
    });
    return maxId + 1;
}

QString newMediaPart(const Package& package, const QString& extension) {
    for (int n = 1;; ++n) {
        const QString part = QStringLiteral("xl/media/image%1.%2").arg(n).arg(extension);
        if (!package.has(part)) return part;
    }
}

}  // namespace

std::vector<Picture> Worksheet::pictures() const {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    loadDrawing(impl, s);
    std::vector<Picture> out;
    if (s.drawingPart.isEmpty()) return out;
    eachShape(s.drawing.document_element(), [&](pugi::xml_node anchor, pugi::xml_node shape) {
        Picture p;
        const pugi::xml_node nv = cNvPr(shape);
        p.name = xml::text(nv.attribute("name"));
        p.id = nv.attribute("id").as_int(0);
        p.description = xml::text(nv.attribute("descr"));
        p.isPicture = xml::is(shape, "pic");
        p.anchor = readAnchor(anchor, shape);
        if (p.isPicture) {
            const QString id =
                xml::relId(xml::child(xml::child(shape, "blipFill"), "blip"), "embed");
            xml::Relationships::Rel rel;
            if (!id.isEmpty() && s.drawingRels.find(id, rel) && !rel.external) {
                p.imagePart = resolvePartPath(s.drawingPart, rel.target);
                const QString ext = QFileInfo(p.imagePart).suffix().toLower();
                p.contentType = ext == QLatin1String("jpg") ? QStringLiteral("image/jpeg")
                                                            : QStringLiteral("image/") + ext;
            }
        }
        out.push_back(p);
        return true;
    });
    return out;
}

QByteArray Worksheet::imageBytes(const Picture& picture) const {
    if (picture.imagePart.isEmpty() || !book_.impl_->package->has(picture.imagePart)) return {};
    return book_.impl_->package->read(picture.imagePart);
}

bool Worksheet::deletePicture(const QString& shapeName) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    loadDrawing(impl, s);
    if (s.drawingPart.isEmpty()) return false;
    pugi::xml_node anchor;
    const pugi::xml_node shape = findShape(s.drawing.document_element(), shapeName, &anchor);
    if (!shape) return false;
    // The image part stays: another picture may show the same image.
    removeShape(anchor, shape);
    s.drawingDirty = true;
    impl.modified = true;
    return true;
}

bool Worksheet::replacePicture(const QString& shapeName, const QString& imagePath) {
    SheetData& s = data();
    WorkbookImpl& impl = *book_.impl_;
    loadDrawing(impl, s);
    if (s.drawingPart.isEmpty()) return false;
    pugi::xml_node root = s.drawing.document_element();
    pugi::xml_node anchor;
    pugi::xml_node old = findShape(root, shapeName, &anchor);
    if (!old) return false;
    if (imagePath.isEmpty() || !QFileInfo(imagePath).isFile()) return deletePicture(shapeName);

    // Read the image before anything changes, so a bad file leaves the
    // sheet as it was.
    const ImageData image = loadImageFile(imagePath);
    const QString mediaPart = newMediaPart(*impl.package, image.extension);
    const QString relId = s.drawingRels.add(
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/image"),
        relativeTarget(s.drawingPart, mediaPart), false);
    impl.package->write(mediaPart, image.bytes);
    if (impl.types().ensureDefault(image.extension, image.contentType))
        impl.contentTypesDirty = true;

    // The new picture takes the old one's place, position and size; like a
    // pasted picture it gets a fresh id and the name that goes with it.
    const int id = nextShapeId(root);
    pugi::xml_node pic = old.parent().insert_child_before(sameNs(anchor, "pic").c_str(), old);
    const std::string xdr = sameNs(anchor, "");
    auto el = [&](pugi::xml_node parent, const char* local) {
        return parent.append_child((xdr + local).c_str());
    };
    pugi::xml_node nv = el(pic, "nvPicPr");
    pugi::xml_node c = el(nv, "cNvPr");
    c.append_attribute("id") = id;
    c.append_attribute("name") = QStringLiteral("Picture %1").arg(id).toUtf8().constData();
    pugi::xml_node lock = el(nv, "cNvPicPr").append_child("a:picLocks");
    lock.append_attribute("noChangeAspect") = "1";
    pugi::xml_node fill = el(pic, "blipFill");
    pugi::xml_node blip = fill.append_child("a:blip");
    blip.append_attribute("xmlns:r") =
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    blip.append_attribute("r:embed") = relId.toUtf8().constData();
    fill.append_child("a:stretch").append_child("a:fillRect");
    pugi::xml_node props = el(pic, "spPr");
    pugi::xml_node oldProps = xml::child(old, "spPr");
    if (!oldProps) oldProps = xml::child(old, "grpSpPr");
    if (pugi::xml_node xfrm = xml::child(oldProps, "xfrm")) props.append_copy(xfrm);
    pugi::xml_node geom = props.append_child("a:prstGeom");
    geom.append_attribute("prst") = "rect";
    geom.append_child("a:avLst");
    old.parent().remove_child(old);
    // The a: prefix must be declared where the picture can see it.
    if (!root.attribute("xmlns:a"))
        root.append_attribute("xmlns:a") = "http://schemas.openxmlformats.org/drawingml/2006/main";
    s.drawingDirty = true;
    impl.modified = true;
    return true;
}

}  // namespace excel
