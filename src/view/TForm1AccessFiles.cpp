// Opening a genuine Access file: it is converted into a database of ours
// beside it (the user agrees and chooses the name), and that file opens as
// any database opens. Declining or a failed conversion changes nothing.
#include "accessfile/window/ConversionFlow.h"
#include "view/TForm1.h"

void TForm1::OpenGenuineAccessFile(const QString& file, const QString& table) {
    const QString filter = OpenDialog1.filter.isEmpty() ? AccessFilter : OpenDialog1.filter;
    const QString converted = accessfile::offerConversion(services_, this, file, filter);
    if (!converted.isEmpty()) OpenDatabase(converted, table);
}
