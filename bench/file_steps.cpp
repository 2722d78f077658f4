// file_steps URL_LIST LARGE_URL OUT_FOLDER: what each step of the installer's path for one file costs.
// URL_LIST names small files (one URL a line); LARGE_URL one large file. Prints, best of three passes:
//   - the small files fetched with the steps added one at a time, from the plain WinINet loop up to
//     modSetup::DownloadFile itself, in ms per file;
//   - the large file the same way, in ms per MiB, and in ranges over a pool of four connections;
//   - the steps that need no network, the way they were paid before and the way they are paid now:
//     the URL-cache purge, handing a file to a thread, a log line, the checksum engines, the flush.
// Not a test: it prints figures. bench/file_steps.sh serves the files and runs it.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/background_transfer.h"
#include "app/install_log.h"
#include "bench/url_list.h"
#include "download/http_request.h"
#include "download/modsetup.h"
#include "download/sha256.h"

namespace {

using modSetup::detail::Sha256;

constexpr DWORD kChunk = 64 * 1024;
constexpr int kRounds = 5;

double Now() {
    LARGE_INTEGER frequency{}, counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// A measure: work done once per round, and what its time (ms) is divided by.
struct Measure {
    std::function<void()> work;
    double per = 1.0;
    double best = 1e300;
};

// A body on its way to disk, as PartFile writes it: a temporary file beside the destination, flushed
// or not, closed and moved over the destination; or the destination written directly.
class Output {
public:
    Output(const std::wstring& destination, bool temporary, bool flush)
        : destination_(destination), temporary_(temporary ? destination + L".part" : L""), flush_(flush) {
        file_ = zunor::AdoptFileHandle(CreateFileW(temporary ? temporary_.c_str() : destination.c_str(),
                                                   GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                                   nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    void Write(const char* data, DWORD size) {
        DWORD written = 0;
        WriteFile(file_.get(), data, size, &written, nullptr);
    }
    void Close() {
        if (flush_)
            FlushFileBuffers(file_.get());
        file_.reset();
        if (!temporary_.empty())
            MoveFileExW(temporary_.c_str(), destination_.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    }

private:
    std::wstring destination_;
    std::wstring temporary_;
    bool flush_;
    zunor::UniqueHandle file_;
};

// Which steps of the installer's path a fetch takes.
struct Steps {
    bool installerRequest =
        false; // InternetConnect, HttpOpenRequest with the limits set, redirects and the final URL checked
    bool arrivedReads = false;  // reads of what has arrived (the drip guard), gathered to 64 KiB
    bool temporaryFile = false; // a temporary file beside the destination, moved over it
    bool flush = false;         // flushed before the move
    bool checksum = false;      // SHA-256 of the body
    Sha256::Engine engine = Sha256::Engine::Fastest;
};

bool Fetch(HINTERNET session, const std::wstring& url, const std::wstring& destination, const Steps& steps,
           char* buffer, std::string* body = nullptr) {
    zunor::UniqueHinternet plain;
    modSetup::detail::OpenRequest opened;
    HINTERNET request = nullptr;
    if (steps.installerRequest) {
        zunor::TransferResult result;
        opened = modSetup::detail::OpenGet(url, result);
        request = opened.request.get();
    } else {
        plain.reset(InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                     INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                         INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI,
                                     0));
        request = plain.get();
    }
    if (!request)
        return false;
    Output output(destination, steps.temporaryFile, steps.flush);
    std::optional<Sha256> hash;
    if (steps.checksum)
        hash.emplace(steps.engine);
    DWORD held = 0;
    const auto store = [&] {
        output.Write(buffer, held);
        if (body)
            body->append(buffer, held);
        if (hash)
            hash->Add(buffer, held);
        held = 0;
    };
    for (;;) {
        DWORD read = 0;
        if (steps.arrivedReads) {
            DWORD available = 0;
            if (!InternetQueryDataAvailable(request, &available, 0, 0))
                return false;
            const DWORD room = kChunk - held;
            if (!InternetReadFile(request, buffer + held, available == 0 ? room : std::min(available, room),
                                  &read))
                return false;
        } else if (!InternetReadFile(request, buffer, kChunk, &read)) {
            return false;
        }
        if (read == 0)
            break;
        held += read;
        if (!steps.arrivedReads || held == kChunk)
            store();
    }
    store();
    if (hash)
        hash->Finish();
    output.Close();
    return true;
}

// A small file on each of the local steps: its bytes, written the way a transfer writes them.
void WriteFiles(const std::wstring& folder, const std::vector<std::string>& bodies, const Steps& steps) {
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        Output output(folder + L"\\local" + std::to_wstring(i), steps.temporaryFile, steps.flush);
        output.Write(bodies[i].data(), static_cast<DWORD>(bodies[i].size()));
        output.Close();
    }
}

DWORD WINAPI Nothing(void*) {
    return 0;
}

void Line(const char* what, double value) {
    std::printf("  %-72s %8.3f\n", what, value);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fwprintf(stderr, L"usage: file_steps URL_LIST LARGE_URL OUT_FOLDER\n");
        return 2;
    }
    const std::vector<std::wstring> urls = ReadUrlList(argv[1]);
    const std::wstring large = argv[2];
    const std::wstring folder = argv[3];
    if (urls.empty())
        return 2;
    HINTERNET session = InternetOpenW(L"file_steps", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    auto buffer = std::make_unique<char[]>(kChunk);

    // The bodies and their digests, for the steps without network and the checked downloads.
    std::vector<std::string> bodies;
    std::vector<zunor::TransferOptions> checked(urls.size());
    std::uint64_t smallBytes = 0;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        Fetch(session, urls[i], folder + L"\\net" + std::to_wstring(i), Steps{}, buffer.get(),
              &bodies.emplace_back());
        smallBytes += bodies.back().size();
        Sha256 hash;
        hash.Add(bodies.back().data(), static_cast<ULONG>(bodies.back().size()));
        checked[i].expectedSha256 = hash.Finish();
    }
    std::string largeBody;
    Fetch(session, large, folder + L"\\large", Steps{}, buffer.get(), &largeBody);
    zunor::TransferOptions largeChecked;
    {
        Sha256 hash;
        hash.Add(largeBody.data(), static_cast<ULONG>(largeBody.size()));
        largeChecked.expectedSha256 = hash.Finish();
    }
    const double files = static_cast<double>(urls.size());
    const double mib = static_cast<double>(largeBody.size()) / 1048576.0;
    largeBody = std::string();

    std::map<std::string, Measure> measures;
    const auto network = [&](const std::string& name, const std::vector<std::wstring>& list, Steps steps,
                             double per) {
        measures[name] = {[&, list, steps] {
                              for (std::size_t i = 0; i < list.size(); ++i)
                                  Fetch(session, list[i], folder + L"\\net" + std::to_wstring(i), steps,
                                        buffer.get());
                          },
                          per};
    };
    Steps steps;
    network("small 0", urls, steps, files);
    steps.installerRequest = true;
    network("small 1", urls, steps, files);
    steps.arrivedReads = true;
    network("small 2", urls, steps, files);
    steps.temporaryFile = true;
    network("small 3", urls, steps, files);
    steps.flush = true;
    network("small 4", urls, steps, files);
    steps.checksum = true;
    network("small 5", urls, steps, files);
    steps.engine = Sha256::Engine::Cng;
    network("small 6", urls, steps, files);
    measures["small 7"] = {[&] {
                               for (std::size_t i = 0; i < urls.size(); ++i)
                                   modSetup::DownloadFile(urls[i], folder + L"\\net" + std::to_wstring(i),
                                                          checked[i]);
                           },
                           files};
    const std::vector<std::wstring> one{large};
    Steps largeSteps;
    network("large 0", one, largeSteps, mib);
    largeSteps.installerRequest = largeSteps.arrivedReads = true;
    network("large 1", one, largeSteps, mib);
    largeSteps.temporaryFile = largeSteps.flush = true;
    network("large 2", one, largeSteps, mib);
    largeSteps.checksum = true;
    network("large 3", one, largeSteps, mib);
    largeSteps.engine = Sha256::Engine::Cng;
    network("large 4", one, largeSteps, mib);
    measures["large 5"] = {[&] { modSetup::DownloadFile(large, folder + L"\\large", largeChecked); }, mib};
    // The same with three more connections free to take its ranges, as in the installer's pool.
    zunor::BackgroundTransfers pool(4, [] {});
    measures["large 6"] = {[&] {
                               pool.Run(
                                   [&](const zunor::TransferOptions& options) {
                                       return modSetup::DownloadFile(large, folder + L"\\large", options);
                                   },
                                   largeChecked);
                           },
                           mib};

    Steps temporary, flushed;
    temporary.temporaryFile = true;
    flushed.temporaryFile = flushed.flush = true;
    measures["write 0"] = {[&] { WriteFiles(folder, bodies, Steps{}); }, files};
    measures["write 1"] = {[&] { WriteFiles(folder, bodies, temporary); }, files};
    measures["write 2"] = {[&] { WriteFiles(folder, bodies, flushed); }, files};
    measures["purge 0"] = {[&] {
                               for (const auto& url : urls)
                                   modSetup::PurgeUrlCache(url, [] {});
                           },
                           files};
    measures["purge 1"] = {[&] { modSetup::PurgeUrlCaches(urls, [] {}); }, files};
    measures["thread 0"] = {[&] {
                                for (std::size_t i = 0; i < urls.size(); ++i) {
                                    zunor::UniqueHandle handle(
                                        CreateThread(nullptr, 0, Nothing, nullptr, 0, nullptr));
                                    WaitForSingleObject(handle.get(), INFINITE);
                                }
                            },
                            files};
    zunor::BackgroundTransfers workers(4, [] {});
    measures["thread 1"] = {
        [&] {
            for (std::size_t i = 0; i < urls.size(); ++i) {
                workers.Start(i, [](const zunor::TransferOptions&) { return zunor::TransferResult{}; }, {});
                workers.Next();
            }
        },
        files};
    // The progress of a 1 MiB file: told sixteen times by its worker, shown by the waiting thread.
    std::uint64_t shown = 0;
    zunor::TransferOptions showing;
    showing.progress = [&shown](std::uint64_t received, std::uint64_t) { shown += received; };
    measures["thread 2"] = {[&] {
                                for (std::size_t i = 0; i < urls.size(); ++i) {
                                    workers.Start(
                                        i,
                                        [](const zunor::TransferOptions& own) {
                                            for (std::uint64_t piece = 1; piece <= 16; ++piece)
                                                own.progress(piece * kChunk, 16 * kChunk);
                                            return zunor::TransferResult{};
                                        },
                                        showing);
                                    workers.Next();
                                }
                            },
                            files};
    zunor::FileRunLog log(folder + L"\\steps.log");
    measures["log 0"] = {
        [&] {
            for (const auto& url : urls)
                log.Write(L"file", url + L" -> C:\\bench\\zunor2021\\x.dat: status 200, 12345 B, 3 ms");
        },
        files};
    for (const auto engine : {Sha256::Engine::Cng, Sha256::Engine::Fastest}) {
        measures[engine == Sha256::Engine::Cng ? "hash 0" : "hash 1"] = {
            [&, engine] {
                for (const auto& body : bodies) {
                    Sha256 hash(engine);
                    hash.Add(body.data(), static_cast<ULONG>(body.size()));
                    hash.Finish();
                }
            },
            files};
    }

    for (int round = 0; round < kRounds; ++round) {
        for (auto& [name, measure] : measures) {
            const double start = Now();
            measure.work();
            measure.best = std::min(measure.best, (Now() - start) / measure.per);
        }
    }
    const auto at = [&](const char* name) { return measures.at(name).best; };

    std::printf("%zu small files (%.1f MiB) and one of %.0f MiB; the best of %d rounds\n", urls.size(),
                smallBytes / 1048576.0, mib, kRounds);
    std::printf("small files over the network, steps added one at a time                  ms per file\n");
    Line("plain WinINet loop: InternetOpenUrl, 64 KiB reads, a plain file", at("small 0"));
    Line("+ the request as the installer makes it (limits set, redirects checked)",
         at("small 1") - at("small 0"));
    Line("+ reads of what has arrived (the drip guard), gathered to 64 KiB", at("small 2") - at("small 1"));
    Line("+ a temporary file beside the destination, moved over it", at("small 3") - at("small 2"));
    Line("+ flushed before the move", at("small 4") - at("small 3"));
    Line("+ SHA-256 on the processor's instructions", at("small 5") - at("small 4"));
    Line("  (SHA-256 through CNG instead)", at("small 6") - at("small 4"));
    Line("= all of these", at("small 5"));
    Line("modSetup::DownloadFile, checked (with its resume and stop bookkeeping)", at("small 7"));
    std::printf("the large file over the network, steps added one at a time               ms per MiB\n");
    Line("plain WinINet loop", at("large 0"));
    Line("+ the installer's request and reads of what has arrived", at("large 1") - at("large 0"));
    Line("+ temporary file, flushed, moved", at("large 2") - at("large 1"));
    Line("+ SHA-256 on the processor's instructions", at("large 3") - at("large 2"));
    Line("  (SHA-256 through CNG instead)", at("large 4") - at("large 2"));
    Line("modSetup::DownloadFile, checked", at("large 5"));
    Line("the same in ranges, 4 connections of a transfer pool", at("large 6"));
    std::printf("steps without network                                      before      now (ms per file)\n");
    const auto both = [](const char* what, double old, double now) {
        std::printf("  %-58s %8.3f %8.3f\n", what, old, now);
    };
    both("a plain file (the floor's write)", at("write 0"), at("write 0"));
    both("temporary file beside the destination (another name), moved over it", at("write 1") - at("write 0"),
         at("write 1") - at("write 0"));
    both("flushed before the move", at("write 2") - at("write 1"), at("write 2") - at("write 1"));
    both("URL-cache purge: each address, or one pass for all", at("purge 0"), at("purge 1"));
    both("handing a file to a thread: a new one, or a waiting one", at("thread 0"), at("thread 1"));
    std::printf("  %-58s %8s %8.3f\n", "progress of a 1 MiB file (16 pieces) to the waiting thread", "-",
                at("thread 2") - at("thread 1"));
    both("a log line", at("log 0"), at("log 0"));
    both("SHA-256: CNG, or the processor's instructions", at("hash 0"), at("hash 1"));
    InternetCloseHandle(session);
    return 0;
}
