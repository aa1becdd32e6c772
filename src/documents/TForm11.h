#pragma once
// "文書編集": the card view's window. It is never shown itself; it holds one
// card view's state while the record is shown in the sheet window, and the
// outcome of the last one for whoever asks afterwards.
#include <QWidget>

#include "documents/CardView.h"

namespace db {
class DataSet;
}
namespace platform {
class Services;
}

class TForm11 : public QWidget {
    Q_OBJECT
public:
    explicit TForm11(platform::Services& services, QWidget* parent = nullptr);

    // The bindable fields of the table whose record is shown, during a card view.
    documents::FieldList FieldList;
    // How the last card view ended.
    documents::CardResult LastResult;

    // Shows the current record of record through the card document of job
    // and writes the user's saved changes back (see runCardView). The owner
    // window stays disabled until the sheet window closes.
    void Execute(const documents::CardJob& job, db::DataSet& record, const QString& progId);

private:
    platform::Services& services_;
};
