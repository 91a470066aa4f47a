// qt-burner: writes CDs and DVDs through TQueltBurner from a window. Its settings are kept as the
// component's form text in the user's configuration folder.
#include "BurnerWindow.hpp"

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
    const QApplication Application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("QueltBurner"));
    QApplication::setApplicationName(QStringLiteral("qt-burner"));
    BurnerWindow Window(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                        QStringLiteral("/burner.dfm"));
    Window.show();
    return QApplication::exec();
}
