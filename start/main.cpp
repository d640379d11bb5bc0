#include "common/Program.h"
#include "platform/QtJapanese.h"
#include "start/StartUp.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VESK"));
    QApplication::setApplicationVersion(QStringLiteral("2.0"));
    // Lets the desktop match the windows to the menu entry run.sh installs.
    QGuiApplication::setDesktopFileName(QStringLiteral("vesk"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vesk/icon.png")));
    // The program ends through its end paths, never because a window closed.
    QApplication::setQuitOnLastWindowClosed(false);
    RegisterFontSubstitutions();
    SetProgramFont();
    // Message boxes and the file dialog speak Japanese, as the screens do.
    LoadQtJapanese();

    switch (StartUp()) {
    case StartResult::SecondCopy:
        return 0;
    case StartResult::Failed:
        return 1;
    case StartResult::Running:
        break;
    }
    return QApplication::exec();
}
