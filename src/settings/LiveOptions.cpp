#include "settings/LiveOptions.h"

#include "settings/SettingsPaths.h"

LiveOptions& LiveOptions::Get()
{
    static LiveOptions* instance = [] {
        auto* options = new LiveOptions; // lives until the process ends
        options->m_value = MofurinOptions::Read(OptionsFilePath());
        return options;
    }();
    return *instance;
}

void LiveOptions::set(const MofurinOptions& value)
{
    const bool different = !(value == m_value);
    m_value = value;
    if (different)
        emit changed();
}
