#pragma once

namespace timers {

// Qt needs a UTF-8 character type. Started with no locale at all (a bare service, env -i), it
// would switch to C.UTF-8 itself with a four-line warning; choosing it first keeps stderr for
// what matters. A locale the user set (LC_ALL) is left alone. Call before the application object.
void chooseUtf8CharacterType();

} // namespace timers
