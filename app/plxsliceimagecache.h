#pragma once
// The image caches of an application stack, keyed by the slice's identity
// (its address printed as a pointer), each entry of cost 1, the least
// recently used evicted first. find() makes a hit the most recent entry;
// insert() takes ownership of the image (and deletes it at once when the
// capacity is 0).
//
// PLXSliceImageCache: decoded slice images, 100 by default.
// PLXRawImageCache: the last slice image read at full size (capacity 1).
// PLXSlicePixmapCache: display pixmaps, 100 by default.
//
// GUI thread only, like the stack that owns them.

#include "image/image.h"

#include <QCache>
#include <QPixmap>
#include <QString>

class StackSlice;

template <typename T>
class PLXSliceCache {
public:
    explicit PLXSliceCache(int capacity) : m_cache(capacity) {}
    PLXSliceCache(const PLXSliceCache&) = delete;
    PLXSliceCache& operator=(const PLXSliceCache&) = delete;

    static QString key(const StackSlice* slice) { return QString::asprintf("%p", static_cast<const void*>(slice)); }

    T* find(const StackSlice* slice) { return m_cache.object(key(slice)); }
    void insert(const StackSlice* slice, T* object) { m_cache.insert(key(slice), object, 1); }
    void remove(const StackSlice* slice) { m_cache.remove(key(slice)); }
    void clear() { m_cache.clear(); }
    int getSize() const { return static_cast<int>(m_cache.size()); }
    int getCapacity() const { return static_cast<int>(m_cache.maxCost()); }

private:
    QCache<QString, T> m_cache;
};

class PLXSliceImageCache : public PLXSliceCache<Image> {
public:
    explicit PLXSliceImageCache(int capacity = 100) : PLXSliceCache<Image>(capacity) {}
};

class PLXRawImageCache : public PLXSliceImageCache {
public:
    PLXRawImageCache() : PLXSliceImageCache(1) {}
};

class PLXSlicePixmapCache : public PLXSliceCache<QPixmap> {
public:
    explicit PLXSlicePixmapCache(int capacity = 100) : PLXSliceCache<QPixmap>(capacity) {}
};
