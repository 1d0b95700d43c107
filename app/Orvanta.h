// The main window of the program.
#pragma once

#include <QWidget>

class Orvanta : public QWidget {
    Q_OBJECT

public:
    explicit Orvanta(QWidget* parent = nullptr);
};
