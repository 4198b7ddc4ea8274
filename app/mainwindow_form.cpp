#include "app/mainwindow_form.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QIcon>

namespace Ui {

void MainWindow::setupUi(QMainWindow* window) {
    if (window->objectName().isEmpty())
        window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(677, 585);
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/icon_halvstar.png")));

    actionSetup = new QAction(window);
    actionSetup->setObjectName(QStringLiteral("actionSetup"));
    actionLoad_TLEs = new QAction(window);
    actionLoad_TLEs->setObjectName(QStringLiteral("actionLoad_TLEs"));

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    verticalLayout = new QVBoxLayout(centralWidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(6);
    verticalLayout->setContentsMargins(11, 11, 11, 11);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(6);
    pushButton_Stop = new QPushButton(centralWidget);
    pushButton_Stop->setObjectName(QStringLiteral("pushButton_Stop"));
    horizontalLayout->addWidget(pushButton_Stop);
    pushButton_Unpark = new QPushButton(centralWidget);
    pushButton_Unpark->setObjectName(QStringLiteral("pushButton_Unpark"));
    horizontalLayout->addWidget(pushButton_Unpark);
    pushButton_Park = new QPushButton(centralWidget);
    pushButton_Park->setObjectName(QStringLiteral("pushButton_Park"));
    horizontalLayout->addWidget(pushButton_Park);
    verticalLayout->addLayout(horizontalLayout);

    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(6);
    label_2 = new QLabel(centralWidget);
    label_2->setObjectName(QStringLiteral("label_2"));
    gridLayout->addWidget(label_2, 1, 0);
    checkBox = new QCheckBox(centralWidget);
    checkBox->setObjectName(QStringLiteral("checkBox"));
    gridLayout->addWidget(checkBox, 1, 2);
    label_3 = new QLabel(centralWidget);
    label_3->setObjectName(QStringLiteral("label_3"));
    gridLayout->addWidget(label_3, 2, 0);
    lineEditStatus = new QLineEdit(centralWidget);
    lineEditStatus->setObjectName(QStringLiteral("lineEditStatus"));
    lineEditStatus->setReadOnly(true);
    gridLayout->addWidget(lineEditStatus, 2, 2);
    label = new QLabel(centralWidget);
    label->setObjectName(QStringLiteral("label"));
    gridLayout->addWidget(label, 3, 0);
    lineEdit = new QLineEdit(centralWidget);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    gridLayout->addWidget(lineEdit, 3, 2);
    verticalLayout->addLayout(gridLayout);

    tableView = new QTableView(centralWidget);
    tableView->setObjectName(QStringLiteral("tableView"));
    tableView->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableView->verticalHeader()->setVisible(false);
    verticalLayout->addWidget(tableView);

    horizontalLayout2 = new QHBoxLayout();
    horizontalLayout2->setObjectName(QStringLiteral("horizontalLayout2"));
    horizontalLayout2->setSpacing(6);
    labelTime = new QLabel(centralWidget);
    labelTime->setObjectName(QStringLiteral("labelTime"));
    horizontalLayout2->addWidget(labelTime);
    lineTime = new QLineEdit(centralWidget);
    lineTime->setObjectName(QStringLiteral("lineTime"));
    lineTime->setReadOnly(true);
    horizontalLayout2->addWidget(lineTime);
    verticalLayout->addLayout(horizontalLayout2);

    tableViewLog = new QTableView(centralWidget);
    tableViewLog->setObjectName(QStringLiteral("tableViewLog"));
    tableViewLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalLayout->addWidget(tableViewLog);

    verticalLayout->setStretch(0, 0);
    verticalLayout->setStretch(1, 0);
    verticalLayout->setStretch(2, 3);
    verticalLayout->setStretch(3, 0);
    verticalLayout->setStretch(4, 1);
    window->setCentralWidget(centralWidget);

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, 677, 22));
    menuMount = new QMenu(menuBar);
    menuMount->setObjectName(QStringLiteral("menuMount"));
    menuTLEs = new QMenu(menuBar);
    menuTLEs->setObjectName(QStringLiteral("menuTLEs"));
    window->setMenuBar(menuBar);
    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    statusBar = new QStatusBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);

    menuBar->addAction(menuMount->menuAction());
    menuBar->addAction(menuTLEs->menuAction());
    menuMount->addAction(actionSetup);
    menuTLEs->addAction(actionLoad_TLEs);

    retranslateUi(window);
    QMetaObject::connectSlotsByName(window);
}

void MainWindow::retranslateUi(QMainWindow* window) {
    const auto tr = [](const char* text) {
        return QCoreApplication::translate("MainWindow", text);
    };
    window->setWindowTitle(tr("Halvstar Orbitrak"));
    actionSetup->setText(tr("Setup..."));
    actionLoad_TLEs->setText(tr("Load TLEs..."));
    pushButton_Stop->setText(tr("Stop"));
    pushButton_Unpark->setText(tr("Unpark"));
    pushButton_Park->setText(tr("Park"));
    label_2->setText(tr("Connect mount"));
    checkBox->setText(tr("Connect mount"));
    label_3->setText(tr("Status"));
    label->setText(tr("Filter TLEs by name"));
    labelTime->setText(tr("Current UTC time"));
    menuMount->setTitle(tr("Mount"));
    menuTLEs->setTitle(tr("TLEs"));
}

void setFixedRowHeight(QTableView* view, int height) {
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setMinimumSectionSize(height);
    view->verticalHeader()->setDefaultSectionSize(height);
}

} // namespace Ui
