#pragma once

#include "app/mountsettings.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

// Acts on the setup dialog once its modal loop is running: the action is queued before the
// code that runs the dialog is called, and polls until the dialog shows. If it never does, the
// poll gives up and reports so, and any modal window is closed so that the test cannot hang.
class DialogDriver {
public:
    explicit DialogDriver(std::function<void(MountSettings*)> action) : action(std::move(action)) {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start();
    }

    bool acted() const { return done; }

    static QLineEdit* lineEdit(MountSettings* dialog) {
        return dialog->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    }
    static QPushButton* button(MountSettings* dialog, QDialogButtonBox::StandardButton which) {
        auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        return box ? box->button(which) : nullptr;
    }

private:
    void poll() {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<MountSettings*>(widget);
            if (dialog && dialog->isVisible()) {
                timer.stop();
                done = true;
                action(dialog);
                return;
            }
        }
        if (++polls > 500) {
            timer.stop();
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        }
    }

    std::function<void(MountSettings*)> action;
    QTimer timer;
    int polls = 0;
    bool done = false;
};
