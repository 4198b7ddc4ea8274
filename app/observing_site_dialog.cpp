#include "app/observing_site_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
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

#include <cmath>

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

    problemLabel = new QLabel(this);
    problemLabel->setObjectName(QStringLiteral("horizonProblemLabel"));
    problemLabel->setWordWrap(true);
    problemLabel->setTextFormat(Qt::PlainText);
    problemLabel->hide();
    auto* note = new QLabel(tr("The selected site is used until a mount connects; from then on, "
                               "the mount's own."),
                            this);
    note->setWordWrap(true);
    buttonBox = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttonBox->setObjectName(QStringLiteral("buttonBox"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    layout->addWidget(problemLabel);
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
    horizonProblems.assign(list.size(), QString());
    for (std::size_t i = 0; i < list.size(); ++i)
        checkHorizon(i);
    siteList->setCurrentRow(selected);
    showSite(selected);
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
    check();
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
    const QString horizon = horizonEdit->text().trimmed();
    const bool newHorizon = horizon != site.horizonFile;
    site.horizonFile = horizon;
    siteList->item(row)->setText(site.name);
    if (newHorizon)
        checkHorizon(std::size_t(row));
    check();
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
    horizonProblems.push_back(
        row >= 0 && row < int(list.size()) - 1 ? horizonProblems[std::size_t(row)] : QString());
    siteList->addItem(site.name);
    siteList->setCurrentRow(int(list.size()) - 1);
    nameEdit->setFocus();
    nameEdit->selectAll();
    check();
}

void ObservingSiteDialog::removeSite() {
    const int row = siteList->currentRow();
    if (row < 0 || row >= int(list.size()))
        return;
    list.erase(list.begin() + row);
    horizonProblems.erase(horizonProblems.begin() + row);
    delete siteList->takeItem(row);
    showSite(siteList->currentRow());
    check();
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

void ObservingSiteDialog::checkHorizon(std::size_t row) {
    const QString& path = list[row].horizonFile;
    HorizonMask mask;
    horizonProblems[row] =
        path.isEmpty()
            ? QString()
            : horizonProblem(path,
                             HorizonMask::readFile(QFile::encodeName(path).toStdString(), mask));
}

// The selected site's horizon problem is shown before another's.
void ObservingSiteDialog::check() {
    QSet<QString> names;
    bool ok = true;
    for (const ObservingSite& site : list) {
        ok = ok && !site.name.isEmpty() && !names.contains(site.name);
        names.insert(site.name);
    }
    const int current = siteList->currentRow();
    QString problem = current >= 0 && current < int(horizonProblems.size())
                          ? horizonProblems[std::size_t(current)]
                          : QString();
    for (std::size_t i = 0; i < horizonProblems.size() && problem.isEmpty(); ++i)
        if (!horizonProblems[i].isEmpty())
            problem = tr("%1: %2").arg(list[i].name, horizonProblems[i]);
    problemLabel->setText(problem);
    problemLabel->setVisible(!problem.isEmpty());
    buttonBox->button(QDialogButtonBox::Ok)->setEnabled(ok && problem.isEmpty());
}

QString ObservingSiteDialog::horizonProblem(const QString& path,
                                            const HorizonMask::FileRead& read) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (read.file.fault) {
    case FileResult::None:
        if (read.badLine > 0)
            return tr("Line %1 of the horizon file %2 is not an azimuth and an altitude in "
                      "degrees.")
                .arg(read.badLine)
                .arg(shown);
        break;
    case FileResult::Missing:
        return tr("The horizon file %1 does not exist.").arg(shown);
    case FileResult::NotAFile:
        return tr("The horizon file %1 is not a regular file.").arg(shown);
    case FileResult::Unreadable:
    case FileResult::Unwritable:
        return tr("The horizon file %1 cannot be read (%2).")
            .arg(shown, QString::fromLocal8Bit(read.file.systemReason.c_str()));
    case FileResult::TooLarge:
        return tr("The horizon file %1 is larger than %2 MiB.")
            .arg(shown)
            .arg(HorizonMask::kMaxFileBytes >> 20);
    }
    return QString();
}

QString ObservingSiteDialog::chosenMessage(const ObservingSite& site) {
    // South and west as positive numbers; what rounds to zero is north or east.
    const auto degrees = [](double value) {
        return QString::number(std::fabs(value), 'f', 4);
    };
    const bool south = site.latitudeDeg < 0 && degrees(site.latitudeDeg) != degrees(0.0);
    const bool west = site.eastLongitudeDeg < 0 && degrees(site.eastLongitudeDeg) != degrees(0.0);
    return tr("Observing site: %1 (%2, %3, %4 m).")
        .arg(site.name, (south ? tr("%1° S") : tr("%1° N")).arg(degrees(site.latitudeDeg)),
             (west ? tr("%1° W") : tr("%1° E")).arg(degrees(site.eastLongitudeDeg)),
             QString::number(std::round(site.elevationM) + 0.0, 'f', 0));
}
