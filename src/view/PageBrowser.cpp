#include "view/PageBrowser.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/Services.h"

namespace view {

#ifdef TESMORA_HAVE_WEBENGINE
std::unique_ptr<PageBrowser> makeWebEnginePageBrowser();
#endif

QUrl searchPageUrl() { return QUrl(QStringLiteral("https://www.google.co.jp/")); }

std::unique_ptr<PageBrowser> makePageBrowser(platform::Services& services) {
#ifdef TESMORA_HAVE_WEBENGINE
    return makeWebEnginePageBrowser();
#else
    return std::make_unique<DesktopPageBrowser>(services);
#endif
}

DesktopPageBrowser::DesktopPageBrowser(platform::Services& services, QWidget* parent)
    : PageBrowser(parent), services_(services) {
    auto* note = new QLabel(QStringLiteral("ページは既定のブラウザで開きます。\n"
                                           "見つけたページのアドレスを上の欄に貼り付けてください。"),
                            this);
    note->setAlignment(Qt::AlignCenter);
    note->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
}

void DesktopPageBrowser::navigate(const QUrl& url) {
    // Only web pages go to the desktop from here; the address box is free
    // text and must not open local files or programs.
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) return;
    if (services_.openExternally(url)) emit loaded(url);
}

}  // namespace view
