#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class PreferencesDialog;
}

// TLEs > Preferences...: how many element sets of the catalogue the window keeps.
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    void setMaxElementSets(int sets);
    int maxElementSets() const;

private:
    std::unique_ptr<Ui::PreferencesDialog> ui;
};
