#include "app/mount_settings_dialog.h"

#include "ui_mount_settings_dialog.h"

MountSettingsDialog::MountSettingsDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::MountSettingsDialog>()) {
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

MountSettingsDialog::~MountSettingsDialog() = default;

void MountSettingsDialog::setIp(const QString& ip) {
    ui->mountAddressLineEdit->setText(ip);
}

QString MountSettingsDialog::ip() const {
    return ui->mountAddressLineEdit->text();
}
