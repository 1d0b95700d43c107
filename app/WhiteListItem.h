// A row of the client list: icon, name, the current traffic, the speed limit
// with its slider, and a menu to limit the speed, black-list the client or
// mark it as the user's phone.
#pragma once

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QParallelAnimationGroup>
#include <QPushButton>

#include "ListWidgetItem.h"
#include "UserSlider.h"

class WhiteListItem : public ListWidgetItem {
    Q_OBJECT

public:
    // `withMenu` false (Windows before Vista) leaves the menu empty and hides
    // the "more" button.
    WhiteListItem(const ClientInfo& client, const QString& name, const QImage& image,
                  ClientRowHost& host, bool withMenu = true, QWidget* parent = nullptr);

    // The limit in KB/s of a slider value (0 counts as 1).
    static int KbOf(int value) { return static_cast<int>((value < 1 ? 1 : value) / 100.0 * 1024); }

    // Shows the client's current traffic from an update of its record.
    void Update(const ClientInfo& client);

    QLabel* SpeedLabel() const { return m_lblSpeed; }
    QLabel* TrafficLabel() const { return m_lblTraffic; }
    UserSlider* Slider() const { return m_slider; }
    QPushButton* MoreButton() const { return m_btnMore; }
    QMenu* Menu() const { return m_menu; }
    QAction* MarkAction() const { return m_actMark; }
    bool LimitPending() const { return m_pending; }
    // Shows or hides the badge of the user's own phone.
    void SetMarked(bool on);
    bool IsMarked() const { return m_marked; }

public slots:
    void OnBtnbtnMoreClicked();
    void OnActionModify();
    void OnActionLimitSpeed();
    void OnActionBlack();
    void OnActionMark(bool on);
    void OnSliderChange(int v);
    void OnMouseLeave();

private:
    void SwitchLayout(bool limit);
    // Shows the limit `kb` (KB/s, 0 for none) on the slider and its label.
    void ShowLimit(int kb);

    QLabel* m_lblSpeed;
    QLabel* m_lblTraffic;
    UserSlider* m_slider;
    QPushButton* m_btnMore;
    QMenu* m_menu;
    QAction* m_actModify;
    QAction* m_actMark;
    bool m_pending = false;
    bool m_marked = false;
    QParallelAnimationGroup* m_layouts;
    QLabel* m_lblMark;
    QString m_trafficShown;
};
