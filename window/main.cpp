// The program entry: one window and its event loop; the window writes the
// profile when it is destroyed on the way out, after a close or a SIGTERM.
#include "TerminationWatch.h"
#include "Tmainform.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    Tmainform mainform;
    const quillmark::TerminationWatch watch(&mainform);
    mainform.show();
    return QApplication::exec();
}
