#include "astro/csv.h"

std::optional<std::vector<std::string>> csvFields(std::string_view line) {
    std::vector<std::string> fields(1);
    std::size_t i = 0;
    while (i <= line.size()) {
        std::string& field = fields.back();
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size())
                    return std::nullopt;
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"')
                        field += line[++i];
                    else
                        break;
                } else {
                    field += line[i];
                }
            }
            ++i;
            if (i < line.size() && line[i] != ',')
                return std::nullopt;
            if (field.size() > 1 && field[0] == '\'' &&
                std::string_view("=+-@").find(field[1]) != std::string_view::npos)
                field.erase(0, 1);
        } else {
            while (i < line.size() && line[i] != ',')
                field += line[i++];
        }
        if (i >= line.size())
            break;
        fields.emplace_back();
        ++i;
    }
    return fields;
}
