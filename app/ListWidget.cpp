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

void ListWidget::AddItem(ListWidgetItem* item) {
    const QString mac = item->MacText();
    if (ListWidgetItem* old = Find(mac)) {
        // One row per client: a second join replaces the first.
        m_rows.removeOne(old);
        m_index.remove(mac);
        delete old;
    }
    item->setParent(this);
    const QPoint place = PlaceOf(Count());
    m_rows.append(item);
    m_index.insert(mac, item);
    Resize();
    item->move(place + QPoint(ListWidgetItem::kWidth, 0));
    item->show();
    item->lower();
    auto* enter = new QPropertyAnimation(item, "pos", item);
    enter->setDuration(kAddMs);
    enter->setStartValue(item->pos());
    enter->setEndValue(place);
    enter->setEasingCurve(QEasingCurve::OutExpo);
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
    m_leaving.append(row);
    auto* group = new QParallelAnimationGroup(this);
    auto* out = new QPropertyAnimation(row, "pos", group);
    out->setDuration(kRemoveMs);
    out->setStartValue(row->pos());
    out->setEndValue(QPoint(-ListWidgetItem::kWidth, row->y()));
    out->setEasingCurve(QEasingCurve::OutExpo);
    group->addAnimation(out);
    // The rows that stay move to their new places in the same group.
    const QList<ListWidgetItem*> staying = Items();
    for (int i = 0; i < staying.size(); ++i) {
        ListWidgetItem* other = staying[i];
        if (other->pos() == PlaceOf(i))
            continue;
        auto* up = new QPropertyAnimation(other, "pos", group);
        up->setDuration(kRemoveMs);
        up->setStartValue(other->pos());
        up->setEndValue(PlaceOf(i));
        up->setEasingCurve(QEasingCurve::OutExpo);
        group->addAnimation(up);
    }
    connect(group, &QAbstractAnimation::finished, this, &ListWidget::OnDelItemAnimationFinished);
    connect(group, &QAbstractAnimation::finished, this, &ListWidget::OnAfterDelAnimationFinished);
    connect(group, &QAbstractAnimation::finished, group, &QObject::deleteLater);
    group->start();
    return true;
}

void ListWidget::OnDelItemAnimationFinished() {
    auto* group = qobject_cast<QParallelAnimationGroup*>(sender());
    if (group == nullptr || group->animationCount() == 0)
        return;
    auto* out = qobject_cast<QPropertyAnimation*>(group->animationAt(0));
    auto* row = out != nullptr ? qobject_cast<ListWidgetItem*>(out->targetObject()) : nullptr;
    if (row == nullptr || !m_leaving.removeOne(row))
        return;
    m_rows.removeOne(row);
    row->deleteLater();
}

void ListWidget::OnAfterDelAnimationFinished() {
    // Snap every remaining row to its place (overlapping removals each moved
    // the rows toward the places of their own moment).
    const QList<ListWidgetItem*> staying = Items();
    for (int i = 0; i < staying.size(); ++i)
        if (!m_leaving.contains(staying[i]))
            staying[i]->move(PlaceOf(i));
    Resize();
}

void ListWidget::Clear() {
    const QList<QParallelAnimationGroup*> groups =
        findChildren<QParallelAnimationGroup*>(Qt::FindDirectChildrenOnly);
    for (QParallelAnimationGroup* g : groups)
        delete g;
    for (ListWidgetItem* row : m_rows)
        delete row;
    m_rows.clear();
    m_leaving.clear();
    m_index.clear();
    Resize();
}
