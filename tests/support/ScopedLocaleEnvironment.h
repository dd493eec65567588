#pragma once

#include <map>
#include <optional>
#include <string>

namespace qvxtest
{

/** Clears the variables that carry the user's preferred languages (LANGUAGE, LC_ALL,
    LC_MESSAGES, LANG) for the life of the object and gives their old values back afterwards, so
    that a test sets exactly what it wants. */
class ScopedLocaleEnvironment
{
public:
    ScopedLocaleEnvironment();
    ~ScopedLocaleEnvironment();

    /** Sets a variable; nullptr unsets it. */
    static void set (const char* name, const char* value);

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

}  // namespace qvxtest
