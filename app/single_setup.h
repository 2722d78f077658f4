#pragma once
// One setup program at a time on the computer, installing or removing. Every one that runs holds a
// handle to a named mutex in the global namespace; while any handle is open the mutex exists, and a
// later start learns from that that another one runs. The system closes the handle of a setup program
// that is killed, so a crashed one never blocks the next.
#include "system/unique_handles.h"

namespace zunor {

class SingleSetup {
public:
    SingleSetup();
    // False when another setup program already held it when this one started.
    bool first() const { return first_; }

private:
    UniqueHandle mutex_;
    bool first_ = true;
};

} // namespace zunor
