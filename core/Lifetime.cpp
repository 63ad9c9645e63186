#include "Lifetime.h"

#include <utility>

namespace wl {

namespace {
long g_violations = 0;
}

HandlerCounted::~HandlerCounted()
{
    if (m_depth != 0) ++g_violations;
}

long HandlerCounted::Violations() noexcept { return g_violations; }

HandlerScope::HandlerScope(HandlerCounted& object, std::shared_ptr<void> keepAlive) noexcept
    : m_keep(std::move(keepAlive)), m_object(object)
{
    ++m_object.m_depth;
}

HandlerScope::~HandlerScope() { --m_object.m_depth; }

}  // namespace wl
