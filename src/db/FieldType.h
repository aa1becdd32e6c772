#pragma once
// The field-type codes, in a header of their own so that plain rules can name
// them without the rest of the database layer.
namespace db {

// Field-type codes, numbered as the rest of the program uses them.
enum FieldType : int {
    ftUnknown = 0,
    ftSmallint = 2,   // SMALLINT, SHORT
    ftInteger = 3,    // INTEGER, LONG
    ftByte = 4,       // BYTE (0..255)
    ftBoolean = 5,    // BIT, YESNO
    ftFloat = 6,      // DOUBLE, DOUBLE PRECISION, FLOAT, REAL
    ftCurrency = 8,   // CURRENCY, DECIMAL, NUMERIC
    ftDateTime = 11,  // TIMESTAMP, DATETIME, DATE
    ftAutoInc = 14,   // COUNTER, AUTOINCREMENT, auto-increment integer primary key
    ftBlob = 15,      // BLOB, LONGBINARY, IMAGE
    ftMemo = 16,      // MEMO, LONGTEXT
    ftText = 24,      // NCHAR(n), CHAR(n), VARCHAR(n), TEXT(n)
    ftGuid = 38,      // GUID
};

}  // namespace db
