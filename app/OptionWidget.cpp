#include "OptionWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>

#include "FormParts.h"
#include "Orvanta.h"
#include "SystemTray.h"
#include "platform/Backend.h"
#include "platform/Platform.h"

namespace {

const char* kLabelStyle = "color: rgb(89,89,89); font: 12px '微软雅黑';";

}  // namespace

OptionWidget::OptionWidget(Orvanta* host)
    : QWidget(host, Qt::Tool | Qt::FramelessWindowHint), m_host(host) {
    setObjectName("option_widget");
    setWindowTitle(tr("设置"));
    setAttribute(Qt::WA_TranslucentBackground);
    m_background = QPixmap(":/images/AppWindow/optionbkground.png");
    setFixedSize(m_background.isNull() ? QSize(300, 232) : m_background.size());

    FormParts::Label(this, "lbloptiontitle", QRect(16, 9, 160, 22), tr("设置"));
    auto* close = FormParts::Button(this, "btnclose", QRect(width() - 34, 9, 24, 24));
    close->setToolTip(tr("关闭"));

    auto box = [this](const char* name, int y, const QString& text) {
        auto* b = new QCheckBox(text, this);
        b->setObjectName(name);
        b->setGeometry(28, y, width() - 56, 24);
        b->setCursor(Qt::PointingHandCursor);
        b->setStyleSheet(kLabelStyle);
        return b;
    };
    m_ckRunOnStart = box("ckrunonstart", 52, tr("开机自动启动"));
    m_ckForbidSleep = box("ckforbidsleep", 80, tr("WiFi开启时禁止机器休眠"));
    m_ckNotifyOnClose = box("cknotifyonclose", 108, tr("关闭时提示"));
    m_ckNewDevice = box("cknewdevice", 136, tr("新设备加入时提醒"));
    m_ckNewDevice->setChecked(true);

    auto* price = new QLabel(tr("单位流量费用:"), this);
    price->setObjectName("lblmoneyperm");
    price->setGeometry(28, 166, 90, 24);
    price->setStyleSheet(kLabelStyle);
    m_txtmoneyperm = new QLineEdit(this);
    m_txtmoneyperm->setObjectName("txtmoneyperm");
    m_txtmoneyperm->setGeometry(120, 166, 64, 24);
    auto* unit = new QLabel(tr("元/MB"), this);
    unit->setObjectName("lblmoneyunit");
    unit->setGeometry(190, 166, 50, 24);
    unit->setStyleSheet(kLabelStyle);
    m_lblError = new QLabel(tr("输入的数据必须大于0小于2"), this);
    m_lblError->setObjectName("lblmoneyerror");
    m_lblError->setGeometry(28, 196, width() - 56, 22);
    m_lblError->setStyleSheet("color: rgb(255,0,0); font: 12px '微软雅黑';");
    m_lblError->hide();

    connect(close, &QPushButton::clicked, this, &OptionWidget::OnBtnCloseClicked);
    connect(m_ckRunOnStart, &QCheckBox::clicked, this, &OptionWidget::OnCKRunOnStartClicked);
    connect(m_ckForbidSleep, &QCheckBox::clicked, this, &OptionWidget::OnCkForbidSleepClicked);
    connect(m_ckNotifyOnClose, &QCheckBox::clicked, this, &OptionWidget::OnCKNotifyOnCloseClicked);
    connect(m_ckNewDevice, &QCheckBox::clicked, this, &OptionWidget::OnCkNewDeviceClicked);
    connect(m_txtmoneyperm, &QLineEdit::editingFinished, this, &OptionWidget::OnTextEdited);
    SetBoxes(false, false, true);
    m_txtmoneyperm->setText(QString::number(kDefaultPrice, 'f', 1));
}

void OptionWidget::LoadFromConfig() {
    const WiFiConfig& config = m_host->Config();
    SetBoxes(config.RunAtLogon(), config.ForbidSleep(), config.AskOnClose());
    m_ckNewDevice->setChecked(config.NewDeviceAlerts());
    m_txtmoneyperm->setText(QString::number(config.Price(), 'f', 1));
    m_lblError->hide();
}

void OptionWidget::SetBoxes(bool runAtLogon, bool forbidSleep, bool askOnClose) {
    m_ckRunOnStart->setChecked(runAtLogon);
    m_ckForbidSleep->setChecked(forbidSleep);
    m_ckNotifyOnClose->setChecked(askOnClose);
}

void OptionWidget::ShowRunAtLogon(bool on) {
    m_ckRunOnStart->setChecked(on);
}

bool OptionWidget::ForbidSleepTicked() const {
    return m_ckForbidSleep->isChecked();
}

void OptionWidget::OnBtnCloseClicked() {
    bool ok = false;
    double price = m_txtmoneyperm->text().toDouble(&ok);
    if (!ok || price > 2 || price <= 0)
        price = kDefaultPrice;
    m_host->Config().SetPrice(price);
    m_host->SaveSettings();
    close();
}

void OptionWidget::OnBtnShowAuthClicked() {
    m_host->ShowAuthWidget();
}

void OptionWidget::OnCKRunOnStartClicked() {
    m_host->SetRunAtLogon(m_ckRunOnStart->isChecked());
}

void OptionWidget::OnCkForbidSleepClicked() {
    const bool on = m_ckForbidSleep->isChecked();
    m_host->Config().SetForbidSleep(on);
    plat::Platform::Current().Session().KeepAwake(on);
}

void OptionWidget::OnCKNotifyOnCloseClicked() {
    m_host->Config().SetAskOnClose(m_ckNotifyOnClose->isChecked());
}

void OptionWidget::OnCkNewDeviceClicked() {
    m_host->Config().SetNewDeviceAlerts(m_ckNewDevice->isChecked());
    m_host->Tray()->SetNewDeviceAlerts(m_ckNewDevice->isChecked());
}

void OptionWidget::OnTextEdited() {
    static const QRegularExpression pattern(QStringLiteral("^[0-9]+(\\.[0-9]*)?$"));
    const QString text = m_txtmoneyperm->text();
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (pattern.match(text).hasMatch() && ok && value > 0 && value < 2) {
        m_lblError->hide();
        return;
    }
    m_txtmoneyperm->setText(QString::number(kDefaultPrice, 'f', 1));
    m_txtmoneyperm->selectAll();
    m_lblError->show();
}

void OptionWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}
