#pragma once
// Text for the console that started the program, if there is one (the installer is a window program,
// so it attaches to its parent's console or writes to redirected standard output).
#include <string_view>


namespace zunor {

class ConsoleOutput {
public:
    ConsoleOutput();
    bool available() const { return handle_ != nullptr; }
    void Print(std::wstring_view line);

private:
    void* handle_ = nullptr;
    bool isConsole_ = false;
};

}  // namespace zunor
