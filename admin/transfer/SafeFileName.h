#pragma once

#include <QDir>
#include <QString>
#include <QStringView>

// What a name that came over the network may become on this disk: one plain file name inside a folder the
// user chose, never a path, never hidden, never one that replaces a file already there.
namespace SafeFileName {

// Room is left for " (9999)" and ".part" under the usual 255-byte limit of a file name.
inline constexpr int MaxBytes = 200;

// The last component after any '/' or '\', without control or format characters, without the characters
// other systems refuse in names, without leading dots or spaces, cut to MaxBytes of UTF-8 keeping a short
// extension. Never empty: "file" stands in for a name with nothing left.
QString reduce(QStringView name);

// `name` when nothing of that name exists in `folder`, else "name (1).ext", "name (2).ext", …; an empty
// string when every candidate is taken. Symbolic links count as existing, dangling ones too.
QString unused(const QDir &folder, const QString &name);

} // namespace SafeFileName
