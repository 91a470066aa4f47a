// qt-burner: writes CDs and DVDs through TQueltBurner from a window.
#include "BurnerWindow.hpp"

#include <QApplication>

int main(int argc, char** argv) {
    const QApplication Application(argc, argv);
    BurnerWindow Window;
    Window.show();
    return QApplication::exec();
}
