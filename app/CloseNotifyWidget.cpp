#include "CloseNotifyWidget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSystemTrayIcon>

#include "FormParts.h"
#include "OptionWidget.h"
#include "Orvanta.h"

namespace {

const char* kTextStyle = "color: rgb(89,89,89); font: 12px '微软雅黑';";

}  // namespace

CloseNotifyWidget::CloseNotifyWidget(Orvanta* host)
    : QWidget(host, Qt::Tool | Qt::FramelessWindowHint), m_host(host) {
    setObjectName("CloseNotifyWidget");
    setWindowTitle(tr("关闭"));
    setAttribute(Qt::WA_TranslucentBackground);
    m_background = QPixmap(":/images/AppWindow/closenotifywgt.png");
    setFixedSize(m_background.isNull() ? QSize(300, 200) : m_background.size());

    FormParts::Label(this, "lblclosetitle", QRect(16, 9, 160, 22), QStringLiteral("Orvanta"));
    auto* close = FormParts::Button(this, "btnClose", QRect(width() - 34, 9, 24, 24));

    auto* notify = new QLabel(tr("您点击了关闭按钮 , 是想 :"), this);
    notify->setObjectName("lblNotify");
    notify->setGeometry(28, 50, width() - 56, 22);
    notify->setStyleSheet(kTextStyle);
    m_rbtnHide = new QRadioButton(tr("隐藏到托盘"), this);
    m_rbtnHide->setObjectName("rbtnhide");
    m_rbtnHide->setGeometry(40, 78, 110, 24);
    m_rbtnExit = new QRadioButton(tr("退出程序"), this);
    m_rbtnExit->setObjectName("rbtnexit");
    m_rbtnExit->setGeometry(160, 78, 110, 24);
    auto* group = new QButtonGroup(this);
    group->addButton(m_rbtnHide);
    group->addButton(m_rbtnExit);
    m_ckRunOnStart = new QCheckBox(tr("开机时启动热点"), this);
    m_ckRunOnStart->setObjectName("ckrunonstart");
    m_ckRunOnStart->setGeometry(40, 108, 200, 24);
    for (QWidget* w : {static_cast<QWidget*>(m_rbtnHide), static_cast<QWidget*>(m_rbtnExit),
                       static_cast<QWidget*>(m_ckRunOnStart)}) {
        w->setStyleSheet(kTextStyle);
        w->setCursor(Qt::PointingHandCursor);
    }

    const int bottom = height() - 44;
    m_ckDoNotAsk = new QCheckBox(tr("不再提醒"), this);
    m_ckDoNotAsk->setObjectName("ckclosenotifywgt");
    m_ckDoNotAsk->setGeometry(20, bottom + 4, 90, 24);
    m_ckDoNotAsk->setStyleSheet(kTextStyle);
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName("btnOk");
    ok->setGeometry(width() - 168, bottom, 70, 30);
    auto* cancel = new QPushButton(tr("关闭"), this);
    cancel->setObjectName("btnCancel");
    cancel->setGeometry(width() - 88, bottom, 70, 30);
    for (QPushButton* b : {ok, cancel})
        b->setCursor(Qt::PointingHandCursor);

    connect(m_rbtnHide, &QRadioButton::clicked, this, &CloseNotifyWidget::OnRadioBtnHideClicked);
    connect(m_rbtnExit, &QRadioButton::clicked, this, &CloseNotifyWidget::OnRadioBtnExitClicked);
    connect(m_ckRunOnStart, &QCheckBox::clicked, this,
            &CloseNotifyWidget::OnCkBtnRunOnStartClicked);
    connect(ok, &QPushButton::clicked, this, &CloseNotifyWidget::OnBtnOkClicked);
    connect(cancel, &QPushButton::clicked, this, &CloseNotifyWidget::OnBtnCancelClicked);
    connect(close, &QPushButton::clicked, this, &CloseNotifyWidget::OnBtnCloseClicked);

    m_ckRunOnStart->setChecked(true);
    SetChoice(1, true);
}

void CloseNotifyWidget::LoadFromConfig() {
    const WiFiConfig& config = m_host->Config();
    SetChoice(config.CloseAction(), !config.AskOnClose());
}

void CloseNotifyWidget::SetChoice(int closeAction, bool doNotAsk) {
    (closeAction == 1 ? m_rbtnHide : m_rbtnExit)->setChecked(true);
    m_ckDoNotAsk->setChecked(doNotAsk);
}

void CloseNotifyWidget::OnRadioBtnHideClicked() {
    m_host->Config().SetCloseAction(m_rbtnHide->isChecked() ? 1 : 0);
}

void CloseNotifyWidget::OnRadioBtnExitClicked() {
    m_host->Config().SetCloseAction(m_rbtnExit->isChecked() ? 0 : 1);
}

void CloseNotifyWidget::OnCkBtnRunOnStartClicked() {}

void CloseNotifyWidget::OnBtnOkClicked() {
    m_host->SetRunAtLogon(m_ckRunOnStart->isChecked());
    m_host->Config().SetAskOnClose(!m_ckDoNotAsk->isChecked());
    close();
    if (m_rbtnHide->isChecked()) {
        // Without a tray a hidden window could only come back through a
        // second start; it is minimised instead.
        if (QSystemTrayIcon::isSystemTrayAvailable())
            m_host->hide();
        else
            m_host->showMinimized();
        if (OptionWidget* options = m_host->OptionPanel())
            options->LoadFromConfig();
    } else {
        m_host->close();
    }
    m_ckRunOnStart->setChecked(true);
    m_host->SaveSettings();
}

void CloseNotifyWidget::OnBtnCancelClicked() {
    close();
}

void CloseNotifyWidget::OnBtnCloseClicked() {
    close();
}

void CloseNotifyWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_background);
}
