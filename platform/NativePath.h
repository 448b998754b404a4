#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

/// File names as the kernel stores them (bytes) and as the program shows and
/// passes them (QString). Names that are not valid UTF-8 keep every byte: an
/// undecodable byte b becomes the lone surrogate U+DC00 + b, and Encode turns
/// it back, so such a file can be listed, opened, copied and deleted. Qt's own
/// QFile::encodeName would replace those bytes and miss the file.
namespace NativePath
{
QByteArray Encode(const QString& path);
QString Decode(const char* bytes, qsizetype length);
inline QString Decode(const QByteArray& bytes)
{
    return Decode(bytes.constData(), bytes.size());
}
/// The path for a title or a menu: each escaped byte shows as U+FFFD.
QString ForDisplay(const QString& path);
/// The program's arguments from their bytes (QCoreApplication::arguments
/// replaces the bytes of a name that is not valid UTF-8).
QStringList Arguments(int argc, const char* const* argv);
/// True when the path holds escaped bytes (Qt's file classes cannot reach it).
bool HasEscapes(const QString& path);
} // namespace NativePath
