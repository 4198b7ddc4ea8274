#pragma once

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace Ui {

// The main window's widgets, built in code the way the form designer would build them:
// object names, layouts and texts are those the rest of the program looks up by name.
class MainWindow {
public:
    QAction* actionSetup = nullptr;
    QAction* actionLoad_TLEs = nullptr;
    QWidget* centralWidget = nullptr;
    QVBoxLayout* verticalLayout = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QPushButton* pushButton_Stop = nullptr;
    QPushButton* pushButton_Unpark = nullptr;
    QPushButton* pushButton_Park = nullptr;
    QGridLayout* gridLayout = nullptr;
    QLabel* label_2 = nullptr;
    QCheckBox* checkBox = nullptr;
    QLabel* label_3 = nullptr;
    QLineEdit* lineEditStatus = nullptr;
    QLabel* label = nullptr;
    QLineEdit* lineEdit = nullptr;
    QTableView* tableView = nullptr;
    QHBoxLayout* horizontalLayout2 = nullptr;
    QLabel* labelTime = nullptr;
    QLineEdit* lineTime = nullptr;
    QTableView* tableViewLog = nullptr;
    QMenuBar* menuBar = nullptr;
    QMenu* menuMount = nullptr;
    QMenu* menuTLEs = nullptr;
    QToolBar* mainToolBar = nullptr;
    QStatusBar* statusBar = nullptr;

    void setupUi(QMainWindow* window);
    void retranslateUi(QMainWindow* window);
};

// Fixed rows of the given height. The header's font-based minimum would otherwise round compact
// rows up.
void setFixedRowHeight(QTableView* view, int height);

} // namespace Ui
