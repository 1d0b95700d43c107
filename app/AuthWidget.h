// The device-authorisation dialog: which phone may send commands to this PC
// (one at a time, the latest marked), and the QR code of the phone app's
// download page.
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class QLabel;

class AuthWidget : public QDialog {
    Q_OBJECT

public:
    static constexpr int kQrSide = 90;
    // The download page when the settings name none.
    static constexpr const char* kDefaultDownloadPage = "https://www.orvanta.com/download/mobile";

    // `downloadPage`: the address the QR code carries (the default page when
    // empty); `authorisedId`: the phone authorised now (empty: none).
    AuthWidget(const QString& downloadPage, const QByteArray& authorisedId,
               QWidget* parent = nullptr);

    // Shows `identity` as the authorised phone; empty: none.
    void Update(const QByteArray& identity);
    // The address the QR code carries.
    QString Payload() const { return m_payload; }

public slots:
    void on_btn_auth_close_clicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_payload;
    QLabel* m_lblDev = nullptr;
    QLabel* m_lblName = nullptr;
};
