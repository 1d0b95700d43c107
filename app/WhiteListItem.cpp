#include "WhiteListItem.h"

#include <QPropertyAnimation>

#include "ClientControl.h"
#include "ClientRowHost.h"
#include "Common/LumariCore.h"

namespace {

const QPoint kNameNormal(72, 8);
const QPoint kNameLimit(72, -30);
const QPoint kSpeedNormal(72, 35);
const QPoint kSpeedLimit(72, 22);
const QPoint kSliderNormal(69, 51);
const QPoint kSliderLimit(69, 35);

QString SpeedText(int kb) {
    return WhiteListItem::tr("限速: %1 KB/S").arg(kb);
}

// A rate as the row shows it; the NAT driver's peer record carries bytes
// per second.
QString Rate(std::uint32_t bytesPerSecond) {
    const std::uint32_t kb = bytesPerSecond / 1024;
    if (kb < 1024)
        return QString::number(kb) + QStringLiteral("K/s");
    return QString::number(kb / 1024.0, 'f', 1) + QStringLiteral("M/s");
}

}  // namespace

WhiteListItem::WhiteListItem(const ClientInfo& client, const QString& name, const QImage& image,
                             ClientRowHost& host, bool withMenu, QWidget* parent)
    : ListWidgetItem(client, name, image, host, parent),
      m_lblSpeed(new QLabel(tr("不限速"), this)),
      m_lblTraffic(new QLabel(this)),
      m_slider(new UserSlider(this)),
      m_btnMore(new QPushButton(this)),
      m_menu(new QMenu(this)),
      m_actModify(new QAction(QIcon(":/images/AppWindow/menu-modify.PNG"), tr("修改备注"), this)),
      m_actMark(
          new QAction(QIcon(":/images/AppWindow/menu_mark_phone.png"), tr("标记为我的手机"), this)),
      m_layouts(new QParallelAnimationGroup(this)),
      m_lblMark(new QLabel(this)) {
    setObjectName("WhiteListItem");
    m_lblSpeed->setObjectName("lblSpeed");
    m_lblSpeed->setGeometry(QRect(kSpeedNormal, QSize(120, 14)));
    m_lblTraffic->setObjectName("lblTraffic");
    m_lblTraffic->setGeometry(196, 12, 74, 14);
    m_lblTraffic->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_slider->setObjectName("sliderCtrlSpeed");
    m_slider->setGeometry(QRect(kSliderNormal, QSize(200, 14)));
    m_btnMore->setObjectName("btnMore");
    m_btnMore->setFlat(true);
    m_btnMore->setFixedSize(13, 13);
    m_btnMore->move(278, 20);
    m_btnMore->setCursor(Qt::PointingHandCursor);
    m_btnMore->setToolTip(tr("更多选项"));
    m_menu->setObjectName("rowmenu");
    m_lblMark->setObjectName("lblmark");
    m_lblMark->setGeometry(40, 32, 16, 16);
    m_lblMark->setPixmap(QPixmap(":/images/AppWindow/menu_mark_phone.png")
                             .scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    m_lblMark->hide();

    connect(m_actModify, &QAction::triggered, this, &WhiteListItem::OnActionModify);
    if (withMenu) {
        QAction* limit =
            m_menu->addAction(QIcon(":/images/AppWindow/menu-limitspeed.PNG"), tr("限速管理"));
        connect(limit, &QAction::triggered, this, &WhiteListItem::OnActionLimitSpeed);
        QAction* black =
            m_menu->addAction(QIcon(":/images/AppWindow/menu-black.PNG"), tr("拉入黑名单"));
        connect(black, &QAction::triggered, this, &WhiteListItem::OnActionBlack);
        m_actMark->setObjectName("act_mark_phone");
        m_actMark->setCheckable(true);
        m_menu->addAction(m_actMark);
        connect(m_actMark, &QAction::triggered, this, &WhiteListItem::OnActionMark);
    } else {
        m_btnMore->hide();
    }
    connect(m_btnMore, &QPushButton::clicked, this, &WhiteListItem::OnBtnbtnMoreClicked);
    connect(m_slider, &QSlider::valueChanged, this, &WhiteListItem::OnSliderChange);
    connect(this, &ListWidgetItem::MouseLeave, this, &WhiteListItem::OnMouseLeave);

    if (CLumariCore* core = m_host.Core())
        if (const int held = ClientControl(*core).HeldLimit(m_mac); held != 0)
            ShowLimit(held);
    Update(client);
}

void WhiteListItem::Update(const ClientInfo& client) {
    const QString shown = QStringLiteral("↓") + Rate(client.downRate);
    if (shown != m_trafficShown) {
        m_trafficShown = shown;
        m_lblTraffic->setText(shown);
    }
    const QString tip = QString::fromStdWString(client.ip) + QStringLiteral("  ") + MacText();
    if (m_lblTraffic->toolTip() != tip)
        m_lblTraffic->setToolTip(tip);
}

void WhiteListItem::SetMarked(bool on) {
    m_marked = on;
    m_lblMark->setVisible(on);
}

void WhiteListItem::OnBtnbtnMoreClicked() {
    m_actMark->setChecked(m_host.IsAuthorisedPhone(m_mac));
    if (!m_menu->isEmpty())
        m_menu->exec(m_btnMore->mapToGlobal(QPoint(0, m_btnMore->height())));
}

void WhiteListItem::OnActionModify() {
    StartRename();
}

void WhiteListItem::OnActionLimitSpeed() {
    m_pending = true;
    SwitchLayout(true);
}

void WhiteListItem::OnActionBlack() {
    m_host.MoveToBlackList(this);
}

void WhiteListItem::OnActionMark(bool on) {
    m_host.MarkAsPhone(m_mac, on);
}

void WhiteListItem::OnSliderChange(int v) {
    if (v == 0) {
        // The slider's lowest limit is 1 %: raising it re-enters this slot.
        m_slider->setValue(1);
        return;
    }
    if (v == 100)
        m_lblSpeed->setText(tr("不限速"));
    else
        m_lblSpeed->setText(SpeedText(KbOf(v)));
}

void WhiteListItem::OnMouseLeave() {
    if (!m_pending)
        return;
    m_pending = false;
    const int value = m_slider->value();
    if (CLumariCore* core = m_host.Core()) {
        ClientControl control(*core);
        const ClientControl::Outcome outcome = control.Limit(m_mac, value >= 100 ? 0 : KbOf(value));
        if (outcome != ClientControl::Outcome::Done) {
            // The row shows what holds, not what was asked for.
            ShowLimit(control.HeldLimit(m_mac));
            m_host.ShowNotice(ClientControl::LimitText(outcome), {});
        }
    }
    SwitchLayout(false);
}

void WhiteListItem::ShowLimit(int kb) {
    const QSignalBlocker block(m_slider);
    if (kb <= 0) {
        m_slider->setValue(100);
        m_lblSpeed->setText(tr("不限速"));
    } else {
        m_slider->setValue(static_cast<int>(kb / 1024.0 * 100));
        m_lblSpeed->setText(SpeedText(kb));
    }
}

void WhiteListItem::SwitchLayout(bool limit) {
    m_layouts->stop();
    m_layouts->clear();
    auto move = [this](QWidget* w, QPoint to, int ms, QEasingCurve curve) {
        auto* a = new QPropertyAnimation(w, "pos", m_layouts);
        a->setDuration(ms);
        a->setStartValue(w->pos());
        a->setEndValue(to);
        a->setEasingCurve(curve);
        m_layouts->addAnimation(a);
    };
    move(m_txtusername, limit ? kNameLimit : kNameNormal, 200, QEasingCurve::Linear);
    move(m_lblSpeed, limit ? kSpeedLimit : kSpeedNormal, 500, QEasingCurve::OutExpo);
    move(m_slider, limit ? kSliderLimit : kSliderNormal, 500, QEasingCurve::OutExpo);
    m_layouts->start();
}
