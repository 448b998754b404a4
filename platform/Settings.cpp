#include "Settings.h"

#include "NativePath.h"

#include <QSettings>

namespace
{
QString g_maker = QStringLiteral("Tarnwell");
QString g_application = QStringLiteral("Vistrel");

QString Key(const QString& section, const QString& entry)
{
    return section + QLatin1Char('/') + entry;
}

// Section and value names are case-insensitive, as in the store the layout
// comes from: "[StartUp]" written by hand or by another tool holds the
// values read as "Startup". Exact names are tried first.
QVariant Lookup(QSettings& store, const QString& section, const QString& entry)
{
    QVariant v = store.value(Key(section, entry));
    if (v.isValid())
        return v;
    for (const QString& group : store.childGroups())
    {
        if (group.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        store.beginGroup(group);
        for (const QString& key : store.childKeys())
            if (!v.isValid() && key.compare(entry, Qt::CaseInsensitive) == 0)
                v = store.value(key);
        store.endGroup();
        if (v.isValid())
            break;
    }
    return v;
}

bool WriteValue(const QString& section, const QString& entry, const QVariant& value)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    store.setValue(Key(section, entry), value);
    store.sync();
    return store.status() == QSettings::NoError;
}
} // namespace

namespace Settings
{
void SetRegistryKey(const QString& maker, const QString& application)
{
    g_maker = maker;
    g_application = application;
}

QString GetProfileString(const QString& section, const QString& entry, const QString& def)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    const QVariant v = Lookup(store, section, entry);
    // An unquoted value with commas (a placement written by hand) reads as
    // a list: it stands for the text as written.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.isValid() ? v.toString() : def;
}

int GetProfileInt(const QString& section, const QString& entry, int def)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    const QVariant v = Lookup(store, section, entry);
    bool ok = false;
    const int n = v.toString().trimmed().toInt(&ok);
    return v.isValid() && ok ? n : def;
}

bool WriteProfileString(const QString& section, const QString& entry, const QString& value)
{
    return WriteValue(section, entry, value);
}

bool WriteProfileInt(const QString& section, const QString& entry, int value)
{
    return WriteValue(section, entry, value);
}

QByteArray GetProfileBinary(const QString& section, const QString& entry)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    return store.value(Key(section, entry)).toByteArray();
}

bool WriteProfileBinary(const QString& section, const QString& entry, const QByteArray& value)
{
    return WriteValue(section, entry, value);
}

QString GetProfilePath(const QString& section, const QString& entry)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    const QVariant v = Lookup(store, section, entry);
    if (v.typeId() == QMetaType::QByteArray)
        return NativePath::Decode(v.toByteArray());
    return GetProfileString(section, entry);
}

bool WriteProfilePath(const QString& section, const QString& entry, const QString& path)
{
    if (NativePath::HasEscapes(path))
        return WriteValue(section, entry, NativePath::Encode(path));
    return WriteValue(section, entry, path);
}

bool HasProfileValue(const QString& section, const QString& entry)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    return store.contains(Key(section, entry));
}

QString FileName()
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, g_maker, g_application);
    return store.fileName();
}
} // namespace Settings
