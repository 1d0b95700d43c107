// The customer-service page inside the window: it stays on the configured
// site (ServiceSite): a link or a script that leads elsewhere is refused,
// frames included, and no new window opens. Only in builds with the web
// engine.
#pragma once

#if defined(LUMARI_HAVE_WEBENGINE)

#include <QUrl>
#include <QWebEnginePage>

class CustomerServicePage : public QWebEnginePage {
    Q_OBJECT

public:
    CustomerServicePage(const QUrl& site, QObject* parent = nullptr);

    const QUrl& Site() const { return m_site; }
    // What the page answers a navigation to `url`.
    bool Accepts(const QUrl& url) const;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    QUrl m_site;
};

#endif
