#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace Ui {

// The setup dialog's widgets, built in code the way the form designer would build them.
class MountSettings {
public:
    QVBoxLayout* verticalLayout = nullptr;
    QGridLayout* gridLayout = nullptr;
    QLabel* label = nullptr;
    QLineEdit* lineEdit = nullptr;
    QDialogButtonBox* buttonBox = nullptr;

    void setupUi(QDialog* dialog);
    void retranslateUi(QDialog* dialog);
};

} // namespace Ui
