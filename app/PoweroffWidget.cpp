#include "PoweroffWidget.h"

#include <QDateTime>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStyleOption>

#include "ClockTimer.h"
#include "FormParts.h"
#include "platform/Backend.h"
#include "platform/Platform.h"

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 214;

}  // namespace

PoweroffWidget::PoweroffWidget(QWidget* parent) : QDialog(parent) {
    setObjectName("PoweroffWidget");
    setWindowTitle("Poweroff");
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedSize(kWidth, kHeight);

    auto label = [this](const char* name, QRect geometry, const QString& text = {}) {
        return FormParts::Label(this, name, geometry, text);
    };
    auto button = [this](const char* name, QRect geometry, const QString& text = {}) {
        return FormParts::Button(this, name, geometry, text);
    };
    auto box = [this](const char* name, QRect geometry, int maximum) {
        auto* b = new QSpinBox(this);
        b->setObjectName(name);
        b->setGeometry(geometry);
        b->setRange(0, maximum);
        b->setAlignment(Qt::AlignCenter);
        return b;
    };

    auto* top = label("lblTopBg", QRect(0, 0, kWidth, 40));
    top->setAttribute(Qt::WA_TransparentForMouseEvents);
    label("lblTitleIcon", QRect(14, 10, 20, 20));
    label("lblTitle", QRect(40, 9, 220, 22), tr("Orvanta - 定时关机"));
    button("btnClose", QRect(kWidth - 36, 10, 20, 20))->setToolTip(tr("关闭"));

    label("lblPoweroffTip", QRect(24, 64, 84, 26), tr("关机倒计时："));
    m_spbxHour = box("spbxHour", QRect(108, 64, 58, 26), kMaxHours);
    label("lblHour", QRect(170, 64, 32, 26), tr("小时"));
    m_spbxMin = box("spbxMin", QRect(204, 64, 46, 26), 59);
    label("lblMin", QRect(254, 64, 32, 26), tr("分钟"));
    m_spbxSec = box("spbxSec", QRect(288, 64, 46, 26), 59);
    label("lblSec", QRect(338, 64, 16, 26), tr("秒"));
    label("lblPoweroffTime", QRect(24, 104, 84, 26), tr("关机时间："));
    m_lblTip = label("lblTip", QRect(108, 104, 230, 26));

    m_btnPoweroffOk =
        button("btnPoweroffOk", QRect((kWidth - 110) / 2, kHeight - 46, 110, 32), tr("开始"));
    m_btnPoweroffCancel =
        button("btnPoweroffCancel", QRect((kWidth - 110) / 2, kHeight - 46, 110, 32), tr("停止"));
    m_btnPoweroffCancel->hide();

    // An hour unless the user or the phone says otherwise.
    m_spbxHour->setValue(1);
    m_timer = new ClockTimer(this);
    connect(m_timer, &ClockTimer::timeout, this, &PoweroffWidget::ChangeTime);
    for (QSpinBox* b : {m_spbxHour, m_spbxMin, m_spbxSec})
        connect(b, &QSpinBox::valueChanged, this, &PoweroffWidget::ChangeCurrentTime);
    QMetaObject::connectSlotsByName(this);
    ChangeCurrentTime(0);
}

void PoweroffWidget::SetSeconds(std::uint64_t seconds) {
    const std::uint64_t most = static_cast<std::uint64_t>(kMaxHours) * 3600 + 59 * 60 + 59;
    if (seconds > most)
        seconds = most;
    const auto hours = static_cast<int>(seconds / 3600);
    const auto minutes =
        static_cast<int>((seconds - static_cast<std::uint64_t>(hours) * 3600) / 60);
    const auto rest = static_cast<int>(seconds % 60);
    m_spbxHour->setValue(hours);
    m_spbxMin->setValue(minutes);
    m_spbxSec->setValue(rest);
    // The boxes may have held these values already.
    ChangeCurrentTime(0);
}

void PoweroffWidget::Refresh() {
    ChangeCurrentTime(0);
}

void PoweroffWidget::ChangeCurrentTime(int) {
    if (!m_stopped)
        return;
    m_remaining = static_cast<std::int64_t>(m_spbxHour->value()) * 3600 +
                  static_cast<std::int64_t>(m_spbxMin->value()) * 60 + m_spbxSec->value();
    const qint64 now = plat::Platform::Current().Time().UnixSeconds();
    const QDateTime today = QDateTime::fromSecsSinceEpoch(now);
    const QDateTime moment = QDateTime::fromSecsSinceEpoch(now + m_remaining);
    const QString day = moment.date() == today.date() ? tr("今天") : tr("明天");
    m_lblTip->setText(QStringLiteral("%1 %2:%3:%4")
                          .arg(day)
                          .arg(moment.time().hour())
                          .arg(moment.time().minute(), 2, 10, QLatin1Char('0'))
                          .arg(moment.time().second(), 2, 10, QLatin1Char('0')));
}

void PoweroffWidget::on_btnPoweroffOk_clicked() {
    m_btnPoweroffOk->hide();
    m_btnPoweroffCancel->show();
    for (QSpinBox* b : {m_spbxHour, m_spbxMin, m_spbxSec})
        b->setEnabled(false);
    m_stopped = false;
    m_timer->start(1000);
}

void PoweroffWidget::ChangeTime() {
    --m_remaining;
    const std::int64_t shown = m_remaining > 0 ? m_remaining : 0;
    const auto hours = static_cast<int>(shown / 3600);
    m_spbxHour->setValue(hours);
    m_spbxMin->setValue(static_cast<int>((shown - static_cast<std::int64_t>(hours) * 3600) / 60));
    m_spbxSec->setValue(static_cast<int>(shown % 60));
    if (m_remaining <= 0) {
        m_timer->stop();
        // Should the power-off not happen, the dialog is ready for another
        // countdown rather than stuck in this one.
        ShowStopped();
        emit Poweroff();
        return;
    }
    if (m_remaining == 60)
        show();  // a minute's warning
}

void PoweroffWidget::ShowStopped() {
    m_btnPoweroffCancel->hide();
    m_btnPoweroffOk->show();
    for (QSpinBox* b : {m_spbxHour, m_spbxMin, m_spbxSec})
        b->setEnabled(true);
    m_stopped = true;
    m_timer->stop();
}

void PoweroffWidget::on_btnPoweroffCancel_clicked() {
    ShowStopped();
}

void PoweroffWidget::Cancel() {
    ShowStopped();
    close();
}

void PoweroffWidget::on_btnClose_clicked() {
    hide();  // a running countdown goes on
}

void PoweroffWidget::paintEvent(QPaintEvent*) {
    // The style sheet's frame image for the dialog itself.
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}
