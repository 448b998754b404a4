#pragma once
#include <QByteArray>
#include <QString>

/// The per-user settings store: values addressed by section and name, kept
/// in $XDG_CONFIG_HOME/Tarnwell/Vistrel.ini. Every call opens the store,
/// reads or writes one value and syncs; write failures are silent. Reads
/// find section and value names in any letter case.
namespace Settings
{
/// Maker key and application name of the store.
void SetRegistryKey(const QString& maker, const QString& application);

QString GetProfileString(const QString& section, const QString& entry,
                         const QString& def = QString());
int GetProfileInt(const QString& section, const QString& entry, int def);
bool WriteProfileString(const QString& section, const QString& entry, const QString& value);
bool WriteProfileInt(const QString& section, const QString& entry, int value);
QByteArray GetProfileBinary(const QString& section, const QString& entry);
bool WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value);
/// A path, kept byte for byte: as text, or as bytes when the name is not
/// valid UTF-8 (text would turn those bytes into U+FFFD).
QString GetProfilePath(const QString& section, const QString& entry);
bool WriteProfilePath(const QString& section, const QString& entry, const QString& path);
/// True when the value exists.
bool HasProfileValue(const QString& section, const QString& entry);
/// Path of the store file.
QString FileName();
} // namespace Settings
