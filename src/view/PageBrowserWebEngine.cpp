// Built only when Qt WebEngine is installed (see CMakeLists.txt).
#include <QWebEngineHistory>
#include <QWebEngineView>
#include <QVBoxLayout>

#include <unistd.h>

#include "view/PageBrowser.h"

namespace view {

namespace {

class WebEnginePageBrowser : public PageBrowser {
public:
    WebEnginePageBrowser() {
        view_ = new QWebEngineView(this);
        view_->setObjectName(QStringLiteral("CppWebBrowser1"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(view_);
        connect(view_, &QWebEngineView::loadFinished, this, [this](bool) { emit loaded(view_->url()); });
    }
    void back() override { view_->back(); }
    void forward() override { view_->forward(); }
    void goSearchPage() override { view_->load(searchPageUrl()); }
    void navigate(const QUrl& url) override { view_->load(url); }

private:
    QWebEngineView* view_;
};

}  // namespace

std::unique_ptr<PageBrowser> makeWebEnginePageBrowser() {
    // The engine's sandbox refuses to run as root (as in CI containers);
    // it must be switched off before the first view starts the engine.
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    return std::make_unique<WebEnginePageBrowser>();
}

}  // namespace view
