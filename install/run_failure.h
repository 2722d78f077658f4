#pragma once
// The one error the run throws: a failure it does not trap. The handler of "Dalje" shows it as the
// failure report and ends the program.
#include <string>

namespace zunor {

struct RunFailure {
    int number = 0;
    std::wstring description;  // a sentence a user understands
    std::wstring context;      // what was being done: "Fascikla: <path>", "Adresa: <url>", ...
    std::wstring detail = {};  // why, in the program's words, where the system's text would not say it
    // The number is the platform's error code, whose own text the report adds; otherwise it is an HTTP
    // status or the program's own number, which the system has no text for.
    bool systemError = true;
};

}  // namespace zunor
