#pragma once

#include "catalogue/observing_sites.h"

#include <QDialog>
#include <QString>

#include <vector>

class QDialogButtonBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// Mount > Observing site...: the named sites, each with its latitude (north positive),
// longitude (east positive), elevation and horizon file, to add, edit and remove; the one
// selected when OK is pressed becomes the current site. OK waits until every site has a name of
// its own.
class ObservingSiteDialog : public QDialog {
    Q_OBJECT

public:
    explicit ObservingSiteDialog(QWidget* parent = nullptr);

    // current: the name of the site to select; the first is selected when no site has it.
    void setSites(std::vector<ObservingSite> sites, const QString& current);
    const std::vector<ObservingSite>& sites() const { return list; }
    // The selected site's name; empty when there is none.
    QString currentSite() const;

private:
    void showSite(int row);
    void editSite();
    void addSite();
    void removeSite();
    void browseHorizon();
    void checkNames();

    std::vector<ObservingSite> list;
    QListWidget* siteList;
    QPushButton* removeButton;
    QLineEdit* nameEdit;
    QDoubleSpinBox* latitudeSpinBox;
    QDoubleSpinBox* longitudeSpinBox;
    QDoubleSpinBox* elevationSpinBox;
    QLineEdit* horizonEdit;
    QPushButton* browseButton;
    QDialogButtonBox* buttonBox;
};
