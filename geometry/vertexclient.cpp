#include "geometry/vertexclient.h"

template <typename T>
VertexClient<T>::VertexClient(int space, int size, int capacity, int growth)
    : m_server(new VertexServer<T>(space, size, capacity, growth))
{
    m_server->ref();
}

template <typename T>
VertexClient<T>::VertexClient(const VertexClient& other) : m_server(other.m_server)
{
    if (m_server)
        m_server->ref();
}

template <typename T>
VertexClient<T>& VertexClient<T>::operator=(const VertexClient& other)
{
    assign(other);
    return *this;
}

template <typename T>
void VertexClient<T>::assign(const VertexClient& other)
{
    if (this != &other)
        setServer(other.m_server);
}

template <typename T>
VertexClient<T>::~VertexClient()
{
    if (m_server)
        m_server->deref();
}

template <typename T>
void VertexClient<T>::detach()
{
    if (!m_server || m_server->getRefs() < 2)
        return;
    auto* copy = new VertexServer<T>(*m_server);
    copy->ref();
    m_server->deref();
    m_server = copy;
}

template <typename T>
void VertexClient<T>::setServer(VertexServer<T>* server)
{
    if (server == m_server)
        return;
    if (server)
        server->ref();
    if (m_server)
        m_server->deref();
    m_server = server;
}

#define PLEXAN_INSTANTIATE(T) template class VertexClient<T>;
PLEXAN_FOR_EACH_COORDINATE_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
