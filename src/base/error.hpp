#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <tl/expected.hpp>
#include <utility>

namespace kelvo {

// One error set for the whole program. Failures travel as values of this type.
enum class Error : std::uint16_t {
#define KELVO_ERROR(name) name,
#include "base/error_names.def"
#undef KELVO_ERROR
};

inline constexpr std::size_t kErrorCount = 0
#define KELVO_ERROR(name) +1
#include "base/error_names.def"
#undef KELVO_ERROR
    ;

// The error's name, byte for byte as the program prints it ("UnsupportedService").
std::string_view errorName(Error error);

// The error whose name is `name`, if any.
std::optional<Error> errorFromName(std::string_view name);

template <class T>
using Result = tl::expected<T, Error>;
using Status = Result<void>;

inline tl::unexpected<Error> fail(Error error) { return tl::unexpected<Error>(error); }

namespace detail {
template <class T>
decltype(auto) unwrapResult(tl::expected<T, Error>&& result) {
    if constexpr (std::is_void_v<T>) {
        return;
    } else {
        return std::move(*result);
    }
}
}  // namespace detail

}  // namespace kelvo

// Evaluates a Result; on failure returns its error from the enclosing function (which must return
// a Result or Status), otherwise yields the value.
#define TRY(expression)                                                          \
    ({                                                                           \
        auto&& kelvo_try_result_ = (expression);                                 \
        if (!kelvo_try_result_) return ::kelvo::fail(kelvo_try_result_.error()); \
        ::kelvo::detail::unwrapResult(std::move(kelvo_try_result_));             \
    })
