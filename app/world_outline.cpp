#include "app/world_outline.h"

#include <QFile>
#include <QtEndian>

#include <cstring>

namespace {

constexpr int kHeaderBytes = 12;
constexpr quint32 kMaxLines = 1000000;

} // namespace

// The resources sit in a static library; naming their initialiser keeps the linker from dropping
// them (the window does the same).
static void registerResources() {
    Q_INIT_RESOURCE(resources);
}

std::optional<WorldOutline> WorldOutline::read(const QByteArray& bytes, QString* problem) {
    const auto refuse = [problem](const QString& why) {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if (bytes.size() > kMaxBytes)
        return refuse(tr("The map's outline is larger than %n bytes.", nullptr, kMaxBytes));
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < kHeaderBytes || std::memcmp(data, "OTWO", 4) != 0 ||
        qFromLittleEndian<quint16>(data + 4) != 1)
        return refuse(tr("The map's outline is not an outline file of a known version."));
    const int units = qFromLittleEndian<quint16>(data + 6);
    const quint32 count = qFromLittleEndian<quint32>(data + 8);
    if (units == 0 || count > kMaxLines)
        return refuse(tr("The map's outline has a header out of range."));
    WorldOutline outline;
    outline.lines.reserve(count);
    qsizetype at = kHeaderBytes;
    for (quint32 i = 0; i < count; ++i) {
        if (size - at < 5)
            return refuse(tr("The map's outline ends within line %1.").arg(i + 1));
        const uchar kind = data[at];
        const quint32 points = qFromLittleEndian<quint32>(data + at + 1);
        at += 5;
        if (kind > 1 || points < 2 || quint64(points) * 4 > quint64(size - at))
            return refuse(tr("The map's outline has a line %1 out of range.").arg(i + 1));
        Line line;
        line.kind = Kind(kind);
        line.points.reserve(int(points));
        for (quint32 k = 0; k < points; ++k, at += 4) {
            const double lon = qFromLittleEndian<qint16>(data + at) / double(units);
            const double lat = qFromLittleEndian<qint16>(data + at + 2) / double(units);
            if (std::abs(lon) > 180.0 || std::abs(lat) > 90.0)
                return refuse(
                    tr("The map's outline has a point off the Earth in line %1.").arg(i + 1));
            line.points << QPointF(lon, lat);
        }
        line.bounds = line.points.boundingRect();
        outline.lines.push_back(std::move(line));
    }
    if (at != size)
        return refuse(
            tr("The map's outline has %n bytes after its last line.", nullptr, int(size - at)));
    return outline;
}

std::optional<WorldOutline> WorldOutline::readBuiltIn(QString* problem) {
    registerResources();
    QFile file(QStringLiteral(":/map/world_outline.bin"));
    if (!file.open(QIODevice::ReadOnly)) {
        if (problem)
            *problem = tr("The map's outline is missing.");
        return std::nullopt;
    }
    return read(file.read(kMaxBytes + 1), problem);
}
