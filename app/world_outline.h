#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QPolygonF>
#include <QRectF>
#include <QString>

#include <optional>
#include <vector>

// The map's coastlines and borders, as tools/map/make_world_outline.py writes them from Natural
// Earth's countries and the program carries them (:/map/world_outline.bin).
struct WorldOutline {
    Q_DECLARE_TR_FUNCTIONS(WorldOutline)

public:
    enum class Kind : unsigned char { Coastline = 0, Border = 1 };
    struct Line {
        Kind kind = Kind::Coastline;
        QPolygonF points; // x: longitude east, y: latitude north, degrees
        QRectF bounds;
    };
    std::vector<Line> lines;

    // Larger files are refused unread.
    static constexpr int kMaxBytes = 4 << 20;

    // The lines of the file's bytes; nothing, and why in problem, for bytes that are not such a
    // file whole: a wrong header, a count or a point beyond the bytes or the Earth, bytes left.
    static std::optional<WorldOutline> read(const QByteArray& bytes, QString* problem);
    // The built-in outline.
    static std::optional<WorldOutline> readBuiltIn(QString* problem);
};
