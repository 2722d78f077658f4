// The listing scan must keep up with a large index: at least 100 MB/s on a 10 MB page, for an
// ordinary index and for a page of links that never close. Built optimised and without sanitizers;
// the best of several rounds counts, so a busy machine does not fail it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "wizard/listing_parser.h"

namespace {

constexpr std::size_t kPageBytes = 10 * 1024 * 1024;
constexpr double kRequiredMegabytesPerSecond = 100.0;

std::string IndexPage() {
    std::string page = "<html><body><table>\n";
    for (int i = 0; page.size() < kPageBytes; ++i) {
        const std::string name = "file" + std::to_string(i) + ".dat";
        page += "<tr><td valign=\"top\"><img src=\"/icons/unknown.gif\" alt=\"[   ]\"></td><td><a href=\"" +
                name + "\">" + name +
                "</a></td><td align=\"right\">2021-03-01 10:00  </td><td align=\"right\">12K</td></tr>\n";
    }
    return page;
}

std::string UnclosedLinks() {
    std::string page;
    while (page.size() < kPageBytes) {
        page += "href=\"";
    }
    return page;
}

// Returns the best rate in MB/s, and the name count of the last round.
double BestRate(const std::string& page, std::size_t& names) {
    double best = 0;
    for (int round = 0; round < 7; ++round) {
        const auto start = std::chrono::steady_clock::now();
        names = zunor::ParseListing(page, zunor::ListingKind::Program).size();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::max(best, static_cast<double>(page.size()) / (1024.0 * 1024.0) / took.count());
    }
    return best;
}

} // namespace

int main() {
    bool ok = true;
    const struct {
        const char* what;
        std::string page;
        bool hasNames;
    } pages[] = {{"index page", IndexPage(), true}, {"unclosed links", UnclosedLinks(), false}};
    for (const auto& p : pages) {
        std::size_t names = 0;
        const double rate = BestRate(p.page, names);
        std::printf("%s: %.0f MB/s, %zu names\n", p.what, rate, names);
        ok = ok && rate >= kRequiredMegabytesPerSecond && (names > 50000) == p.hasNames;
    }
    return ok ? 0 : 1;
}
