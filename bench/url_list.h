#pragma once
// The benchmarks' URL lists: one URL a line, ASCII.
#include <fstream>
#include <string>
#include <vector>

inline std::vector<std::wstring> ReadUrlList(const wchar_t* path) {
    std::vector<std::wstring> urls;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            urls.emplace_back(line.begin(), line.end());
    }
    return urls;
}
