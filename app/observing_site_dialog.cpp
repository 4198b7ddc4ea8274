#include "app/observing_site_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

QDoubleSpinBox* spinBox(QWidget* parent, const char* name, double low, double high, int decimals,
                        const QString& suffix) {
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setSuffix(suffix);
    return box;
}

} // namespace

ObservingSiteDialog::ObservingSiteDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("Observing site"));
    siteList = new QListWidget(this);
    siteList->setObjectName(QStringLiteral("siteList"));
    auto* addButton = new QPushButton(tr("Add"), this);
    addButton->setObjectName(QStringLiteral("addSiteButton"));
    removeButton = new QPushButton(tr("Remove"), this);
    removeButton->setObjectName(QStringLiteral("removeSiteButton"));

    nameEdit = new QLineEdit(this);
    nameEdit->setObjectName(QStringLiteral("siteNameEdit"));
    // East-positive longitudes from -180 to 180, as observers give them; the settings and the
    // command line take anything within Site's ranges.
    latitudeSpinBox = spinBox(this, "latitudeSpinBox", -Site::kMaxLatitudeDeg,
                              Site::kMaxLatitudeDeg, 6, tr(" ° N"));
    longitudeSpinBox = spinBox(this, "longitudeSpinBox", -180.0, 180.0, 6, tr(" ° E"));
    elevationSpinBox =
        spinBox(this, "elevationSpinBox", Site::kMinElevationM, Site::kMaxElevationM, 1, tr(" m"));
    horizonEdit = new QLineEdit(this);
    horizonEdit->setObjectName(QStringLiteral("horizonFileEdit"));
    horizonEdit->setPlaceholderText(tr("flat"));
    browseButton = new QPushButton(tr("Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browseHorizonButton"));

    auto* horizonRow = new QHBoxLayout;
    horizonRow->addWidget(horizonEdit);
    horizonRow->addWidget(browseButton);
    auto* form = new QFormLayout;
    form->addRow(tr("Name"), nameEdit);
    form->addRow(tr("Latitude (north +)"), latitudeSpinBox);
    form->addRow(tr("Longitude (east +)"), longitudeSpinBox);
    form->addRow(tr("Elevation"), elevationSpinBox);
    form->addRow(tr("Horizon file"), horizonRow);

    auto* listButtons = new QHBoxLayout;
    listButtons->addWidget(addButton);
    listButtons->addWidget(removeButton);
    auto* listColumn = new QVBoxLayout;
    listColumn->addWidget(siteList);
    listColumn->addLayout(listButtons);
    auto* columns = new QHBoxLayout;
    columns->addLayout(listColumn);
    columns->addLayout(form, 1);

    auto* note = new QLabel(tr("The selected site is used until a mount connects; from then on, "
                               "the mount's own."),
                            this);
    note->setWordWrap(true);
    buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(note);
    layout->addWidget(buttonBox);

    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(siteList, &QListWidget::currentRowChanged, this, &ObservingSiteDialog::showSite);
    connect(addButton, &QPushButton::clicked, this, &ObservingSiteDialog::addSite);
    connect(removeButton, &QPushButton::clicked, this, &ObservingSiteDialog::removeSite);
    connect(browseButton, &QPushButton::clicked, this, &ObservingSiteDialog::browseHorizon);
    connect(nameEdit, &QLineEdit::textEdited, this, &ObservingSiteDialog::editSite);
    connect(horizonEdit, &QLineEdit::textEdited, this, &ObservingSiteDialog::editSite);
    for (QDoubleSpinBox* box : {latitudeSpinBox, longitudeSpinBox, elevationSpinBox})
        connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this,
                &ObservingSiteDialog::editSite);
    showSite(-1);
}

