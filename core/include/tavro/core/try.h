// TAVRO_TRY(expression): passes a failure up. `expression` is a
// std::expected; when it holds an error, the enclosing function (which
// returns a std::expected with that error type, or one the error converts
// to) returns that error at once; otherwise execution goes on and the value,
// if any, is left where it was. To use the value, name the result first and
// pass the name:
//
//     auto opened = openIfExists(path, calls);
//     TAVRO_TRY(opened);
//     use(*opened);
//
// The expression is evaluated once.
#pragma once

#include <expected>
#include <utility>

#define TAVRO_TRY(...)                                                                                                 \
    do {                                                                                                               \
        if (auto&& tavroTried = (__VA_ARGS__); !tavroTried) return std::unexpected(std::move(tavroTried.error()));     \
    } while (false)
