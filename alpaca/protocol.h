// The rules every Alpaca request and reply follows, in one place: where the
// parameters are and how their names match, what a client or transaction
// number may look like, the reply's shape and the error numbers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace quillmoor::alpaca {

// ASCOM error numbers (the COM codes without 0x8004).
inline constexpr int kNotImplemented = 0x400;
inline constexpr int kInvalidValue = 0x401;
inline constexpr int kNotConnected = 0x407;
inline constexpr int kInvalidOperation = 0x40B;
inline constexpr int kActionNotImplemented = 0x40C;
// The driver's own.
inline constexpr int kBoardBusy = 0x500;
inline constexpr int kNoAnswer = 0x501;
inline constexpr int kNoBoard = 0x502;

// Request parameters. GET takes them from the query, and their names match
// whatever their case; PUT takes them from the form body, and their names
// match exactly. The first of two with one name counts.
class Params {
public:
    enum class Names { AnyCase, ExactCase };
    // Null when an escape is broken ("%4", "%zz").
    static std::optional<Params> Parse(std::string_view encoded, Names names);
    const std::string* Find(std::string_view name) const;

private:
    Names names_ = Names::AnyCase;
    std::vector<std::pair<std::string, std::string>> values_;
};

bool SameAnyCase(std::string_view a, std::string_view b);  // ASCII letters only

// "%41" and '+' decoded; null when an escape is broken.
std::optional<std::string> FormDecode(std::string_view text);

// Value readers; null when the text is not such a value.
std::optional<int32_t> ParseInt32(std::string_view text);   // [+-]digits, within 32 bits
std::optional<bool> ParseBool(std::string_view text);       // true or false, any case
std::optional<double> ParseNumber(std::string_view text);  // a decimal number, '.' as the point
std::optional<uint32_t> ParseUnsigned32(std::string_view text);  // digits only, within 32 bits

enum class Method { Get, Put, Other };

struct ApiRequest {
    Method method = Method::Other;
    std::string path;  // the target up to '?', as sent
    Params params;
    uint32_t clientId = 0;
    uint32_t clientTransactionId = 0;
};

// The request as the rules read it, or the plain text of a 400 answer.
struct ParsedRequest {
    std::optional<ApiRequest> request;
    std::string error;
};
ParsedRequest ParseApiRequest(Method method, std::string_view target, std::string_view body);

// What a member answers. With badRequest set, the request itself was wrong
// (a parameter missing or unparsable): HTTP 400 with that text.
struct Reply {
    nlohmann::json value;  // null for members without a value
    int errorNumber = 0;
    std::string errorMessage;
    std::string badRequest;
};
inline Reply Ok(nlohmann::json value = nullptr) { return {std::move(value), 0, {}, {}}; }
inline Reply Error(int number, std::string message) { return {nullptr, number, std::move(message), {}}; }
inline Reply BadRequest(std::string text) { return {nullptr, 0, {}, std::move(text)}; }

// The reply body: exactly Value, ClientTransactionID, ServerTransactionID,
// ErrorNumber and ErrorMessage. Numbers are written the same in every locale.
std::string ReplyBody(const Reply& reply, uint32_t clientTransactionId);
// From 1, one for every reply, shared by every thread.
uint32_t NextServerTransactionId();

// Parameter readers for members: the value, or the text of a 400.
template <class T>
struct Param {
    std::optional<T> value;
    std::string error;
};
using IntParam = Param<int32_t>;
using BoolParam = Param<bool>;
IntParam RequiredInt(const Params& params, std::string_view name);
BoolParam RequiredBool(const Params& params, std::string_view name);

}  // namespace quillmoor::alpaca
