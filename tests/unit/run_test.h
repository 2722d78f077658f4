#pragma once
// The fixture of the installation run's tests: the recording fakes, and Apache's index pages served
// for the three folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/run_failure.h"
#include "tests/unit/run_fakes.h"

namespace zunor::test {

inline std::string Page(const std::vector<std::string>& names) {
    // Apache's index: LF line ends, so the whole page is one line to the scan.
    std::string page = "<html>\n<body>\n<a href=\"?C=N;O=D\">Name</a>\n<a href=\"/\">Parent Directory</a>\n";
    for (const auto& n : names) {
        page += "<a href=\"" + n + "\">" + n + "</a>\n";
    }
    return page + "</body></html>\n";
}

class RunTest : public ::testing::Test, public RunFakes {
protected:
    using RunFakes::Run; // not the framework's own Test::Run
    void Serve(std::wstring_view folder, const std::vector<std::string>& names) {
        net.pages[std::wstring(kBase) + std::wstring(folder)] = Page(names);
    }
    void ServeAll(const std::vector<std::string>& program, const std::vector<std::string>& templates,
                  const std::vector<std::string>& support) {
        Serve(L"/zunor", program);
        Serve(L"/zunor/TEMPLATE", templates);
        Serve(L"/zunor/SUPORT", support);
    }
    RunFailure RunExpectingFailure() {
        try {
            Run();
        } catch (const RunFailure& failure) {
            return failure;
        }
        ADD_FAILURE() << "the run did not throw";
        return {};
    }
};

} // namespace zunor::test
