#pragma once

// Puts in use the services in use now with one test's changes (a fake, a folder, a scale),
// until this object dies; objects made later die first, so each puts back what it found.
#include "platform/Services.h"

#include <functional>
#include <memory>

class ChangedServices
{
public:
    explicit ChangedServices(const std::function<void(Services&)>& change)
    {
        Services services = CurrentServices();
        change(services);
        m_use = std::make_unique<UseServices>(services);
    }

private:
    std::unique_ptr<UseServices> m_use;
};
