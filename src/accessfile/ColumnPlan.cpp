#include "accessfile/ColumnPlan.h"

namespace accessfile::detail {

ColumnPlan planColumn(const Column& column, Format format, bool asCounter) {
    ColumnPlan p;
    p.carried = true;
    switch (column.type) {
        case kBool:
            p.type = QStringLiteral("BIT");
            break;
        case kByte:
            p.type = QStringLiteral("BYTE");
            break;
        case kInt:
            p.type = QStringLiteral("SMALLINT");
            break;
        case kLong:
            p.counter = column.autoNumber && asCounter;
            p.type = p.counter ? QStringLiteral("COUNTER") : QStringLiteral("INTEGER");
            break;
        case kMoney:
            p.type = QStringLiteral("CURRENCY");
            break;
        case kFloat:
        case kDouble:
            p.type = QStringLiteral("DOUBLE");
            break;
        case kDateTime:
            p.type = QStringLiteral("TIMESTAMP");
            break;
        case kText: {
            // From Jet 4 on a text column's size counts bytes of UTF-16.
            int width = format == Format::Jet3 ? column.size : column.size / 2;
            if (width <= 0 || width > 255) width = 255;
            p.type = QStringLiteral("NCHAR(%1)").arg(width);
            break;
        }
        case kMemo:
            p.type = QStringLiteral("MEMO");
            break;
        case kRepId:
            p.type = QStringLiteral("GUID");
            break;
        case kNumeric:
            // Up to four decimals a Decimal fits the currency type; more
            // decimals need the floating type.
            p.type = column.scale <= 4 ? QStringLiteral("CURRENCY") : QStringLiteral("DOUBLE");
            break;
        case kBinary:
            p.type = QStringLiteral("LONGBINARY");
            break;
        case kOle:
            p.carried = false;
            p.notCarried = QStringLiteral("ole");
            break;
        case kComplex:
            p.carried = false;
            p.notCarried = QStringLiteral("complex");
            break;
        default:
            p.carried = false;
            p.notCarried = QStringLiteral("unknown-type");
            break;
    }
    return p;
}

}  // namespace accessfile::detail
