// A row of a client list: the client's MAC (the row's key), its icon and the
// name field, which the user can click to give the client a nickname.
#pragma once

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <string>

#include "Common/ClientInfo.h"

class ClientRowHost;

class ListWidgetItem : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 300;
    static constexpr int kHeight = 52;
    // Longest name shown whole; longer ones show this many characters and "...".
    static constexpr int kShownChars = 20;

    ListWidgetItem(const ClientInfo& client, const QString& name, const QImage& image,
                   ClientRowHost& host, QWidget* parent = nullptr);

    const std::wstring& Mac() const { return m_mac; }
    QString MacText() const { return QString::fromStdWString(m_mac); }
    bool IsRemoving() const { return m_removing; }
    void SetRemoving() { m_removing = true; }
    // The full name (the field may show it shortened).
    QString FullName() const { return m_fullName; }
    QLineEdit* NameField() const { return m_txtusername; }

    // Makes the name field editable, focused and selected.
    void StartRename();
    // What a name looks like in the field: control characters and the
    // controls of bidirectional text made visible (Visible), cut after
    // kShownChars characters (never inside one) with "...".
    static QString Shown(const QString& name);
    static QString Visible(const QString& name);
    static bool IsNeutralised(QChar c);
    // The row's tool tip: the whole name as Visible shows it, as plain text
    // whatever markup it holds.
    static QString ToolTip(const QString& name);

signals:
    void MouseLeave();

public slots:
    void OnTextEdited();
    void OnSelectionChanged();

protected:
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void ShowName(const QString& name);

    ClientRowHost& m_host;
    std::wstring m_mac;
    QString m_lookName;  // the name from the maker table, shown when no nickname
    QString m_fullName;
    QLabel* m_icon;
    QLineEdit* m_txtusername;
    bool m_removing = false;
};
