#include "support/TemporaryFolder.h"

namespace qvxtest
{

TemporaryFolder::TemporaryFolder()
    : m_folder (juce::File::createTempFile ("qvx-test"))
{
    m_folder.createDirectory();
}

TemporaryFolder::~TemporaryFolder()
{
    m_folder.deleteRecursively();
}

}  // namespace qvxtest
