#include "ServiceSite.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

bool ServiceSite::IsSecureSite(const QUrl& site) {
    return site.isValid() && site.scheme() == QStringLiteral("https") && !site.host().isEmpty() &&
           site.userInfo().isEmpty();
}

bool ServiceSite::IsOnSite(const QUrl& url, const QUrl& site) {
    return IsSecureSite(site) && IsSecureSite(url) &&
           url.host().compare(site.host(), Qt::CaseInsensitive) == 0 &&
           url.port(443) == site.port(443);
}

bool ServiceSite::CanShowInside() {
#if defined(_WIN32)
    return true;
#else
    return geteuid() != 0;
#endif
}
