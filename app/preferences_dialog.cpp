#include "app/preferences_dialog.h"

#include "catalogue/update_settings.h"

#include "ui_preferences_dialog.h"

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PreferencesDialog>()) {
    ui->setupUi(this);
    ui->maxElementSetsSpinBox->setRange(1, kMaxMaxElementSets);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::setMaxElementSets(int sets) {
    ui->maxElementSetsSpinBox->setValue(sets);
}

int PreferencesDialog::maxElementSets() const {
    return ui->maxElementSetsSpinBox->value();
}
