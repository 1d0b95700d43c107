#include "ListWidget.h"

#include <QPropertyAnimation>

namespace {
constexpr int kAddMs = 300;
constexpr int kRemoveMs = 1000;
}  // namespace

ListWidget::ListWidget(QWidget* parent) : QWidget(parent) {
    setObjectName("ListWidget");
    resize(ListWidgetItem::kWidth, 0);
}

QPoint ListWidget::PlaceOf(int position) const {
    return QPoint(0, position * ListWidgetItem::kHeight);
}

QList<ListWidgetItem*> ListWidget::Items() const {
    QList<ListWidgetItem*> items;
    for (ListWidgetItem* row : m_rows)
        if (!row->IsRemoving())
            items.append(row);
    return items;
}

void ListWidget::Resize() {
    // Leaving rows keep their place until they are gone.
    int bottom = 0;
    for (ListWidgetItem* row : m_rows)
        bottom = qMax(bottom, row->y() + row->height());
    const int rows = static_cast<int>(Items().size()) * ListWidgetItem::kHeight;
    resize(ListWidgetItem::kWidth, qMax(bottom, rows));
}

QPropertyAnimation* ListWidget::Move(ListWidgetItem* row, QPoint to, int ms) {
    if (QPointer<QPropertyAnimation> running = m_moves.value(row); running)
        running->stop();  // DeleteWhenStopped: it goes
    auto* move = new QPropertyAnimation(row, "pos", row);
    move->setDuration(ms);
    move->setStartValue(row->pos());
    move->setEndValue(to);
    move->setEasingCurve(QEasingCurve::OutExpo);
    m_moves.insert(row, move);
    return move;
}

void ListWidget::AddItem(ListWidgetItem* item) {
    const QString mac = item->MacText();
    if (ListWidgetItem* old = Find(mac)) {
        // One row per client: a second join replaces the first.
        m_rows.removeOne(old);
        m_index.remove(mac);
        m_moves.remove(old);
        delete old;
        OnAfterDelAnimationFinished();
    }
    item->setParent(this);
    const QPoint place = PlaceOf(Count());
    m_rows.append(item);
    m_index.insert(mac, item);
    item->move(place + QPoint(ListWidgetItem::kWidth, 0));
    item->show();
    item->lower();
    QPropertyAnimation* enter = Move(item, place, kAddMs);
    connect(enter, &QAbstractAnimation::finished, this, &ListWidget::OnAddItemAnimationFinished);
    enter->start(QAbstractAnimation::DeleteWhenStopped);
    Resize();
}

void ListWidget::OnAddItemAnimationFinished() {
    Resize();
}

bool ListWidget::RemoveItem(const QString& mac) {
    ListWidgetItem* row = Find(mac);
    if (row == nullptr)
        return false;
    row->SetRemoving();
    m_index.remove(mac);
    QPropertyAnimation* out = Move(row, QPoint(-ListWidgetItem::kWidth, row->y()), kRemoveMs);
    connect(out, &QAbstractAnimation::finished, this,
            [this, row] { OnDelItemAnimationFinished(row); });
    out->start(QAbstractAnimation::DeleteWhenStopped);
    // The rows that stay move to their new places.
    const QList<ListWidgetItem*> staying = Items();
    for (int i = 0; i < staying.size(); ++i) {
        ListWidgetItem* other = staying[i];
        QPointer<QPropertyAnimation> running = m_moves.value(other);
        const QPoint target = running ? running->endValue().toPoint() : other->pos();
        if (target == PlaceOf(i))
            continue;
        Move(other, PlaceOf(i), kRemoveMs)->start(QAbstractAnimation::DeleteWhenStopped);
    }
    return true;
}

void ListWidget::OnDelItemAnimationFinished(ListWidgetItem* row) {
    if (!m_rows.removeOne(row))
        return;
    m_moves.remove(row);
    row->deleteLater();
    OnAfterDelAnimationFinished();
}

void ListWidget::OnAfterDelAnimationFinished() {
    Resize();
}

void ListWidget::Clear() {
    for (ListWidgetItem* row : m_rows)
        delete row;  // its moves go with it
    m_rows.clear();
    m_moves.clear();
    m_index.clear();
    Resize();
}
