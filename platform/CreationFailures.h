#pragma once

namespace platform
{

/** The kinds of object whose creation a test can make fail. */
enum class Creation
{
    hidManager,
    array,
    dictionary,
    number
};

/** Test seam: once `successesFirst` more objects of the kind have been created, the next
    creation of that kind fails (returns null), once. The program never calls it. Any thread. */
void failCreationForTests (Creation kind, int successesFirst = 0);

/** Whether this creation of the kind is the one a test asked to fail. Any thread. */
bool creationFails (Creation kind);

}  // namespace platform
