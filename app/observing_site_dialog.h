#pragma once

#include "sky/observing_sites.h"

#include <QDialog>
#include <QString>

#include <vector>

class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// Mount > Observing site...: the named sites, each with its latitude (north positive),
// longitude (east positive), elevation and horizon file, to add, edit and remove; the one
// selected when OK is pressed becomes the current site. OK waits until every site has a name of
// its own and a horizon file that reads (or none); horizonProblemLabel says what is wrong with
// one that does not.
class ObservingSiteDialog : public QDialog {
    Q_OBJECT

public:
    explicit ObservingSiteDialog(QWidget* parent = nullptr);

    // current: the name of the site to select; the first is selected when no site has it.
    void setSites(std::vector<ObservingSite> sites, const QString& current);
    const std::vector<ObservingSite>& sites() const { return list; }
    // The selected site's name; empty when there is none.
    QString currentSite() const;

    // Why the horizon file was not read, for a person.
    static QString horizonProblem(const QString& path, const HorizonMask::FileRead& read);
    // The log's line for the site chosen: "Observing site: Home (47.5000° N, 8.5000° E, 450 m)."
    static QString chosenMessage(const ObservingSite& site);

private:
    void showSite(int row);
    void editSite();
    void addSite();
    void removeSite();
    void browseHorizon();
    // The horizon file of the site in that row, read again.
    void checkHorizon(std::size_t row);
    void check();

    std::vector<ObservingSite> list;
    std::vector<QString> horizonProblems; // one per site, empty when its horizon reads
    QListWidget* siteList;
    QPushButton* removeButton;
    QLineEdit* nameEdit;
    QDoubleSpinBox* latitudeSpinBox;
    QDoubleSpinBox* longitudeSpinBox;
    QDoubleSpinBox* elevationSpinBox;
    QLineEdit* horizonEdit;
    QPushButton* browseButton;
    QLabel* problemLabel;
    QDialogButtonBox* buttonBox;
};
