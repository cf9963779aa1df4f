#pragma once
// VertexClient<T>: a handle on a VertexServer<T> holding one reference on it.
// Copies share the server; detach() gives a client a private copy of a server
// that others hold too, and is called before changing coordinates in place.

#include "geometry/vertexserver.h"

template <typename T>
class VertexClient {
public:
    // No server.
    VertexClient() = default;
    // A new server with these arguments (see VertexServer).
    VertexClient(int space, int size, int capacity = 0, int growth = 0);
    // Shares the source's server.
    VertexClient(const VertexClient& other);

    // Forwards to assign.
    virtual VertexClient& operator=(const VertexClient& other);
    // Shares other's server.
    virtual void assign(const VertexClient& other);
    virtual ~VertexClient();
    // Replaces a server held by two or more clients by a private deep copy;
    // nothing happens with one reference or no server.
    virtual void detach();

    // Releases the old server and references the new one (nothing if same).
    void setServer(VertexServer<T>* server);
    VertexServer<T>* getServer() { return m_server; }
    const VertexServer<T>* getServer() const { return m_server; }
    bool hasServer() const { return m_server != nullptr; }

protected:
    VertexServer<T>* m_server = nullptr;
};

#define PLEXAN_EXTERN_VERTEX_CLIENT(T) extern template class VertexClient<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_EXTERN_VERTEX_CLIENT)
#undef PLEXAN_EXTERN_VERTEX_CLIENT
