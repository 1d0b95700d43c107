#include "AuthWidget.h"

#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>

#include "FormParts.h"
#include "WiFiQrCode.h"

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 318;
const char* kTextStyle = "color: rgb(89,89,89); font: 12px '微软雅黑';";

}  // namespace

AuthWidget::AuthWidget(const QString& downloadPage, const QByteArray& authorisedId, QWidget* parent)
    : QDialog(parent) {
    setObjectName("AuthWidget");
    setWindowTitle(tr("Orvanta - 设备授权"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(kWidth, kHeight);

    auto label = [this](const char* name, QRect geometry, const QString& text = {}) {
        return FormParts::Label(this, name, geometry, text);
    };
    auto image = [&label](const char* name, QRect geometry, const char* file) {
        QLabel* l = label(name, geometry);
        l->setPixmap(QPixmap(QString::fromLatin1(file)));
        l->setScaledContents(true);
        return l;
    };

    image("lbl_auth_logo", QRect(14, 12, 20, 20), ":/images/AuthWidget/title_icon.png");
    label("lbl_auth_tittle", QRect(40, 10, 240, 24), tr("Orvanta - 设备授权"));
    FormParts::Button(this, "btn_auth_close", QRect(kWidth - 34, 12, 20, 20));

    image("lbl_auth_tip_logo", QRect(22, 60, 14, 14), ":/images/AuthWidget/tip_logo.png");
    QLabel* tip =
        label("lbl_auth_tip", QRect(42, 56, kWidth - 62, 40),
              tr("PC端每次只能授权一台设备，且以最近一次授权为准，前一次的授权会自动失效"));
    image("lbl_auth_tip_logo2", QRect(22, 104, 14, 14), ":/images/AuthWidget/tip_logo.png");
    QLabel* tip2 =
        label("lbl_auth_tip2", QRect(42, 100, kWidth - 62, 40),
              tr("授权移动设备后，可在该设备上扫描下面的二维码，下载 Orvanta移动端，探索更多功能"));
    for (QLabel* l : {tip, tip2}) {
        l->setWordWrap(true);
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setStyleSheet(kTextStyle);
    }
    image("lbl_auth_separator", QRect(20, 148, kWidth - 40, 2),
          ":/images/AuthWidget/separator.png");
    m_lblDev = label("lbl_auth_dev", QRect(22, 160, 110, 22));
    m_lblName = label("lbl_auth_name", QRect(134, 160, kWidth - 156, 22));
    m_lblName->setTextFormat(Qt::PlainText);
    m_lblDev->setStyleSheet(kTextStyle);

    // The QR code of the download page on its frame.
    QLabel* frame = image("lbl_auth_qr_bg", QRect((kWidth - 110) / 2, 192, 110, 110),
                          ":/images/AuthWidget/qr_bg.png");
    frame->lower();
    QLabel* qr = label("lbl_auth_qr", QRect((kWidth - kQrSide) / 2, 202, kQrSide, kQrSide));
    m_payload = downloadPage.isEmpty() ? QString::fromLatin1(kDefaultDownloadPage) : downloadPage;
    const QImage code = WiFiQrCode::Encode(m_payload);
    if (!code.isNull())
        qr->setPixmap(QPixmap::fromImage(
            code.convertToFormat(QImage::Format_Mono)
                .scaled(kQrSide, kQrSide, Qt::IgnoreAspectRatio, Qt::FastTransformation)));

    QMetaObject::connectSlotsByName(this);
    m_lblName->setText(QString::fromLatin1(authorisedId));
    if (authorisedId.isEmpty())
        m_lblDev->setText(tr("当前无授权设备"));
    else
        m_lblDev->setText(tr("当前已授权设备："));
}

void AuthWidget::Update(const QByteArray& identity) {
    if (identity.isEmpty()) {
        m_lblDev->setText(tr("当前无授权设备"));
        m_lblName->clear();
    } else {
        m_lblDev->setText(tr("当前已授权设备："));
        m_lblName->setText(QString::fromLatin1(identity));
    }
}

void AuthWidget::on_btn_auth_close_clicked() {
    close();
}

void AuthWidget::paintEvent(QPaintEvent*) {
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
