// tarvoctl: see uTarvoCtl.h.
#include "apps/tarvoctl/uTarvoCtl.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication lApp(argc, argv);
    QTextStream lOut(stdout);
    QTextStream lErr(stderr);
    QStringList lArgs = QCoreApplication::arguments();
    lArgs.removeFirst();
    const int lRc = TarvoCtl::Run(lArgs, {lOut, lErr});
    lOut.flush();
    lErr.flush();
    return lRc;
}
