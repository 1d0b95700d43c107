// Process entry of Zentavo.
#include <QApplication>

#include "Common/LumariLog.h"
#include "Orvanta.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    InitLog();
    Orvanta window;
    window.show();
    return app.exec();
}
