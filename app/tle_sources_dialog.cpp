#include "app/tle_sources_dialog.h"

#include "ui_tle_sources_dialog.h"

TleSourcesDialog::TleSourcesDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TleSourcesDialog>()) {
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TleSourcesDialog::~TleSourcesDialog() = default;

void TleSourcesDialog::setSources(const QStringList& sources) {
    ui->sourcesTextEdit->setPlainText(sources.join(QLatin1Char('\n')));
}

QStringList TleSourcesDialog::sources() const {
    QStringList lines;
    for (const QString& line : ui->sourcesTextEdit->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    return lines;
}
