#pragma once

#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui {
class TleSourcesDialog;
}

// TLEs > Sources...: the update's source URLs, one per line.
class TleSourcesDialog : public QDialog {
    Q_OBJECT

public:
    explicit TleSourcesDialog(QWidget* parent = nullptr);
    ~TleSourcesDialog() override;

    void setSources(const QStringList& sources);
    // The lines as typed, trimmed, blank ones left out.
    QStringList sources() const;

private:
    std::unique_ptr<Ui::TleSourcesDialog> ui;
};
