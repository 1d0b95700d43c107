// The labels and buttons the program's windows are built of: named (the style
// sheets and the tests find them by name) and placed at fixed positions.
// Buttons show the hand cursor and take no keyboard focus, as the windows'
// flat image buttons do.
#pragma once

#include <QRect>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

class FormParts {
public:
    static QLabel* Label(QWidget* parent, const char* name, const QRect& geometry,
                         const QString& text = {});
    static QPushButton* Button(QWidget* parent, const char* name, const QRect& geometry,
                               const QString& text = {});
};
