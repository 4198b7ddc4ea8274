#include "tools/mountsim/element_set_check.h"

#include <QList>

#include <string_view>

std::optional<UploadedElementSet> checkElementSet(const QByteArray& text) {
    if (text.contains('\0'))
        return std::nullopt;
    QList<QByteArray> lines = text.split('\n');
    if (lines.size() == 4 && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() != 3)
        return std::nullopt;
    for (QByteArray& line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    const auto view = [](const QByteArray& line) {
        return std::string_view(line.constData(), std::size_t(line.size()));
    };
    std::optional<MeanElements> elements =
        readElementLines(view(lines[1]), view(lines[2]), "", ElementLineStrictness::Firmware);
    if (!elements)
        return std::nullopt;
    // The lines without the trailing blanks the check passed over.
    return UploadedElementSet{
        lines[0].toStdString(), std::string(*strictElementLine(view(lines[1]), '1')),
        std::string(*strictElementLine(view(lines[2]), '2')), std::move(*elements)};
}
