#include "download/test_timeouts.h"

#include <charconv>
#include <optional>

namespace modSetup {

namespace {

std::optional<unsigned long> Number(std::string_view text) {
    unsigned long value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end)
        return std::nullopt;
    return value;
}

bool ApplyOne(std::string_view key, std::string_view value, Timeouts& t) {
    if (key == "slow") {
        const std::size_t colon = value.find(':');
        if (colon == std::string_view::npos)
            return false;
        auto window = Number(value.substr(0, colon));
        auto bytes = Number(value.substr(colon + 1));
        if (!window || !bytes)
            return false;
        t.slowWindowMs = *window;
        t.slowMinBytes = *bytes;
        return true;
    }
    auto number = Number(value);
    if (!number)
        return false;
    if (key == "connect")
        t.connectMs = *number;
    else if (key == "receive")
        t.receiveMs = *number;
    else if (key == "retry")
        t.retryDelaysMs[0] = t.retryDelaysMs[1] = *number;
    else if (key == "register")
        t.registerMs = *number;
    else if (key == "product")
        t.productCloseWaitMs = *number;
    else if (key == "split" && *number > 0)
        t.splitMinBytes = *number;
    else
        return false;
    return true;
}

} // namespace

Timeouts ApplyTestTimeouts(std::string_view text, const Timeouts& base) {
    Timeouts result = base;
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
        const std::size_t equals = item.find('=');
        if (equals == std::string_view::npos ||
            !ApplyOne(item.substr(0, equals), item.substr(equals + 1), result))
            return base;
    }
    return result;
}

} // namespace modSetup
