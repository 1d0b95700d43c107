// The close prompt: what the main window's close button should do, hide to
// the tray or end the program, with run at logon and "do not ask again". It
// writes the main window's settings record and saves it through the window.
#pragma once

#include <QWidget>

class Orvanta;
class QCheckBox;
class QRadioButton;

class CloseNotifyWidget : public QWidget {
    Q_OBJECT

public:
    explicit CloseNotifyWidget(Orvanta* host);

    // The choice and the do-not-ask box from the record's close action and
    // ask-on-close fields.
    void LoadFromConfig();
    // The choice and the do-not-ask box as given (1 hide, 0 exit).
    void SetChoice(int closeAction, bool doNotAsk);

public slots:
    void OnRadioBtnHideClicked();
    void OnRadioBtnExitClicked();
    void OnCkBtnRunOnStartClicked();
    void OnBtnOkClicked();
    void OnBtnCancelClicked();
    void OnBtnCloseClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Orvanta* m_host;
    QPixmap m_background;
    QRadioButton* m_rbtnHide = nullptr;
    QRadioButton* m_rbtnExit = nullptr;
    QCheckBox* m_ckRunOnStart = nullptr;
    QCheckBox* m_ckDoNotAsk = nullptr;
};
