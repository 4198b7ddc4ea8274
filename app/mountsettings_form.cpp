#include "app/mountsettings_form.h"

#include <QCoreApplication>
#include <QIcon>

namespace Ui {

void MountSettings::setupUi(QDialog* dialog) {
    if (dialog->objectName().isEmpty())
        dialog->setObjectName(QStringLiteral("MountSettings"));
    dialog->resize(400, 69);
    dialog->setWindowIcon(QIcon(QStringLiteral(":/icons/icon_halvstar.png")));

    verticalLayout = new QVBoxLayout(dialog);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    label = new QLabel(dialog);
    label->setObjectName(QStringLiteral("label"));
    gridLayout->addWidget(label, 0, 0);
    lineEdit = new QLineEdit(dialog);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    gridLayout->addWidget(lineEdit, 0, 1);
    verticalLayout->addLayout(gridLayout);

    buttonBox = new QDialogButtonBox(dialog);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    buttonBox->setOrientation(Qt::Horizontal);
    buttonBox->setStandardButtons(QDialogButtonBox::Cancel | QDialogButtonBox::Ok);
    verticalLayout->addWidget(buttonBox);

    retranslateUi(dialog);
    QObject::connect(buttonBox, SIGNAL(accepted()), dialog, SLOT(accept()));
    QObject::connect(buttonBox, SIGNAL(rejected()), dialog, SLOT(reject()));
    QMetaObject::connectSlotsByName(dialog);
}

void MountSettings::retranslateUi(QDialog* dialog) {
    dialog->setWindowTitle(
        QCoreApplication::translate("MountSettings", "Halvstar Orbitrak setup", nullptr));
    label->setText(QCoreApplication::translate("MountSettings", "Mount IP address", nullptr));
    lineEdit->setPlaceholderText(
        QCoreApplication::translate("MountSettings", "xxx.xxx.xxx.xxx", nullptr));
}

} // namespace Ui
