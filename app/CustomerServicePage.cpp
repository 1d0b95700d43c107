#include "CustomerServicePage.h"

#include "ServiceSite.h"

CustomerServicePage::CustomerServicePage(const QUrl& site, QObject* parent)
    : QWebEnginePage(parent), m_site(site) {}

bool CustomerServicePage::Accepts(const QUrl& url) const {
    return ServiceSite::IsOnSite(url, m_site);
}

bool CustomerServicePage::acceptNavigationRequest(const QUrl& url, NavigationType, bool) {
    return Accepts(url);
}
