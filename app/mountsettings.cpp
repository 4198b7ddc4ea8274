#include "app/mountsettings.h"

#include "ui_mountsettings.h"

MountSettings::MountSettings(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::MountSettings>()) {
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

MountSettings::~MountSettings() = default;

void MountSettings::setIp(const QString& ip) {
    ui->lineEdit->setText(ip);
}

QString MountSettings::ip() const {
    return ui->lineEdit->text();
}
