#pragma once

#include "base/error.hpp"

namespace kelvo::testing {

// The error a call failed with, or Error::Unexpected where it succeeded: what a test compares.
inline Error errorOf(const Status& status) { return status ? Error::Unexpected : status.error(); }
template <class T>
Error errorOf(const Result<T>& result) {
    return result ? Error::Unexpected : result.error();
}

}  // namespace kelvo::testing
