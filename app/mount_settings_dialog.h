#pragma once

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class MountSettingsDialog;
}

// The setup dialog: one line edit for the mount's IP address. The window keeps one instance
// and reuses it, so its size and position persist while the program runs.
class MountSettingsDialog : public QDialog {
    Q_OBJECT

public:
    explicit MountSettingsDialog(QWidget* parent = nullptr);
    ~MountSettingsDialog() override;

    void setIp(const QString& ip);
    QString ip() const;

private:
    std::unique_ptr<Ui::MountSettingsDialog> ui;
};
