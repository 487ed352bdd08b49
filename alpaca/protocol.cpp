#include "alpaca/protocol.h"

#include <atomic>
#include <charconv>
#include <cmath>
#include <limits>

namespace quillmoor::alpaca {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Client numbers: absent is 0; present, they must be whole numbers of 0 or more.
bool ReadClientNumber(const Params& params, std::string_view name, uint32_t& number, std::string& error)
{
    const std::string* text = params.Find(name);
    if (!text) return true;
    const std::optional<uint32_t> parsed = ParseUnsigned32(*text);
    if (!parsed) {
        error = std::string(name) + " must be a whole number from 0 to 4294967295, not '" + *text + "'";
        return false;
    }
    number = *parsed;
    return true;
}

}  // namespace

bool SameAnyCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::optional<std::string> FormDecode(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] == '%') {
            if (i + 2 >= text.size()) return std::nullopt;
            const int high = HexValue(text[i + 1]), low = HexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

std::optional<Params> Params::Parse(std::string_view encoded, Names names)
{
    Params params;
    params.names_ = names;
    while (!encoded.empty()) {
        const size_t end = encoded.find('&');
        const std::string_view pair = encoded.substr(0, end);
        encoded = end == std::string_view::npos ? std::string_view() : encoded.substr(end + 1);
        if (pair.empty()) continue;
        const size_t equals = pair.find('=');
        std::optional<std::string> name = FormDecode(pair.substr(0, equals));
        std::optional<std::string> value =
            FormDecode(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
        if (!name || !value) return std::nullopt;
        if (!params.Find(*name)) params.values_.emplace_back(std::move(*name), std::move(*value));
    }
    return params;
}

const std::string* Params::Find(std::string_view name) const
{
    for (const auto& [key, value] : values_)
        if (names_ == Names::ExactCase ? key == name : SameAnyCase(key, name)) return &value;
    return nullptr;
}

std::optional<int32_t> ParseInt32(std::string_view text)
{
    const bool signedPlus = !text.empty() && text[0] == '+';
    if (signedPlus) text.remove_prefix(1);
    if (text.empty() || text[0] == '+' || (signedPlus && text[0] == '-')) return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<uint32_t> ParseUnsigned32(std::string_view text)
{
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<bool> ParseBool(std::string_view text)
{
    if (SameAnyCase(text, "true")) return true;
    if (SameAnyCase(text, "false")) return false;
    return std::nullopt;
}

std::optional<double> ParseNumber(std::string_view text)
{
    const bool signedPlus = !text.empty() && text[0] == '+';
    if (signedPlus) text.remove_prefix(1);
    if (text.empty() || text[0] == '+' || (signedPlus && text[0] == '-')) return std::nullopt;
    double value = 0;
    // from_chars reads the C locale's form whatever the process's locale is.
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

ParsedRequest ParseApiRequest(Method method, std::string_view target, std::string_view body)
{
    ParsedRequest parsed;
    const size_t question = target.find('?');
    const std::string_view query = question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
    // GET parameters travel in the query, PUT parameters in the form body.
    const std::optional<Params> params = method == Method::Put ? Params::Parse(body, Params::Names::ExactCase)
                                                               : Params::Parse(query, Params::Names::AnyCase);
    if (!params) {
        parsed.error = "The parameters are not properly URL-encoded";
        return parsed;
    }
    ApiRequest request;
    request.method = method;
    request.path = std::string(target.substr(0, question));
    request.params = *params;
    if (!ReadClientNumber(request.params, "ClientID", request.clientId, parsed.error) ||
        !ReadClientNumber(request.params, "ClientTransactionID", request.clientTransactionId, parsed.error))
        return parsed;
    parsed.request = std::move(request);
    return parsed;
}

std::string ReplyBody(const Reply& reply, uint32_t clientTransactionId)
{
    // Names and texts from the board may hold any byte: never fail on them.
    constexpr auto kReplaceBadBytes = nlohmann::json::error_handler_t::replace;
    return "{\"Value\":" + reply.value.dump(-1, ' ', false, kReplaceBadBytes) +
           ",\"ClientTransactionID\":" + std::to_string(clientTransactionId) +
           ",\"ServerTransactionID\":" + std::to_string(NextServerTransactionId()) +
           ",\"ErrorNumber\":" + std::to_string(reply.errorNumber) +
           ",\"ErrorMessage\":" + nlohmann::json(reply.errorMessage).dump(-1, ' ', false, kReplaceBadBytes) + "}";
}

uint32_t NextServerTransactionId()
{
    static std::atomic<uint32_t> next{1};
    uint32_t id = next.fetch_add(1, std::memory_order_relaxed);
    if (id == 0) id = next.fetch_add(1, std::memory_order_relaxed);  // after 2^32 replies, 0 is skipped
    return id;
}

namespace {

template <class T>
Param<T> Required(const Params& params, std::string_view name, std::optional<T> (*parse)(std::string_view),
                  const char* what)
{
    const std::string* text = params.Find(name);
    if (!text) return {std::nullopt, "Missing parameter " + std::string(name)};
    std::optional<T> value = parse(*text);
    if (!value) return {std::nullopt, std::string(name) + " must be " + what + ", not '" + *text + "'"};
    return {value, {}};
}

}  // namespace

IntParam RequiredInt(const Params& params, std::string_view name)
{
    return Required(params, name, ParseInt32, "a whole number");
}

BoolParam RequiredBool(const Params& params, std::string_view name)
{
    return Required(params, name, ParseBool, "true or false");
}

}  // namespace quillmoor::alpaca
