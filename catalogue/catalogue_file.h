#pragma once

#include <QString>

// Whether two paths name the same existing file.
bool isSameFile(const QString& a, const QString& b);

// Replaces the catalogue file by a copy of another file without ever leaving it half written:
// the source is read as any element set file is (kMaxElementSetFileBytes at most, a regular
// file), and the copy lands whole or not at all (writeFileWhole). Returns what went wrong, in
// the window's words, with the target untouched; empty on success. The source being the target
// itself changes nothing and is no fault.
QString replaceCatalogueFile(const QString& source, const QString& target);
