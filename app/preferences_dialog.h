#pragma once

#include "app/settings.h"
#include "planning/magnitudes.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PreferencesDialog;
}

// TLEs > Preferences...: every setting a person may want to change that has no place of its own
// in the window: how many element sets the window keeps, how far ahead the planner searches,
// how early a reminder comes, the magnitude file, the time server, the automatic update and
// where the time table is refreshed from.
// OK checks each value and, while one is refused, says why in problemLabel and stays open.
class PreferencesDialog : public QDialog {
    Q_OBJECT

public:
    explicit PreferencesDialog(QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    void setPreferences(const Preferences& preferences);
    Preferences preferences() const;

    // Reads a file of standard magnitudes (readStandardMagnitudeFile); returns why it was not
    // read (magnitudes then empty), or the empty text.
    static QString readMagnitudes(const QString& file, StandardMagnitudes& magnitudes);
    // Why the time server is refused, or the empty text for a name or an address with an
    // optional :PORT (an IPv6 address then in brackets), or for none.
    static QString timeServerProblem(const QString& server);
    // Why the time table's source is refused, or the empty text for an http or https URL with a
    // host, or for none. Files are not offered: the refresh is for a table that ages.
    static QString timeTableSourceProblem(const QString& source);

    void accept() override;

private:
    void browseMagnitudeFile();

    std::unique_ptr<Ui::PreferencesDialog> ui;
};
