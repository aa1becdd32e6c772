#include "DemoDocument.h"

#include <QFile>
#include <QSaveFile>
#include <cstring>
#include <stdexcept>
#include <zip.h>

#include "DemoDatabase.h"
#include "db/Db.h"
#include "documents/Registry.h"
#include "view/ProgramFiles.h"

namespace demo {

namespace {

// A small logo for the card, as PNG bytes.
const unsigned char kLogo[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52,
    0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x30, 0x08, 0x02, 0x00, 0x00, 0x00, 0x2e, 0x29, 0xeb,
    0x48, 0x00, 0x00, 0x00, 0x6e, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0xed, 0xd9, 0xb1, 0x0d, 0x80,
    0x30, 0x0c, 0x04, 0xc0, 0x04, 0x31, 0x0c, 0xac, 0x04, 0x05, 0xab, 0x41, 0xc1, 0x4c, 0xac, 0xc3,
    0x04, 0xc8, 0x1d, 0xd8, 0xe2, 0xbe, 0x75, 0xe3, 0x53, 0xbe, 0x72, 0xfa, 0xb4, 0xec, 0xad, 0x72,
    0x86, 0x56, 0x3c, 0x00, 0x00, 0x00, 0x00, 0xdf, 0x66, 0x7c, 0x1a, 0x5c, 0xe7, 0x96, 0x6a, 0xd1,
    0x79, 0x3d, 0x54, 0xa8, 0x56, 0x85, 0xc2, 0xb7, 0x7b, 0x27, 0x61, 0x93, 0x55, 0x08, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xa0, 0x64,
    0xe2, 0xcb, 0x5c, 0xb6, 0x2b, 0xaf, 0x0a, 0x25, 0x4b, 0xf7, 0x4f, 0x0c, 0x00, 0x00, 0x00, 0xf0,
    0x6b, 0xc0, 0x0d, 0x4c, 0x14, 0x0a, 0x84, 0xf5, 0x4c, 0x03, 0x72, 0x00, 0x00, 0x00, 0x00, 0x49,
    0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82
};

const char kContentTypes[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
<Default Extension="png" ContentType="image/png"/>
<Override PartName="/xl/workbook.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml"/>
<Override PartName="/xl/worksheets/sheet1.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml"/>
<Override PartName="/xl/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml"/>
<Override PartName="/xl/drawings/drawing1.xml" ContentType="application/vnd.openxmlformats-officedocument.drawing+xml"/>
</Types>)";

const char kRootRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="xl/workbook.xml"/>
</Relationships>)";

const char kWorkbook[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="会員証" sheetId="1" r:id="rId1"/></sheets>
<calcPr fullCalcOnLoad="1"/>
</workbook>)";

const char kWorkbookRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>
</Relationships>)";

// Fonts: 0 body, 1 the title. Cell formats: 0 plain, 1 title, 2 label with
// a border, 3 value with a border, 4 amount with a border.
const char kStyles[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">
<numFmts count="1"><numFmt numFmtId="164" formatCode="#,##0&quot;円&quot;"/></numFmts>
<fonts count="2"><font><sz val="11"/><name val="Noto Sans CJK JP"/></font><font><b/><sz val="16"/><name val="Noto Sans CJK JP"/></font></fonts>
<fills count="3"><fill><patternFill patternType="none"/></fill><fill><patternFill patternType="gray125"/></fill><fill><patternFill patternType="solid"><fgColor rgb="FFDDEBF7"/></patternFill></fill></fills>
<borders count="2"><border/><border><left style="thin"/><right style="thin"/><top style="thin"/><bottom style="thin"/></border></borders>
<cellStyleXfs count="1"><xf/></cellStyleXfs>
<cellXfs count="5"><xf/><xf fontId="1" applyFont="1"/><xf fillId="2" borderId="1" applyFill="1" applyBorder="1"/><xf borderId="1" applyBorder="1"/><xf numFmtId="164" borderId="1" applyNumberFormat="1" applyBorder="1"/></cellXfs>
<cellStyles count="1"><cellStyle name="Normal" xfId="0" builtinId="0"/></cellStyles>
</styleSheet>)";

const char kSheet[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<dimension ref="A1:D12"/>
<cols><col min="1" max="1" width="14" customWidth="1"/><col min="2" max="2" width="34" customWidth="1"/><col min="3" max="3" width="4" customWidth="1"/><col min="4" max="4" width="12" customWidth="1"/></cols>
<sheetData>
<row r="1" ht="26" customHeight="1"><c r="A1" s="1" t="inlineStr"><is><t>会員証</t></is></c></row>
<row r="3"><c r="A3" s="2" t="inlineStr"><is><t>会員番号</t></is></c><c r="B3" s="3" t="inlineStr"><is><t>(会員番号)</t></is></c></row>
<row r="4"><c r="A4" s="2" t="inlineStr"><is><t>氏名</t></is></c><c r="B4" s="3" t="inlineStr"><is><t>(氏名)</t></is></c></row>
<row r="5"><c r="A5" s="2" t="inlineStr"><is><t>フリガナ</t></is></c><c r="B5" s="3" t="inlineStr"><is><t>(フリガナ)</t></is></c></row>
<row r="6"><c r="A6" s="2" t="inlineStr"><is><t>郵便番号</t></is></c><c r="B6" s="3" t="inlineStr"><is><t>(郵便番号)</t></is></c></row>
<row r="7"><c r="A7" s="2" t="inlineStr"><is><t>住所</t></is></c><c r="B7" s="3" t="inlineStr"><is><t>(住所)</t></is></c></row>
<row r="8"><c r="A8" s="2" t="inlineStr"><is><t>年会費</t></is></c><c r="B8" s="4"><v>0</v></c></row>
<row r="9"><c r="A9" s="2" t="inlineStr"><is><t>消費税</t></is></c><c r="B9" s="4"><f>ROUND(B8*0.1,0)</f></c></row>
<row r="10"><c r="A10" s="2" t="inlineStr"><is><t>合計</t></is></c><c r="B10" s="4"><f>B8+B9</f></c></row>
<row r="11"><c r="A11" s="2" t="inlineStr"><is><t>発行日</t></is></c><c r="B11" s="3" t="inlineStr"><is><t>(!日付)</t></is></c></row>
<row r="12"><c r="A12" s="2" t="inlineStr"><is><t>通し番号</t></is></c><c r="B12" s="3" t="inlineStr"><is><t>(!通し番号)</t></is></c></row>
</sheetData>
<pageMargins left="0.7" right="0.7" top="0.75" bottom="0.75" header="0.3" footer="0.3"/>
<pageSetup paperSize="9" orientation="portrait"/>
<drawing r:id="rId1"/>
</worksheet>)";

