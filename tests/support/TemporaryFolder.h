#pragma once

#include <juce_core/juce_core.h>

namespace qvxtest
{

/** A fresh, empty folder that is deleted with everything in it when the object goes. */
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();

    const juce::File& get() const { return m_folder; }
    juce::File getChildFile (const juce::String& name) const { return m_folder.getChildFile (name); }

private:
    juce::File m_folder;

    JUCE_DECLARE_NON_COPYABLE (TemporaryFolder)
};

}  // namespace qvxtest
