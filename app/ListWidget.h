// The container of one list's rows: rows stacked in order of arrival, the
// container as tall as its rows. Rows enter from the right and leave to the
// left while the rows below them move up; a leaving row no longer counts and
// is deleted when its animation ends. Each row has at most one move running,
// so removals that overlap never fight over a row.
#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QPropertyAnimation>
#include <QWidget>
#include <functional>

#include "ListWidgetItem.h"

class ListWidget : public QWidget {
    Q_OBJECT

public:
    explicit ListWidget(QWidget* parent = nullptr);

    void AddItem(ListWidgetItem* item);
    // Takes the row of `mac` out with the removal animation; false when none.
    bool RemoveItem(const QString& mac);
    // Deletes every row at once.
    void Clear();
    // Rows that are not leaving.
    int Count() const { return static_cast<int>(m_index.size()); }
    ListWidgetItem* Find(const QString& mac) const { return m_index.value(mac, nullptr); }
    // The rows that are not leaving, top to bottom.
    QList<ListWidgetItem*> Items() const;

private:
    QPoint PlaceOf(int position) const;
    void Resize();
    // Moves `row` to `to`, replacing the move it may have running.
    QPropertyAnimation* Move(ListWidgetItem* row, QPoint to, int ms);
    void OnAddItemAnimationFinished();
    void OnDelItemAnimationFinished(ListWidgetItem* row);
    void OnAfterDelAnimationFinished();

    QList<ListWidgetItem*> m_rows;  // every row, leaving ones too, top to bottom
    QHash<QString, ListWidgetItem*> m_index;
    QHash<ListWidgetItem*, QPointer<QPropertyAnimation>> m_moves;
};
