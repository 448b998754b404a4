#include "EmbeddedResources.h"

#include "Resource.h"
#include "ResourceTable.h"

#include <QFile>
#include <QString>

namespace
{
// Registers a BMP file of the .qrc without its 14-byte file header.
void RegisterBitmap(int id, const char* path)
{
    static QList<QByteArray> s_keep; // the table does not copy the bytes
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    if (bytes.size() <= 14)
        return;
    s_keep.append(bytes.mid(14));
    const QByteArray& dib = s_keep.last();
    ResourceTable::Register(id, RT_BITMAP, reinterpret_cast<const uint8_t*>(dib.constData()),
                            size_t(dib.size()));
}
} // namespace

void RegisterEmbeddedResources()
{
    static bool s_done = false;
    if (s_done)
        return;
    s_done = true;
    Q_INIT_RESOURCE(resources);
    RegisterBitmap(Id::IDB_SPLASH, ":/bitmaps/splash.bmp");
    RegisterBitmap(Id::IDB_TREEIMAGES, ":/bitmaps/tree.bmp");
}
