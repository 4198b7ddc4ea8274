#pragma once

#include <QString>

// Whether two paths name the same existing file.
bool isSameFile(const QString& a, const QString& b);

// Replaces the catalogue file by a copy of another file without ever leaving it half written:
// the copy goes to a temporary file in the same folder, which is renamed over the target only
// when complete. Returns false, with the target untouched, when the source is the target itself
// or anything fails.
bool replaceCatalogueFile(const QString& source, const QString& target);
