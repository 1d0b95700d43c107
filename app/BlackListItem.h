// A row of the black list: icon, name and one button that takes the client
// off the black list.
#pragma once

#include <QPushButton>

#include "ListWidgetItem.h"

class BlackListItem : public ListWidgetItem {
    Q_OBJECT

public:
    BlackListItem(const ClientInfo& client, const QString& name, const QImage& image,
                  ClientRowHost& host, QWidget* parent = nullptr);

    QPushButton* RemoveButton() const { return m_btnRemove; }

public slots:
    void OnBtnRemoveClicked();

private:
    QPushButton* m_btnRemove;
};
