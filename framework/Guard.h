#pragma once
// The one guard every OS callback runs its body in. Windows gives no promise about exceptions
// crossing a window procedure (64-bit Windows may swallow them, Wine lets them reach the caller
// of DispatchMessage), so none may leave: each goes to the application's error report and the
// callback returns its fallback value.
#include <exception>
#include <type_traits>

// The application's standard error report (Application.cpp).
void ReportException(const std::exception& failure) noexcept;
void ReportUnknownException() noexcept;

template <class Body>
std::invoke_result_t<Body&> Guarded(std::invoke_result_t<Body&> fallback, Body&& body) noexcept {
    try {
        return body();
    } catch (const std::exception& failure) {
        ReportException(failure);
    } catch (...) {
        ReportUnknownException();
    }
    return fallback;
}

template <class Body> void Guarded(Body&& body) noexcept {
    static_assert(std::is_void_v<std::invoke_result_t<Body&>>, "give a fallback result");
    try {
        body();
    } catch (const std::exception& failure) {
        ReportException(failure);
    } catch (...) {
        ReportUnknownException();
    }
}
