#pragma once

#include <string>

namespace qvxtest
{

/** Sends standard error to a temporary file while the object lives, so that a test can compare
    the exact bytes written. Not for use from two threads at once. */
class StderrCapture
{
public:
    StderrCapture();
    ~StderrCapture();

    /** Every byte written to standard error since the capture began. */
    std::string text() const;

private:
    int m_savedFd = -1;
    int m_fileFd = -1;

    StderrCapture (const StderrCapture&) = delete;
    StderrCapture& operator= (const StderrCapture&) = delete;
};

}  // namespace qvxtest
