#include "platform/Services.h"

namespace {
Services& inUse()
{
    static Services services;
    return services;
}
} // namespace

const Services& CurrentServices()
{
    return inUse();
}

UseServices::UseServices(const Services& services) : m_previous(inUse())
{
    inUse() = services;
}

UseServices::~UseServices()
{
    inUse() = m_previous;
}