const char kSheetRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing" Target="../drawings/drawing1.xml"/>
</Relationships>)";

const char kDrawing[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<xdr:wsDr xmlns:xdr="http://schemas.openxmlformats.org/drawingml/2006/spreadsheetDrawing" xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<xdr:oneCellAnchor><xdr:from><xdr:col>3</xdr:col><xdr:colOff>0</xdr:colOff><xdr:row>2</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx="609600" cy="457200"/>
<xdr:pic><xdr:nvPicPr><xdr:cNvPr id="1" name="Picture 1"/><xdr:cNvPicPr/></xdr:nvPicPr>
<xdr:blipFill><a:blip r:embed="rId1"/><a:stretch><a:fillRect/></a:stretch></xdr:blipFill>
<xdr:spPr><a:xfrm><a:off x="0" y="0"/><a:ext cx="609600" cy="457200"/></a:xfrm><a:prstGeom prst="rect"><a:avLst/></a:prstGeom></xdr:spPr></xdr:pic>
<xdr:clientData/></xdr:oneCellAnchor>
</xdr:wsDr>)";

const char kDrawingRels[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="../media/image1.png"/>
</Relationships>)";

void add(zip_t* z, const char* name, const void* data, size_t size) {
    zip_source_t* src = zip_source_buffer(z, data, size, 0);
    if (!src || zip_file_add(z, name, src, ZIP_FL_ENC_UTF_8) < 0) {
        if (src) zip_source_free(src);
        throw std::runtime_error(std::string("cannot add ") + name + ": " + zip_strerror(z));
    }
}

void addText(zip_t* z, const char* name, const char* text) {
    add(z, name, text, std::strlen(text));
}

}  // namespace

void writeDemoTemplate(const QString& path) {
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    int error = 0;
    zip_t* z = zip_open(QFile::encodeName(part).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!z) throw std::runtime_error("cannot create " + part.toStdString());
    try {
        addText(z, "[Content_Types].xml", kContentTypes);
        addText(z, "_rels/.rels", kRootRels);
        addText(z, "xl/workbook.xml", kWorkbook);
        addText(z, "xl/_rels/workbook.xml.rels", kWorkbookRels);
        addText(z, "xl/styles.xml", kStyles);
        addText(z, "xl/worksheets/sheet1.xml", kSheet);
        addText(z, "xl/worksheets/_rels/sheet1.xml.rels", kSheetRels);
        addText(z, "xl/drawings/drawing1.xml", kDrawing);
        addText(z, "xl/drawings/_rels/drawing1.xml.rels", kDrawingRels);
        add(z, "xl/media/image1.png", kLogo, sizeof kLogo);
    } catch (...) {
        zip_discard(z);
        QFile::remove(part);
        throw;
    }
    if (zip_close(z) < 0) {
        zip_discard(z);
        QFile::remove(part);
        throw std::runtime_error("cannot write " + part.toStdString());
    }
    QFile::remove(path);
    if (!QFile::rename(part, path)) {
        QFile::remove(part);
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

int registerDemoDocument(const QString& programFolder, const QString& database,
                         const QString& templatePath) {
    db::Connection store;
    store.setConnectionString(view::systemStoreConnectionString(programFolder));
    documents::StoreSession session(store);
    documents::Registry registry(store, {database, kMemberTable});
    for (const documents::DocumentRecord& d : registry.ShownDocuments())
        if (d.name == kDemoDocumentName) return d.id;
    documents::Registration r;
    r.name = kDemoDocumentName;
    r.databasePath = database;
    r.table = kMemberTable;
    r.templatePath = templatePath;
    r.sheet = kDemoSheet;
    r.outputLogField = QStringLiteral("会員番号");
    r.block.Sort1 = QStringLiteral("+会員番号");
    r.bindings = {{QStringLiteral("B3"), QStringLiteral("会員番号"), {}},
                  {QStringLiteral("B4"), QStringLiteral("氏名"), {}},
                  {QStringLiteral("B5"), QStringLiteral("フリガナ"), {}},
                  {QStringLiteral("B6"), QStringLiteral("郵便番号"), {}},
                  {QStringLiteral("B7"), QStringLiteral("住所"), {}},
                  {QStringLiteral("B8"), QStringLiteral("年会費"), {}},
                  {QStringLiteral("B11"), QStringLiteral("!日付"), {}},
                  {QStringLiteral("B12"), QStringLiteral("!通し番号"), {}}};
    return registry.SaveRegistration(r);
}

}  // namespace demo
