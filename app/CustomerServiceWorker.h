// One check of the customer-service site after a failed start: on a thread
// of its own it fetches the site's "/switcher.html"; when that page holds
// "show_cscenter", it asks the window to show the help page for the failure
// code. No answer, an unreachable site or a page without the word: nothing
// happens. The switch page is read up to kMaxSwitcherBytes; a larger one
// counts as off.
#pragma once

#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

class CustomerServiceWorker : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 kMaxSwitcherBytes = 64 * 1024;
    static constexpr int kTimeoutMs = 15000;

    CustomerServiceWorker(const QString& site, int code);

signals:
    void loadPage(QString url);
    // The check is over, with or without a page.
    void finished();

public slots:
    void start();
    void readSwitcher(QNetworkReply* reply);

private:
    QString m_site;
    int m_code;
    QNetworkAccessManager* m_manager = nullptr;
};
