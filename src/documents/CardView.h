#pragma once
// The card view: one record shown through its table's card document. A
// private work copy of the template is filled with the record's values and
// shown in the sheet window; once the user has closed the window, the cells
// the user changed and saved are read back into the record. The template
// itself is only ever read.
//
// Data flows: the caller finds the card document and its bindings in the
// registry, lists the table's bindable fields and hands them over with the
// data set whose current record is shown. runCardView returns once the
// sheet window has closed and the record has been written (or left alone).
#include <QString>
#include <QVariant>
#include <map>

#include "documents/BindableFields.h"
#include "documents/Registry.h"

class QWidget;
namespace db {
class DataSet;
}
namespace platform {
class Services;
}
namespace excel {
class TUGExcel;
}

namespace documents {

// What a card cell's text becomes in its field.
struct CardValue {
    enum class Kind { Store, Null, Untouched };
    Kind kind = Kind::Untouched;
    QVariant value;  // the typed value when kind is Store
};
// Whole numbers within the type's range, TRUE or FALSE in any case, numbers
// and dates as the locale writes them, any text for a text field. A text that
// does not fit makes the field null; memo, auto-number and other types are
// never written from a card.
CardValue cardCellValue(int typeCode, const QString& text);

// A hyperlink binding ("%" + link field, or "%" + link field + "%" + display
// field). Without a display field the cell keeps the template's own text.
struct CardLink {
    QString linkField;
    QString displayField;
    bool ownDisplayText = false;  // true: a display field was named
};
CardLink parseLinkBinding(const QString& boundField);

// Whether a link names a file location (a network path, a drive path or an
// absolute path of this system), which becomes a hyperlink; anything else,
// a web address included, is written as plain text.
bool isFileLink(const QString& link);

// The picture shape a picture binding replaces: "Picture " + the first of
// the binding's picture numbers ("#3,4" gives "Picture 3").
QString cardPictureName(const QString& cell);

// Whether a binding's cell is read back into the record: a plain cell
// address bound to one of the table's bindable fields.
bool isReadBackBinding(const FLinkData& link, const FieldList& fields);

// One card view's request.
struct CardJob {
    QString templatePath;
    QString sheet;
    LinkList bindings;
    FieldList fields;        // the shown table's bindable fields
    bool writeBack = false;  // a table (not a saved query) of a current-format database
};

// How a card view ended, for the caller and the tests.
struct CardResult {
    bool shown = false;     // the sheet window was shown
    bool saved = false;     // the user saved the work copy
    int fieldsWritten = 0;  // fields of the record written back
    QString workCopy;       // where the work copy was (removed by now)
};

// The caption of the card view's refusals.
extern const QString kCardStopped;

// Runs one card view over the current record of record: copies the template
// into a private temporary folder, fills and shows the copy, waits until the
// user closes the sheet window (caller stays disabled meanwhile), and writes
// back the bound cells whose text the user changed when the copy was saved
// and job.writeBack is set. A missing template or sheet, or a copy that could
// not be made, stops with a message under kCardStopped. The work copy is
// removed on every way out, errors included. Workbook and database errors
// reach the caller as exceptions; a refused write leaves the record as it was.
CardResult runCardView(const CardJob& job, db::DataSet& record, const QString& progId,
                       platform::Services& services, QWidget* caller);

}  // namespace documents
