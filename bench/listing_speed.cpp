// Benchmark: how fast the listing scan reads a 10 MB page, an ordinary index and a page of links that
// never close. Target: 100 MB/s or more. Built optimised and without sanitizers; prints the best of
// several rounds and says when the target is missed (by how much). Not a test: it always exits 0
// unless the scan found the wrong names.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "install/listing_parser.h"

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
        std::printf("%-16s %8.0f MB/s  %zu names  target %.0f MB/s: %s\n", p.what, rate, names,
                    kRequiredMegabytesPerSecond,
                    rate >= kRequiredMegabytesPerSecond ? "met" : "MISSED");
        if (rate < kRequiredMegabytesPerSecond)
            std::printf("  short of the target by %.0f%%\n", 100.0 * (1.0 - rate / kRequiredMegabytesPerSecond));
        ok = ok && (names > 50000) == p.hasNames;
    }
    return ok ? 0 : 1;
}
