// The program entry: one window and its event loop; the window writes the
// profile when it is destroyed on the way out.
#include "Tmainform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Tmainform mainform;
    mainform.show();
    return QApplication::exec();
}
