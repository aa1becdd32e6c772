#include "documents/TForm11.h"

#include "platform/Services.h"

TForm11::TForm11(platform::Services& services, QWidget* parent)
    : QWidget(parent), services_(services) {
    setObjectName(QStringLiteral("Form11"));
    setWindowTitle(QStringLiteral("文書編集"));
    setWindowFlag(Qt::Window);
    hide();
}

void TForm11::Execute(const documents::CardJob& job, db::DataSet& record, const QString& progId) {
    FieldList = job.fields;
    LastResult = {};
    // The list lives only as long as the card view it belongs to.
    struct Release {
        documents::FieldList& list;
        ~Release() { list.clear(); }
    } release{FieldList};
    LastResult = documents::runCardView(job, record, progId, services_, parentWidget());
}
