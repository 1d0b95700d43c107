#include "QrCodePanel.h"

#include "WiFiQrCode.h"
#include "platform/Backend.h"
#include "platform/Platform.h"

QrCodePanel::QrCodePanel(QWidget* parent)
    : QWidget(parent),
      m_lblCode(new QLabel(this)),
      m_lblName(new QLabel(this)),
      m_lblHint(new QLabel(tr("用手机相机扫一扫，即可连接WiFi"), this)),
      m_btnClose(new QPushButton(this)) {
    setObjectName("qrpanel");
    setAttribute(Qt::WA_StyledBackground);
    resize(318, 238);
    m_lblCode->setObjectName("lblqrcode");
    m_lblCode->setGeometry(89, 14, 140, 140);
    m_lblCode->setAlignment(Qt::AlignCenter);
    m_lblName->setObjectName("lblqrname");
    m_lblName->setGeometry(14, 162, 290, 22);
    m_lblName->setAlignment(Qt::AlignCenter);
    m_lblName->setTextFormat(Qt::PlainText);
    m_lblHint->setObjectName("lblqrhint");
    m_lblHint->setGeometry(14, 188, 290, 20);
    m_lblHint->setAlignment(Qt::AlignCenter);
    m_btnClose->setObjectName("btnqrclose");
    m_btnClose->setGeometry(290, 8, 18, 18);
    m_btnClose->setToolTip(tr("收起二维码"));
    m_btnClose->setCursor(Qt::PointingHandCursor);
    connect(m_btnClose, &QPushButton::clicked, this, &QWidget::hide);
}

void QrCodePanel::SetNetwork(const QString& ssid, const QString& password, bool wpa) {
    // A WPA3-only network says SAE: phones then join it with WPA3.
    const QString type = !wpa ? QStringLiteral("WEP")
                         : plat::Platform::Current().AccessPointSecurity() == "wpa3"
                             ? QStringLiteral("SAE")
                             : QStringLiteral("WPA");
    const QString payload = WiFiQrCode::TypedPayload(ssid, password, type);
    if (payload == m_payload)
        return;
    m_payload = payload;
    m_code = WiFiQrCode::Render(payload, 140);
    m_lblCode->setPixmap(QPixmap::fromImage(m_code));
    m_lblName->setText(ssid);
}
