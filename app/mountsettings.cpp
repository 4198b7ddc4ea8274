#include "app/mountsettings.h"

#include "app/mountsettings_form.h"

MountSettings::MountSettings(QWidget* parent) : QDialog(parent), ui(new Ui::MountSettings) {
    ui->setupUi(this);
}

MountSettings::~MountSettings() {
    delete ui;
}

void MountSettings::setIp(const QString& ip) {
    ui->lineEdit->setText(ip);
}

QString MountSettings::ip() const {
    return ui->lineEdit->text();
}
