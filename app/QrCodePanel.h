// A panel over the client lists with the QR code of the hotspot: a phone's
// camera joins the network in one scan. Shown only when the user asks for it.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>

class QrCodePanel : public QWidget {
    Q_OBJECT

public:
    explicit QrCodePanel(QWidget* parent = nullptr);

    // Draws the code for the network; `wpa` false for a ten-digit WEP key.
    void SetNetwork(const QString& ssid, const QString& password, bool wpa);
    QString Payload() const { return m_payload; }
    const QImage& Code() const { return m_code; }

private:
    QLabel* m_lblCode;
    QLabel* m_lblName;
    QLabel* m_lblHint;
    QPushButton* m_btnClose;
    QString m_payload;
    QImage m_code;
};
