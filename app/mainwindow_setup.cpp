#include "app/mainwindow.h"

#include "app/mountsettings.h"
#include "app/settings.h"

// Edits the address in memory only: it takes effect at the next connection and reaches the
// store when the window is destroyed.
void MainWindow::do_setupMount() {
    mountSettings->setIp(mountIp);
    if (mountSettings->exec() == QDialog::Accepted)
        mountIp = mountSettings->ip();
}
