#include "Lifetime.h"

#include <utility>

namespace wl {

HandlerScope::HandlerScope(HandlerCounted& object, std::shared_ptr<void> keepAlive) noexcept
    : m_keep(std::move(keepAlive)), m_object(object)
{
    ++m_object.m_depth;
}

HandlerScope::~HandlerScope() { --m_object.m_depth; }

}  // namespace wl
