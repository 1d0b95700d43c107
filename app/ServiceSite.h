// What the customer-service site may be, and which pages are its own: the
// page comes from the configured site only over https and stays on that
// site. On a system where the program runs as root the web engine would
// need its sandbox switched off for a page from the Internet; there no page
// is shown inside the program.
#pragma once

#include <QUrl>

class ServiceSite {
public:
    // A site the program may take pages from: an https address with a host
    // and without user information.
    static bool IsSecureSite(const QUrl& site);
    // Whether `url` is an https page of `site` (same host and port).
    static bool IsOnSite(const QUrl& url, const QUrl& site);
    // Whether a remote page may be shown inside the program: not when the
    // process runs as root, where the web engine's sandbox cannot run.
    static bool CanShowInside();
};
