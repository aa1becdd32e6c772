#pragma once
// XML helpers for package parts. pugixml knows no namespaces, so elements and
// attributes are matched by local name (the text after any prefix), which is
// what the parts' producers agree on even when they choose other prefixes.
#include <QByteArray>
#include <QString>
#include <initializer_list>
#include <pugixml.hpp>

namespace excel::xml {

// Parses a part; throws Error(NotAWorkbook) naming the part and offset.
// DOCTYPE declarations are skipped and no entity is ever expanded.
void parse(pugi::xml_document& doc, const QByteArray& bytes, const QString& partName);
QByteArray serialize(const pugi::xml_document& doc);

const char* localName(const char* name);
bool is(const pugi::xml_node& n, const char* local);
pugi::xml_node child(const pugi::xml_node& parent, const char* local);
pugi::xml_attribute attr(const pugi::xml_node& n, const char* local);
// The relationship id of an element (r:id, r:embed, ...) whatever its prefix.
QString relId(const pugi::xml_node& n, const char* local = "id");
QString text(const pugi::xml_attribute& a);
QString text(const pugi::xml_node& n);  // child_value
// The prefix of the root element ("x:" in "x:worksheet", "" when none), so new
// elements are written with the prefix the part already uses.
QString prefixOf(const pugi::xml_node& n);

// Inserts a new child named prefix+local into parent at the place the schema
// orders it: after every existing child whose local name comes earlier in
// order, before the first that comes later. Returns the new node.
pugi::xml_node insertOrdered(pugi::xml_node parent, const char* local,
                             std::initializer_list<const char*> order);

// Element order of a worksheet's children.
extern const std::initializer_list<const char*> worksheetOrder;

// Removes characters XML 1.0 cannot hold (control characters but tab,
// line feed and carriage return, lone surrogates).
QString xmlSafe(const QString& s);

// A part's relationships, kept as a document so that saving changes only
// what was added or removed.
class Relationships {
public:
    Relationships() = default;
    void load(const QByteArray& bytes, const QString& partName);
    void initEmpty();
    struct Rel {
        QString id, type, target;
        bool external = false;
    };
    bool find(const QString& id, Rel& out) const;
    // Type tails are compared ("/image", "/hyperlink"), since the transitional
    // and strict namespaces differ in their prefix.
    QString add(const QString& type, const QString& target, bool external);
    void remove(const QString& id);
    bool removeByTypeTail(const QString& tail);
    QByteArray serialize() const { return xml::serialize(doc_); }

private:
    pugi::xml_document doc_;
};

// [Content_Types].xml.
class ContentTypes {
public:
    void load(const QByteArray& bytes);
    bool ensureDefault(const QString& extension, const QString& type);  // true when added
    void removeOverride(const QString& part);
    void addOverride(const QString& part, const QString& type);
    QByteArray serialize() const { return xml::serialize(doc_); }

private:
    pugi::xml_document doc_;
};

}  // namespace excel::xml
