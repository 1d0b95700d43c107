#include "BlackListItem.h"

#include "ClientRowHost.h"

BlackListItem::BlackListItem(const ClientInfo& client, const QString& name, const QImage& image,
                             ClientRowHost& host, QWidget* parent)
    : ListWidgetItem(client, name, image, host, parent),
      m_btnRemove(new QPushButton(tr("从黑名单中移除"), this)) {
    setObjectName("BlackListItem");
    m_txtusername->resize(104, m_txtusername->height());
    m_txtusername->move(72, 15);
    m_btnRemove->setObjectName("btnRemove");
    m_btnRemove->setGeometry(182, 14, 108, 24);
    m_btnRemove->setCursor(Qt::PointingHandCursor);
    connect(m_btnRemove, &QPushButton::clicked, this, &BlackListItem::OnBtnRemoveClicked);
}

void BlackListItem::OnBtnRemoveClicked() {
    m_host.MoveToClientList(this);
}