void ObservingSiteDialog::setSites(std::vector<ObservingSite> sites, const QString& current) {
    list = std::move(sites);
    const QSignalBlocker blocker(siteList);
    siteList->clear();
    int selected = list.empty() ? -1 : 0;
    for (std::size_t i = 0; i < list.size(); ++i) {
        siteList->addItem(list[i].name);
        if (list[i].name == current)
            selected = int(i);
    }
    siteList->setCurrentRow(selected);
    showSite(selected);
    checkNames();
}

QString ObservingSiteDialog::currentSite() const {
    const int row = siteList->currentRow();
    return row >= 0 && row < int(list.size()) ? list[std::size_t(row)].name : QString();
}

// The editors follow the selected site; without one they are empty and disabled.
void ObservingSiteDialog::showSite(int row) {
    const bool any = row >= 0 && row < int(list.size());
    const ObservingSite site = any ? list[std::size_t(row)] : ObservingSite();
    const QSignalBlocker blockers[] = {
        QSignalBlocker(nameEdit), QSignalBlocker(latitudeSpinBox), QSignalBlocker(longitudeSpinBox),
        QSignalBlocker(elevationSpinBox), QSignalBlocker(horizonEdit)};
    nameEdit->setText(site.name);
    latitudeSpinBox->setValue(site.latitudeDeg);
    longitudeSpinBox->setValue(site.eastLongitudeDeg);
    elevationSpinBox->setValue(site.elevationM);
    horizonEdit->setText(site.horizonFile);
    for (QWidget* editor :
         std::initializer_list<QWidget*>{nameEdit, latitudeSpinBox, longitudeSpinBox,
                                         elevationSpinBox, horizonEdit, browseButton, removeButton})
        editor->setEnabled(any);
}

void ObservingSiteDialog::editSite() {
    const int row = siteList->currentRow();
    if (row < 0 || row >= int(list.size()))
        return;
    ObservingSite& site = list[std::size_t(row)];
    site.name = nameEdit->text().trimmed();
    site.latitudeDeg = latitudeSpinBox->value();
    site.eastLongitudeDeg = longitudeSpinBox->value();
    site.elevationM = elevationSpinBox->value();
    site.horizonFile = horizonEdit->text().trimmed();
    siteList->item(row)->setText(site.name);
    checkNames();
}

// A new site starts where the selected one is, or at the default site, under a name of its own.
void ObservingSiteDialog::addSite() {
    const int row = siteList->currentRow();
    ObservingSite site;
    if (row >= 0 && row < int(list.size())) {
        site = list[std::size_t(row)];
    } else {
        const Site defaults;
        site.latitudeDeg = defaults.latitudeDeg();
        site.eastLongitudeDeg = defaults.eastLongitudeDeg();
        site.elevationM = defaults.elevation;
        site.horizonFile.clear();
    }
    for (int n = int(list.size()) + 1;; ++n) {
        site.name = tr("Site %1").arg(n);
        if (!findObservingSite(list, site.name))
            break;
    }
    list.push_back(site);
    siteList->addItem(site.name);
    siteList->setCurrentRow(int(list.size()) - 1);
    nameEdit->setFocus();
    nameEdit->selectAll();
    checkNames();
}

void ObservingSiteDialog::removeSite() {
    const int row = siteList->currentRow();
    if (row < 0 || row >= int(list.size()))
        return;
    list.erase(list.begin() + row);
    delete siteList->takeItem(row);
    showSite(siteList->currentRow());
    checkNames();
}

void ObservingSiteDialog::browseHorizon() {
    const QString file =
        QFileDialog::getOpenFileName(this, tr("Horizon file"), horizonEdit->text(),
                                     tr("Horizon files (*.txt *.hrz *.csv);;All files (*)"));
    if (file.isEmpty())
        return;
    horizonEdit->setText(file);
    editSite();
}

void ObservingSiteDialog::checkNames() {
    QSet<QString> names;
    bool ok = true;
    for (const ObservingSite& site : list) {
        ok = ok && !site.name.isEmpty() && !names.contains(site.name);
        names.insert(site.name);
    }
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(ok);
}
