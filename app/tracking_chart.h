#pragma once

#include <QPointer>
#include <QWidget>

class PassRecorder;

// A strip chart of the pass under way (or the last one): both axes' tracking errors in
// arc-seconds while the mount tracks, against the seconds since it began to track (its first
// `T`), with each axis's RMS and peak above them.
class TrackingChart : public QWidget {
    Q_OBJECT

public:
    explicit TrackingChart(QWidget* parent = nullptr);

    // Follows the recorder's samples from now on; it must outlive the chart or be null.
    void setRecorder(const PassRecorder* recorder);
    // The line above the plot: each axis's RMS and peak.
    QString legend() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<const PassRecorder> recorder;
};
