#include "support/ScopedLocaleEnvironment.h"

#include <cstdlib>

namespace qvxtest
{

namespace
{
const char* const localeVariables[] = { "LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG" };
}

ScopedLocaleEnvironment::ScopedLocaleEnvironment()
{
    for (const char* name : localeVariables)
    {
        const char* value = std::getenv (name);
        m_saved[name] = value != nullptr ? std::optional<std::string> (value) : std::nullopt;
        unsetenv (name);
    }
}

ScopedLocaleEnvironment::~ScopedLocaleEnvironment()
{
    for (const auto& [name, value] : m_saved)
        set (name.c_str(), value ? value->c_str() : nullptr);
}

void ScopedLocaleEnvironment::set (const char* name, const char* value)
{
    if (value != nullptr)
        setenv (name, value, 1);
    else
        unsetenv (name);
}

}  // namespace qvxtest
