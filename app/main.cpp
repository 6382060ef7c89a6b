#include "app/logrouting.h"
#include "dialog/enwdialog.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    EnwDialog dialog;
    return runLoggingDialog(dialog);
}
