#include "app/preferences_dialog.h"

#include "catalogue/update_settings.h"

#include "ui_preferences_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHostAddress>
#include <QRegularExpression>
#include <QUrl>

#include <optional>

PreferencesDialog::PreferencesDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::PreferencesDialog>()) {
    ui->setupUi(this);
    ui->maxElementSetsSpinBox->setRange(1, kMaxMaxElementSets);
    ui->searchAheadSpinBox->setRange(kDefaultPassSearchHours, kMaxPassSearchHours);
    ui->searchAheadSpinBox->setSingleStep(12);
    ui->reminderMinutesSpinBox->setRange(1, kMaxReminderMinutes);
    ui->autoUpdateDaysSpinBox->setRange(0, kMaxAutoUpdateDays);
    ui->autoUpdateDaysSpinBox->setSuffix(tr(" days"));
    connect(ui->magnitudeFileBrowseButton, &QPushButton::clicked, this,
            &PreferencesDialog::browseMagnitudeFile);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &PreferencesDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::setPreferences(const Preferences& p) {
    ui->maxElementSetsSpinBox->setValue(p.maxElementSets);
    ui->searchAheadSpinBox->setValue(p.passSearchHours);
    ui->reminderMinutesSpinBox->setValue(p.reminderMinutes);
    ui->magnitudeFileEdit->setText(p.magnitudeFile);
    ui->timeServerEdit->setText(p.ntpServer);
    ui->autoUpdateDaysSpinBox->setValue(p.autoUpdateDays);
    ui->timeTableSourceEdit->setText(p.timeTableSource);
}

Preferences PreferencesDialog::preferences() const {
    return {ui->maxElementSetsSpinBox->value(),       ui->searchAheadSpinBox->value(),
            ui->reminderMinutesSpinBox->value(),      ui->magnitudeFileEdit->text().trimmed(),
            ui->timeServerEdit->text().trimmed(),     ui->autoUpdateDaysSpinBox->value(),
            ui->timeTableSourceEdit->text().trimmed()};
}

void PreferencesDialog::browseMagnitudeFile() {
    const QString file =
        QFileDialog::getOpenFileName(this, tr("Magnitude file"), ui->magnitudeFileEdit->text(),
                                     tr("Text files (*.txt *.dat *.csv);;All files (*)"));
    if (!file.isEmpty())
        ui->magnitudeFileEdit->setText(file);
}

// The first value refused is said, and its editor takes the focus.
void PreferencesDialog::accept() {
    QString problem;
    QWidget* at = nullptr;
    const auto refuse = [&](QWidget* editor, const QString& why) {
        if (problem.isEmpty() && !why.isEmpty()) {
            problem = why;
            at = editor;
        }
    };
    const struct {
        QSpinBox* box;
        QString why;
    } numbers[] = {
        {ui->maxElementSetsSpinBox,
         tr("Element sets shown: give a whole number from 1 to %1.").arg(kMaxMaxElementSets)},
        {ui->searchAheadSpinBox, tr("Search passes ahead: give a whole number of hours from %1 "
                                    "to %2.")
                                     .arg(kDefaultPassSearchHours)
                                     .arg(kMaxPassSearchHours)},
        {ui->reminderMinutesSpinBox,
         tr("Remind of a pass: give a whole number of minutes from 1 to %1.")
             .arg(kMaxReminderMinutes)},
        {ui->autoUpdateDaysSpinBox,
         tr("Update from the sources: give a whole number of days from 0 (never) to %1.")
             .arg(kMaxAutoUpdateDays)},
    };
    for (const auto& number : numbers)
        refuse(number.box, number.box->hasAcceptableInput() ? QString() : number.why);
    const Preferences chosen = preferences();
    if (!chosen.magnitudeFile.isEmpty()) {
        StandardMagnitudes magnitudes;
        refuse(ui->magnitudeFileEdit, readMagnitudes(chosen.magnitudeFile, magnitudes));
    }
    refuse(ui->timeServerEdit, timeServerProblem(chosen.ntpServer));
    refuse(ui->timeTableSourceEdit, timeTableSourceProblem(chosen.timeTableSource));
    ui->problemLabel->setText(problem);
    ui->problemLabel->setVisible(!problem.isEmpty());
    if (at) {
        at->setFocus();
        return;
    }
    QDialog::accept();
}

QString PreferencesDialog::readMagnitudes(const QString& file, StandardMagnitudes& magnitudes) {
    const QString shown = QDir::toNativeSeparators(file);
    const MagnitudeReadResult read =
        readStandardMagnitudeFile(QFile::encodeName(file).toStdString(), magnitudes);
    if (read.ok)
        return QString();
    switch (read.file.fault) {
    case FileResult::None:
        break;
    case FileResult::Missing:
        return tr("The magnitude file %1 does not exist.").arg(shown);
    case FileResult::NotAFile:
        return tr("The magnitude file %1 is not a regular file.").arg(shown);
    case FileResult::TooLarge:
        return tr("The magnitude file %1 is larger than %2 MiB.")
            .arg(shown)
            .arg(kMaxMagnitudeFileBytes >> 20);
    case FileResult::Unreadable:
    case FileResult::Unwritable:
        return tr("Cannot read the magnitude file %1 (%2).")
            .arg(shown, QString::fromLocal8Bit(read.file.systemReason.c_str()));
    }
    return tr("Magnitude file %1, line %2: not a catalogue number and a magnitude.")
        .arg(shown)
        .arg(read.errorLine);
}

// As the clock check reads it: "name", "name:port", "address", "[v6]:port" or a bare IPv6
// address.
QString PreferencesDialog::timeServerProblem(const QString& server) {
    QString host = server.trimmed();
    if (host.isEmpty())
        return QString();
    const QString notAHost = tr("Time server: %1 is neither a host name nor an address.");
    std::optional<QString> port;
    if (host.startsWith(QLatin1Char('['))) {
        const int close = host.indexOf(QLatin1Char(']'));
        const QString after = close < 0 ? QString() : host.mid(close + 1);
        if (close < 0 || (!after.isEmpty() && !after.startsWith(QLatin1Char(':'))) ||
            QHostAddress(host.mid(1, close - 1)).protocol() != QAbstractSocket::IPv6Protocol)
            return notAHost.arg(host);
        if (!after.isEmpty())
            port = after.mid(1);
        host = host.mid(1, close - 1);
    } else if (host.count(QLatin1Char(':')) == 1) {
        port = host.section(QLatin1Char(':'), 1);
        host = host.section(QLatin1Char(':'), 0, 0);
    }
    if (port) {
        bool ok = false;
        const uint number = port->toUInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return tr("Time server: \"%1\" is not a port; give a number from 1 to 65535 after "
                      "the colon.")
                .arg(*port);
    }
    if (!QHostAddress(host).isNull())
        return QString();
    // A name: letters, digits and hyphens between dots, as the name service takes them (a name
    // in another script as its ASCII form).
    static const QRegularExpression name(
        QStringLiteral("^(?=.{1,253}\\.?$)([A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.)*"
                       "[A-Za-z0-9]([A-Za-z0-9-]{0,61}[A-Za-z0-9])?\\.?$"));
    if (!name.match(QString::fromLatin1(QUrl::toAce(host))).hasMatch())
        return notAHost.arg(host);
    return QString();
}

QString PreferencesDialog::timeTableSourceProblem(const QString& source) {
    const QString text = source.trimmed();
    if (text.isEmpty())
        return QString();
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return tr("Time table source: %1 is not a URL.").arg(text);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https"))
        return tr("Time table source: %1 is not an http or https URL; give the address of a "
                  "finals2000A file, such as %2, or nothing for no refresh.")
            .arg(text, QLatin1String(kDefaultTimeTableSource));
    if (url.host().isEmpty())
        return tr("Time table source: %1 names no host.").arg(text);
    return QString();
}
