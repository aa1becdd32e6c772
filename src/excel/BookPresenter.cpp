#include "excel/BookPresenter.h"

#include "excel/Error.h"

namespace excel {

namespace {
PresenterFactory& factory() {
    static PresenterFactory f;
    return f;
}
}  // namespace

void setPresenterFactory(PresenterFactory f) {
    factory() = std::move(f);
}
bool hasPresenterFactory() {
    return static_cast<bool>(factory());
}

std::unique_ptr<BookPresenter> createPresenter(Workbook& book) {
    if (!factory())
        throw Error(
            ErrorCode::NoPresenter,
            QStringLiteral("no sheet window is available to show, print or select in a workbook"));
    auto p = factory()(book);
    if (!p)
        throw Error(ErrorCode::NoPresenter,
                    QStringLiteral("the sheet window could not be created"));
    return p;
}

}  // namespace excel
