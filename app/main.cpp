// Entry point: the usage text, or the application with its one main window.

#include "app/MainWindow.h"
#include "app/Palette.h"

#include <QApplication>
#include <cstring>
#include <iostream>

int main(int argc, char* argv[])
{
    if (argc >= 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::cout << "Usage: " << argv[0] << " <file>" << std::endl;
        std::cout << std::endl;
        std::cout << "Options:" << std::endl;
        std::cout << "  -h, --help  Print program options and arguments." << std::endl;
        std::cout << std::endl;
        std::cout << "Arguments:" << std::endl;
        std::cout << "  file        IQ record to analyze." << std::endl;
        return 0;
    }

    QApplication app(argc, argv);
    int result = 0;
    {
        MainWindow window;
        window.show();
        QApplication::setStyle("Fusion");
        applyDarkPalette();
        result = QApplication::exec();
    }
    return result;
}
