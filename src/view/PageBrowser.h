#pragma once
// The browser inside the URL window. With Qt WebEngine it is an embedded web
// view; without it the desktop's own browser shows the pages and this widget
// only says so. The URL window talks to either through this interface.
#include <QUrl>
#include <QWidget>

#include <memory>

namespace platform {
class Services;
}

namespace view {

class PageBrowser : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void back() = 0;
    virtual void forward() = 0;
    virtual void goSearchPage() = 0;
    virtual void navigate(const QUrl& url) = 0;

signals:
    // A page finished loading; url is where the browser now stands (after
    // any redirect).
    void loaded(const QUrl& url);
};

// The page the search button leads to.
QUrl searchPageUrl();

// The embedded browser when the build has one, else the desktop fallback.
std::unique_ptr<PageBrowser> makePageBrowser(platform::Services& services);

// Hands every page to the desktop's browser; back and forward have no
// history of their own here.
class DesktopPageBrowser : public PageBrowser {
    Q_OBJECT
public:
    explicit DesktopPageBrowser(platform::Services& services, QWidget* parent = nullptr);
    void back() override {}
    void forward() override {}
    void goSearchPage() override { navigate(searchPageUrl()); }
    void navigate(const QUrl& url) override;

private:
    platform::Services& services_;
};

}  // namespace view
