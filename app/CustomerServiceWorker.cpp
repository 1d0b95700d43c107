#include "CustomerServiceWorker.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

CustomerServiceWorker::CustomerServiceWorker(const QString& site, int code)
    : m_site(site), m_code(code) {}

void CustomerServiceWorker::start() {
    m_manager = new QNetworkAccessManager(this);
    connect(m_manager, &QNetworkAccessManager::finished, this,
            &CustomerServiceWorker::readSwitcher);
    QNetworkRequest request(QUrl(m_site + QStringLiteral("/switcher.html")));
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply* reply = m_manager->get(request);
    // A switch page is a few bytes; a server that sends more is not heard.
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxSwitcherBytes)
            reply->abort();
    });
}

void CustomerServiceWorker::readSwitcher(QNetworkReply* reply) {
    const bool complete = reply->error() == QNetworkReply::NoError;
    const QByteArray body = complete ? reply->read(kMaxSwitcherBytes) : QByteArray();
    reply->deleteLater();
    if (body.contains("show_cscenter"))
        emit loadPage(m_site + QStringLiteral("/index.html?error_code=") + QString::number(m_code));
    emit finished();
}
